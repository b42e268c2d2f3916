#include "process/windows/GracefulEnd.h"

#include <tlhelp32.h>

#include <algorithm>

#include "config/file/windows/SystemError.h"

namespace veltrona::process {

namespace {

BOOL WINAPI swallowCtrlC(DWORD event) {
    return event == CTRL_C_EVENT;
}

// Ctrl+C to every process of the console of `id`: only a process attached to a console may
// raise an event there.
bool sendCtrlC(DWORD id) {
    const bool hadConsole = GetConsoleCP() != 0;  // fails without a console
    FreeConsole();
    bool sent = false;
    if (AttachConsole(id)) {
        // Set before the event: the default handler would end this process too. A handler
        // rather than the ignore flag, which the programs this process starts would inherit.
        static const bool swallowing = SetConsoleCtrlHandler(swallowCtrlC, TRUE) != 0;
        (void)swallowing;
        sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
        FreeConsole();
    }
    if (hadConsole) {
        AttachConsole(ATTACH_PARENT_PROCESS);
    }
    return sent;
}

struct WindowSearch {
    DWORD id;
    bool found;
};

BOOL CALLBACK closeWindowOf(HWND window, LPARAM search) {
    auto& wanted = *reinterpret_cast<WindowSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == wanted.id && PostMessageW(window, WM_CLOSE, 0, 0)) {
        wanted.found = true;
    }
    return TRUE;
}

bool closeWindows(DWORD id) {
    WindowSearch search{id, false};
    EnumWindows(closeWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// PostThreadMessage reaches only a thread that has a message queue; the others refuse it.
bool quitThreads(DWORD id) {
    const config::OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.valid() || snapshot.get() == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool posted = false;
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot.get(), &thread); more;
         more = Thread32Next(snapshot.get(), &thread)) {
        if (thread.th32OwnerProcessID == id &&
            PostThreadMessageW(thread.th32ThreadID, WM_QUIT, 0, 0)) {
            posted = true;
        }
        thread.dwSize = sizeof thread;
    }
    return posted;
}

}  // namespace

bool askToEnd(DWORD id) {
    const bool console = sendCtrlC(id);
    const bool windows = closeWindows(id);
    const bool threads = quitThreads(id);
    return console || windows || threads;
}

bool askToEndWithin(HANDLE process, DWORD id, DWORD grace) {
    const ULONGLONG deadline = GetTickCount64() + grace;
    bool console = sendCtrlC(id);
    closeWindows(id);
    quitThreads(id);
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        // A process that has only just started may not be attached to its console yet:
        // it is asked again, each tenth of a second, until one Ctrl+C reaches it.
        if (WaitForSingleObject(process, console ? left : std::min<DWORD>(left, 100)) ==
            WAIT_OBJECT_0) {
            return true;
        }
        if (left == 0 || (console && GetTickCount64() >= deadline)) {
            return false;
        }
        if (!console) {
            console = sendCtrlC(id);
        }
    }
}

}  // namespace veltrona::process
