#pragma once

#include <windows.h>

namespace veltrona::process {

// Asks process `id` to end in every way a Windows program may listen for, without waiting:
// Ctrl+C to the console it is attached to, WM_CLOSE to its top-level windows and WM_QUIT
// to its threads. Each way is tried whatever the others gave; returns whether any of them
// reached the process. This process gives up its own console for the moment of the Ctrl+C
// (a process is attached to one console at most), goes back to its parent's where it had
// one, and swallows Ctrl+C from then on (a handler of its own, which the programs it starts
// do not inherit): the event also reaches the one that sends it.
bool askToEnd(DWORD id);

// askToEnd, then a wait of up to `grace` milliseconds for `process` (a handle with
// SYNCHRONIZE) to end. Returns whether it has ended.
bool askToEndWithin(HANDLE process, DWORD id, DWORD grace);

}  // namespace veltrona::process
