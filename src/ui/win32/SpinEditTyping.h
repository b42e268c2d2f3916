#pragma once

#include <windows.h>

namespace veltrona::ui {

// Makes the edit of a spin edit take from the keyboard and the clipboard only what a
// spin edit accepts; text set by code passes unchecked.
void filterSpinEditTyping(HWND edit);

}  // namespace veltrona::ui
