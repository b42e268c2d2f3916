#pragma once

#include <windows.h>

namespace veltrona::ui {

// The window procedure of a window that an object runs: the object comes with the
// creation (lpCreateParams), is kept in the window's user data and learns its handle at
// WM_NCCREATE; at WM_NCDESTROY it forgets it. Its handleMessage answers every message in
// between; what comes before and after goes to the dialog manager, the ANSI or the
// Unicode one as the window was created. `Owner` makes this struct its friend.
template <typename Owner>
struct DialogProcedure {
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        const auto fallback = [&] {
            return IsWindowUnicode(window) ? DefDlgProcW(window, message, wParam, lParam)
                                           : DefDlgProcA(window, message, wParam, lParam);
        };
        auto* self = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCCREATE) {
            // lpCreateParams lies at the same place in the ANSI and the Unicode structure.
            self = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        if (self == nullptr) {
            return fallback();
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_ = nullptr;
            return fallback();
        }
        return self->handleMessage(message, wParam, lParam);
    }
};

}  // namespace veltrona::ui
