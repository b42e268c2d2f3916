#include "PasswordPrompt.h"

#include <stdexcept>

#include "config/settings/PasswordPolicy.h"
#include "ui/PromptGeometry.h"

namespace veltrona::ui {

namespace {

constexpr char kMeasureText[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kMaxTypedCharacters = static_cast<int>(config::kMaxPasswordCharacters);
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The font's measures on a drawing surface that has it selected.
struct FontMeasures {
    CharSize units;
    int characterHeight = 0;
    SIZE prompt{};         // the prompt on one line
    RECT wrappedPrompt{};  // the prompt broken into lines within the width limit
};

FontMeasures measure(HWND window, HFONT font, const std::string& prompt) {
    FontMeasures m;
    const HDC dc = GetDC(window);
    const HGDIOBJ previous = SelectObject(dc, font);
    SIZE letters{};
    GetTextExtentPointA(dc, kMeasureText, static_cast<int>(sizeof kMeasureText - 1), &letters);
    m.units = averageCharSize(letters.cx, letters.cy);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    m.characterHeight = metrics.tmHeight;
    GetTextExtentPoint32A(dc, prompt.c_str(), static_cast<int>(prompt.size()), &m.prompt);
    m.wrappedPrompt = RECT{0, 0, promptLabelMaxWidth(m.units), 0};
    DrawTextA(dc, prompt.c_str(), static_cast<int>(prompt.size()), &m.wrappedPrompt,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return m;
}

void registerClassOnce(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXA windowClass{};
    if (GetClassInfoExA(instance, kPasswordPromptClass, &windowClass)) {
        return;
    }
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    // The dialog manager keeps its state in the window: Tab, Enter and Escape work as in
    // any dialog.
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kPasswordPromptClass;
    if (!RegisterClassExA(&windowClass)) {
        throw std::runtime_error("The password prompt's window class cannot be registered");
    }
}

HWND createChild(HWND parent, HFONT font, const char* windowClass, const char* text, DWORD style,
                 DWORD exStyle, int id, const Rect& bounds) {
    const HWND child = CreateWindowExA(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style,
                                       bounds.left, bounds.top, bounds.width, bounds.height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleA(nullptr), nullptr);
    if (child == nullptr) {
        throw std::runtime_error("The password prompt's controls cannot be created");
    }
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

// The height a single-line field with a sunken border takes for the font: the character
// height, the border and the margins above and below the text.
int naturalFieldHeight(int characterHeight) {
    return characterHeight + 8 * GetSystemMetrics(SM_CYBORDER);
}

}  // namespace

PasswordPrompt::PasswordPrompt(HWND owner, HFONT font, const std::string& caption,
                               const std::string& prompt, const std::string& value)
    : owner_(owner) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    registerClassOnce(instance, &DialogProcedure<PasswordPrompt>::procedure);
    window_ = CreateWindowExA(kExStyle, kPasswordPromptClass, caption.c_str(), kStyle, 0, 0, 0, 0,
                              owner, nullptr, instance, this);
    if (window_ == nullptr) {
        throw std::runtime_error("The password prompt cannot be created");
    }
    SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    // The label fits its text: one line while that is no wider than the limit, otherwise
    // broken into lines within the limit.
    const FontMeasures m = measure(window_, font, prompt);
    const int limit = promptLabelMaxWidth(m.units);
    const bool fitsOneLine = m.prompt.cx <= limit;
    const int labelWidth = fitsOneLine ? m.prompt.cx : m.wrappedPrompt.right;
    const int labelHeight = fitsOneLine ? m.characterHeight : m.wrappedPrompt.bottom;
    const PromptGeometry g =
        promptGeometry(m.units, labelHeight, naturalFieldHeight(m.characterHeight));

    createChild(window_, font, "STATIC", prompt.c_str(), SS_LEFT | SS_NOPREFIX, 0, kPromptLabelId,
                Rect{g.labelLeft, g.labelTop, labelWidth, labelHeight});
    field_ =
        createChild(window_, font, "EDIT", "", WS_TABSTOP | WS_GROUP | ES_PASSWORD | ES_AUTOHSCROLL,
                    WS_EX_CLIENTEDGE, kPromptFieldId, g.field);
    SendMessageA(field_, EM_SETPASSWORDCHAR, '*', 0);
    SendMessageA(field_, EM_LIMITTEXT, kMaxTypedCharacters, 0);
    SetWindowTextA(field_, value.c_str());
    SendMessageA(field_, EM_SETSEL, 0, -1);
    createChild(window_, font, "BUTTON", "OK", WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 0, IDOK,
                g.okButton);
    createChild(window_, font, "BUTTON", "Cancel", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0,
                IDCANCEL, g.cancelButton);
    SendMessageA(window_, DM_SETDEFID, IDOK, 0);

    // Centred on the screen with its frame.
    RECT frame{0, 0, g.clientWidth, g.clientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

PasswordPrompt::~PasswordPrompt() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

std::optional<std::string> PasswordPrompt::run() {
    // The owner is enabled again before the prompt goes, so that it takes the activation.
    const bool disableOwner = owner_ != nullptr && IsWindowEnabled(owner_);
    if (disableOwner) {
        EnableWindow(owner_, FALSE);
    }
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field_), TRUE);
    SendMessageA(field_, EM_SETSEL, 0, -1);

    while (!ended_) {
        MSG message;
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));
            }
            end(false);
            break;
        }
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    if (disableOwner) {
        EnableWindow(owner_, TRUE);
    }
    ShowWindow(window_, SW_HIDE);
    return entered_;
}

void PasswordPrompt::end(bool accepted) {
    if (ended_) {
        return;
    }
    if (accepted) {
        const int length = GetWindowTextLengthA(field_);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        text.resize(static_cast<std::size_t>(GetWindowTextA(field_, text.data(), length + 1)));
        entered_ = std::move(text);
    }
    ended_ = true;
}

LRESULT PasswordPrompt::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // Enter and Escape arrive here as the commands of the two buttons.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                end(LOWORD(wParam) == IDOK);
                return 0;
            }
            break;
        case WM_CLOSE:
            end(false);
            return 0;
        default:
            break;
    }
    return DefDlgProcA(window_, message, wParam, lParam);
}

}  // namespace veltrona::ui
