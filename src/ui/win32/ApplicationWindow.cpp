#include "ApplicationWindow.h"

#include <stdexcept>

#include "WideText.h"

namespace veltrona::ui {

namespace {

constexpr wchar_t kApplicationClass[] = L"VeltronaApplication";
constexpr UINT kActivateOwned = WM_APP + 1;

BOOL CALLBACK findOwned(HWND window, LPARAM found) {
    auto* owned = reinterpret_cast<HWND*>(found);
    if (GetWindow(window, GW_OWNER) == *owned && IsWindowVisible(window) &&
        IsWindowEnabled(window)) {
        *owned = window;
        return FALSE;
    }
    return TRUE;
}

// The window the user meant by the button: the owned one active last, else any owned one
// that is shown and takes input.
HWND ownedToActivate(HWND application) {
    const HWND last = GetLastActivePopup(application);
    if (last != nullptr && last != application && IsWindowEnabled(last)) {
        return last;
    }
    HWND owned = application;
    EnumThreadWindows(GetCurrentThreadId(), findOwned, reinterpret_cast<LPARAM>(&owned));
    return owned != application ? owned : nullptr;
}

BOOL CALLBACK takeFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<LPCWSTR*>(found) = name;
    return FALSE;  // the first is the program's icon
}

}  // namespace

HICON applicationIcon(int size) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    LPCWSTR name = nullptr;
    EnumResourceNamesW(instance, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, takeFirstName,
                       reinterpret_cast<LONG_PTR>(&name));
    HANDLE icon = nullptr;
    if (name != nullptr) {
        icon = LoadImageW(instance, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
    }
    return icon != nullptr ? static_cast<HICON>(icon) : LoadIconA(nullptr, IDI_APPLICATION);
}

ApplicationWindow::ApplicationWindow(std::string_view title) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    icon_ = applicationIcon(GetSystemMetrics(SM_CXICON));
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(instance, kApplicationClass, &windowClass)) {
        windowClass.lpfnWndProc = &ApplicationWindow::procedure;
        windowClass.hInstance = instance;
        windowClass.hIcon = icon_;
        windowClass.hIconSm = applicationIcon(GetSystemMetrics(SM_CXSMICON));
        windowClass.lpszClassName = kApplicationClass;
        if (!RegisterClassExW(&windowClass)) {
            throw std::runtime_error("The application window class cannot be registered");
        }
    }
    // Visible, so that it has the taskbar button, but of no size, so that nothing of it
    // shows; centred, so that the windows it owns open on the screen the user looks at.
    window_ = CreateWindowExW(0, kApplicationClass, widen(title).c_str(),
                              WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPSIBLINGS,
                              GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2,
                              0, 0, nullptr, nullptr, instance, nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("The application window cannot be created");
    }
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
}

ApplicationWindow::~ApplicationWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK ApplicationWindow::procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            // The button was pressed: once the activation is through, the owned window
            // takes over.
            if (LOWORD(wParam) != WA_INACTIVE) {
                PostMessageW(window, kActivateOwned, 0, 0);
            }
            break;
        case kActivateOwned:
            if (const HWND owned = ownedToActivate(window)) {
                SetForegroundWindow(owned);
            }
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                if (const HWND owned = ownedToActivate(window)) {
                    PostMessageW(owned, WM_CLOSE, 0, 0);
                }
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace veltrona::ui
