#include "SpinEditTyping.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "WideText.h"
#include "ui/SpinEditText.h"

namespace veltrona::ui {

namespace {

// The edit's text once `inserted` has replaced its selection.
std::wstring afterInsertion(HWND edit, const std::wstring& inserted) {
    std::wstring text = windowText(edit);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    start = std::min<DWORD>(start, static_cast<DWORD>(text.size()));
    end = std::clamp<DWORD>(end, start, static_cast<DWORD>(text.size()));
    return text.replace(start, end - start, inserted);
}

std::wstring clipboardText(HWND owner) {
    std::wstring text;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner)) {
        return text;
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

LRESULT CALLBACK spinEditTyping(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    // Control characters (Backspace, Ctrl+C, Ctrl+V...) do what they do; a paste is
    // judged below by what it would leave.
    const bool typed = message == WM_CHAR && wParam >= L' ';
    if (typed || message == WM_PASTE) {
        const std::wstring inserted =
            typed ? std::wstring(1, static_cast<wchar_t>(wParam)) : clipboardText(edit);
        if (!spinEditAccepts(narrow(afterInsertion(edit, inserted)))) {
            return 0;
        }
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void filterSpinEditTyping(HWND edit) {
    SetWindowSubclass(edit, spinEditTyping, 0, 0);
}

}  // namespace veltrona::ui
