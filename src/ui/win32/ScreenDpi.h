#pragma once

#include <windows.h>

namespace veltrona::ui {

// The pixels per inch of the monitor a window is on. Windows 10 (1607) and later answer
// per window, for a program that is aware of each monitor's own; earlier systems have one
// for the whole screen, that of its device context.
int pixelsPerInchOf(HWND window);

// The frame for a client area of that size at those pixels per inch: the frame's own
// width, the caption's height, grow with them where the system says so per DPI.
RECT frameForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle,
                    int pixelsPerInch);

// A system metric (SM_CXVSCROLL, ...) at those pixels per inch; the screen's where the
// system has no per-DPI answer.
int systemMetricAt(int index, int pixelsPerInch);

}  // namespace veltrona::ui
