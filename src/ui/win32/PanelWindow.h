#pragma once

#include <windows.h>

#include "ui/FormDescription.h"

namespace veltrona::ui {

// The window class of a bevelled panel: a one-pixel frame, lowered or raised, and its
// caption centred when it has one. Registered once per process.
const wchar_t* panelWindowClass(HINSTANCE instance);
// Gives a panel made from that class the bevel the description asks for.
void setPanelBevel(HWND panel, Bevel bevel);

}  // namespace veltrona::ui
