// The native window keeps its controls as every window does.
#include <windows.h>

#include <cstring>

#include "FormViewContract.h"
#include "NativeFormWindow.h"
#include "Win32TestSupport.h"
#include "ui/win32/WideText.h"

namespace veltrona::ui::testing {
namespace {

struct Native {
    using Window = NativeFormWindow;
    static constexpr bool kRoutesKeys = true;
    static constexpr bool kLaysOut = true;
    static constexpr bool kRunsTimers = true;

    static std::unique_ptr<Window> make(const FormSpec& form) {
        return std::make_unique<Window>(form);
    }
    static void click(Window& window, std::string_view control) {
        // As a mouse click does: the system's button checks itself, then reports it.
        SendMessageW(window.control(control), BM_CLICK, 0, 0);
        settle(window);
    }
    static void settle(Window& window) {
        veltrona::testing::pumpFor(window, std::chrono::milliseconds(20));
    }

    // The keyboard goes to the foreground window, there through the dialog manager.
    static void focus(Window& window, std::string_view control) {
        if (GetForegroundWindow() != window.handle()) {
            SetForegroundWindow(window.handle());
            veltrona::testing::pumpFor(window, std::chrono::milliseconds(200));
        }
        SendMessageW(window.handle(), WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(window.control(control)), TRUE);
        settle(window);
    }
    static void pressKey(Window& window, contract::Key key) {
        // In the order of contract::Key; the keypad's Enter is the same virtual key.
        constexpr WORD keys[] = {VK_TAB,   VK_TAB,   VK_UP,     VK_DOWN,   VK_LEFT,
                                 VK_RIGHT, VK_SPACE, VK_RETURN, VK_RETURN, VK_ESCAPE};
        veltrona::testing::typeKey(window, keys[static_cast<int>(key)],
                                   key == contract::Key::ShiftTab);
    }
    static void type(Window& window, std::string_view characters) {
        for (const wchar_t character : widen(characters)) {
            SendMessageW(GetFocus(), WM_CHAR, character, 0);
        }
        settle(window);
    }
    static void paste(Window& window, std::string_view text) {
        const HWND edit = GetFocus();
        const std::wstring wide = widen(text);
        ASSERT_TRUE(OpenClipboard(edit));
        EmptyClipboard();
        const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
        std::memcpy(GlobalLock(data), wide.c_str(), bytes);
        GlobalUnlock(data);
        SetClipboardData(CF_UNICODETEXT, data);
        CloseClipboard();
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, WM_PASTE, 0, 0);
        settle(window);
    }
    // A spin edit's bounds hold its edit and its up-down.
    static Rect bounds(Window& window, std::string_view control) {
        Rect bounds = veltrona::testing::boundsIn(window.control(control), window.handle());
        if (const HWND buttons = window.spinButtons(control)) {
            const Rect up = veltrona::testing::boundsIn(buttons, window.handle());
            bounds.width = up.left + up.width - bounds.left;
        }
        return bounds;
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Native, FormViewContract, Native);

}  // namespace
}  // namespace veltrona::ui::testing
