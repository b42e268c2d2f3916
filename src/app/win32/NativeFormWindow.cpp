#include "NativeFormWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>
#include <utility>

#include "ui/win32/WideText.h"

namespace veltrona::app {

namespace {

using ui::ControlKind;
using ui::ControlSpec;
using ui::narrow;
using ui::widen;

constexpr wchar_t kWindowClass[] = L"VeltronaFormWindow";
constexpr wchar_t kPanelClass[] = L"VeltronaPanel";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// Control identifiers start above those the dialog manager sends for Enter and Escape.
constexpr int kFirstControlId = 100;
constexpr UINT kTimerInterval = 1000;  // milliseconds; the form leaves the default
constexpr int kPanelEdgeSlot = 0;      // where a panel keeps its bevel in its window

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

// A memo holds its lines each ended by a line break, as lines are added to it; the
// description writes them separated by "\n".
std::wstring memoText(std::string_view lines) {
    std::wstring text;
    for (const wchar_t c : widen(lines)) {
        if (c == L'\n') {
            text += L'\r';
        }
        text += c;
    }
    return text;
}

std::vector<std::wstring> memoLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool isButtonKind(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::CheckBox ||
           kind == ControlKind::RadioButton;
}

bool isContainer(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::Panel;
}

// The control's position in the window's client area: its own, plus its containers'.
POINT positionInWindow(const ui::FormSpec& form, const ControlSpec& control) {
    POINT position{control.left, control.top};
    for (const ControlSpec* parent = form.find(control.parent); parent != nullptr;
         parent = form.find(parent->parent)) {
        position.x += parent->left;
        position.y += parent->top;
    }
    return position;
}

int depth(const ui::FormSpec& form, const ControlSpec& control) {
    int levels = 0;
    for (const ControlSpec* parent = form.find(control.parent); parent != nullptr;
         parent = form.find(parent->parent)) {
        ++levels;
    }
    return levels;
}

struct NativeKind {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

NativeKind nativeKind(const ControlSpec& control) {
    const DWORD wrap = control.wordWrap ? BS_MULTILINE : 0;
    switch (control.kind) {
        case ControlKind::Label: {
            DWORD align = control.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
            if (control.align == ui::Align::Right) {
                align = SS_RIGHT;
            } else if (control.align == ui::Align::Center) {
                align = SS_CENTER;
            }
            return {L"STATIC", SS_NOPREFIX | align, 0};
        }
        case ControlKind::Memo:
            return {L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
                    WS_EX_CLIENTEDGE};
        case ControlKind::PushButton:
            // BS_NOTIFY reports focus changes: the focused button is the one Enter presses.
            return {L"BUTTON", BS_PUSHBUTTON | BS_NOTIFY, 0};
        case ControlKind::GroupBox:
            return {L"BUTTON", BS_GROUPBOX, 0};
        case ControlKind::RadioButton:
            return {L"BUTTON", BS_AUTORADIOBUTTON | wrap, 0};
        case ControlKind::CheckBox:
            return {L"BUTTON", BS_AUTOCHECKBOX | wrap, 0};
        case ControlKind::Edit:
        case ControlKind::SpinEdit:
            return {L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Panel:
            return {kPanelClass, 0, 0};
        default:
            throw std::logic_error("No native control for " + std::string(control.name));
    }
}

// A bevelled panel: a one-pixel frame, lowered (shadow above and left, highlight below
// and right) or raised (the other way round), and its caption centred when it has one.
LRESULT CALLBACK panelProcedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFONT:
            SetWindowLongPtrW(panel, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
            if (LOWORD(lParam)) {
                InvalidateRect(panel, nullptr, TRUE);
            }
            return 0;
        case WM_GETFONT:
            return GetWindowLongPtrW(panel, GWLP_USERDATA);
        case WM_SETTEXT:
        case WM_ENABLE: {
            const LRESULT result = DefWindowProcW(panel, message, wParam, lParam);
            InvalidateRect(panel, nullptr, TRUE);
            return result;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(panel, &paint);
            RECT bounds;
            GetClientRect(panel, &bounds);
            const auto edge = static_cast<UINT>(GetWindowLongPtrW(panel, kPanelEdgeSlot));
            if (edge != 0) {
                DrawEdge(dc, &bounds, edge, BF_RECT);
            }
            const std::wstring caption = windowText(panel);
            if (!caption.empty()) {
                const HGDIOBJ previous = SelectObject(
                    dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(panel, GWLP_USERDATA)));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc,
                             GetSysColor(IsWindowEnabled(panel) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
                DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &bounds,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                SelectObject(dc, previous);
            }
            EndPaint(panel, &paint);
            return 0;
        }
        default:
            return DefWindowProcW(panel, message, wParam, lParam);
    }
}

// A multi-line edit in a dialog closes it on Escape; this window never closes on Escape.
LRESULT CALLBACK memoWithoutEscape(HWND memo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR) {
    if ((message == WM_KEYDOWN || message == WM_CHAR) && wParam == VK_ESCAPE) {
        return 0;
    }
    return DefSubclassProc(memo, message, wParam, lParam);
}

void registerClasses(HINSTANCE instance, WNDPROC windowProcedure) {
    const INITCOMMONCONTROLSEX commonControls{sizeof commonControls,
                                              ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&commonControls);  // the up-down of the spin edits
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(instance, kWindowClass, &windowClass)) {
        windowClass.lpfnWndProc = windowProcedure;
        // The dialog manager keeps its state in the window: focus, default button, Tab.
        windowClass.cbWndExtra = DLGWINDOWEXTRA;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        if (!RegisterClassExW(&windowClass)) {
            throw std::runtime_error("The window class cannot be registered");
        }
    }
    WNDCLASSEXW panelClass{};
    panelClass.cbSize = sizeof panelClass;
    if (!GetClassInfoExW(instance, kPanelClass, &panelClass)) {
        panelClass.lpfnWndProc = panelProcedure;
        panelClass.cbWndExtra = sizeof(LONG_PTR);
        panelClass.hInstance = instance;
        panelClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        panelClass.lpszClassName = kPanelClass;
        if (!RegisterClassExW(&panelClass)) {
            throw std::runtime_error("The panel class cannot be registered");
        }
    }
}

}  // namespace

NativeFormWindow::NativeFormWindow(const ui::FormSpec& form, Events& events)
    : form_(form),
      events_(events),
      font_(form.fontFamily, form.fontPointSize),
      boldFont_(form.fontFamily, form.fontPointSize, true),
      controls_(form.controls.size()) {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        controls_[i].design = &form.controls[i];
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    registerClasses(instance, &NativeFormWindow::windowProcedure);

    RECT frame{0, 0, form.clientWidth, form.clientHeight};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    CreateWindowExW(kWindowExStyle, kWindowClass, widen(form.caption).c_str(), kWindowStyle,
                    form.left, form.top, frame.right - frame.left, frame.bottom - frame.top,
                    nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        throw std::runtime_error("The window cannot be created");
    }
    try {
        createContent();
    } catch (...) {
        DestroyWindow(window_);
        throw;
    }
}

void NativeFormWindow::createContent() {
    const ui::FormSpec& form = form_;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.handle()), FALSE);
    // Creation order is the order of Tab and of the radio groups: the focusable controls
    // in the tab sequence, each radio button that follows another of the same parent
    // joining its group. The rest follow, the innermost first and containers after what
    // they hold, so that a container lies beneath its contents.
    const std::vector<const ControlSpec*> sequence = ui::tabSequence(form);
    std::vector<const ControlSpec*> rest;
    for (const ControlSpec& control : form.controls) {
        if (ui::isVisual(control.kind) &&
            std::find(sequence.begin(), sequence.end(), &control) == sequence.end()) {
            rest.push_back(&control);
        }
    }
    std::stable_sort(rest.begin(), rest.end(), [&](const ControlSpec* a, const ControlSpec* b) {
        const int depthA = depth(form, *a);
        const int depthB = depth(form, *b);
        if (depthA != depthB) {
            return depthA > depthB;
        }
        return !isContainer(a->kind) && isContainer(b->kind);
    });
    const ControlSpec* previous = nullptr;
    for (const ControlSpec* control : sequence) {
        const bool joinsRadioGroup =
            previous != nullptr && control->kind == ControlKind::RadioButton &&
            previous->kind == ControlKind::RadioButton && previous->parent == control->parent;
        createControl(static_cast<std::size_t>(control - form.controls.data()), true,
                      !joinsRadioGroup);
        previous = control;
    }
    for (const ControlSpec* control : rest) {
        createControl(static_cast<std::size_t>(control - form.controls.data()), false, true);
    }

    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].design->kind == ControlKind::Timer &&
            SetTimer(window_, kFirstControlId + i, kTimerInterval, nullptr) == 0) {
            throw std::runtime_error("Not enough timers available");
        }
    }
}

NativeFormWindow::~NativeFormWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

void NativeFormWindow::createControl(std::size_t index, bool tabStop, bool startsGroup) {
    NativeControl& control = controls_[index];
    const ControlSpec& design = *control.design;
    const NativeKind native = nativeKind(design);
    const POINT position = positionInWindow(form_, design);
    const DWORD state = (design.visible ? WS_VISIBLE : 0) | (design.enabled ? 0 : WS_DISABLED) |
                        (tabStop ? WS_TABSTOP : 0) | (startsGroup ? WS_GROUP : 0);
    const std::wstring text =
        design.kind == ControlKind::Memo ? memoText(design.caption) : widen(design.caption);
    const int id = kFirstControlId + static_cast<int>(index);
    control.window = CreateWindowExW(native.exStyle, native.windowClass, text.c_str(),
                                     WS_CHILD | WS_CLIPSIBLINGS | state | native.style, position.x,
                                     position.y, design.width, design.height, window_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     GetModuleHandleW(nullptr), nullptr);
    if (control.window == nullptr) {
        throw std::runtime_error("The control " + std::string(design.name) + " cannot be created");
    }
    SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(control)), FALSE);

    switch (design.kind) {
        case ControlKind::Label:
            control.rightEdge = position.x + design.width;
            fitLabel(control);
            break;
        case ControlKind::Memo:
            SetWindowSubclass(control.window, memoWithoutEscape, 0, 0);
            [[fallthrough]];
        case ControlKind::Edit:
            SendMessageW(control.window, EM_SETLIMITTEXT, 0, 0);  // no limit: nothing is cut
            break;
        case ControlKind::SpinEdit: {
            SendMessageW(control.window, EM_SETLIMITTEXT, 0, 0);
            // The up-down takes the right end of the spin edit's bounds, as wide as it makes
            // itself, and the edit the rest; the edit's text stays the value, whatever was
            // typed into it.
            control.spinButtons = CreateWindowExW(
                0, UPDOWN_CLASSW, nullptr,
                WS_CHILD | WS_CLIPSIBLINGS | (state & (WS_VISIBLE | WS_DISABLED)) |
                    UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS | UDS_HOTTRACK,
                0, 0, GetSystemMetrics(SM_CXVSCROLL), design.height, window_, nullptr,
                GetModuleHandleW(nullptr), nullptr);
            if (control.spinButtons == nullptr) {
                throw std::runtime_error("The control " + std::string(design.name) +
                                         " cannot be created");
            }
            RECT buttons;
            GetWindowRect(control.spinButtons, &buttons);
            const int buttonsWidth = buttons.right - buttons.left;
            SetWindowPos(control.spinButtons, nullptr, position.x + design.width - buttonsWidth,
                         position.y, buttonsWidth, design.height, SWP_NOZORDER | SWP_NOACTIVATE);
            SetWindowPos(control.window, nullptr, 0, 0, design.width - buttonsWidth, design.height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageW(control.spinButtons, UDM_SETBUDDY,
                         reinterpret_cast<WPARAM>(control.window), 0);
            SendMessageW(control.spinButtons, UDM_SETRANGE32, static_cast<WPARAM>(INT_MIN),
                         INT_MAX);  // no bounds
            SetWindowTextW(control.window, text.c_str());
            break;
        }
        case ControlKind::Panel: {
            const UINT edge = design.bevel == ui::Bevel::Lowered  ? BDR_SUNKENOUTER
                              : design.bevel == ui::Bevel::Raised ? BDR_RAISEDINNER
                                                                  : 0;
            SetWindowLongPtrW(control.window, kPanelEdgeSlot, static_cast<LONG_PTR>(edge));
            break;
        }
        default:
            break;
    }
}

HFONT NativeFormWindow::fontOf(const NativeControl& control) const {
    return control.design->bold ? boldFont_.handle() : font_.handle();
}

void NativeFormWindow::fitLabel(NativeControl& label) {
    const std::wstring text = windowText(label.window);
    const HDC dc = GetDC(label.window);
    const HGDIOBJ previous = SelectObject(dc, fontOf(label));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT bounds;
    GetWindowRect(label.window, &bounds);
    MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&bounds), 2);
    int width = bounds.right - bounds.left;
    int height = metrics.tmHeight;
    if (label.design->wordWrap) {
        // Keeps its width and takes the height of its lines, broken within that width.
        RECT lines{0, 0, width, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &lines,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        height = std::max<int>(lines.bottom, metrics.tmHeight);
    } else {
        // A synthesized bold face reaches one overhang beyond the extent of its characters.
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        width = extent.cx + metrics.tmOverhang;
    }
    SelectObject(dc, previous);
    ReleaseDC(label.window, dc);
    const int left =
        label.design->align == ui::Align::Right ? label.rightEdge - width : bounds.left;
    SetWindowPos(label.window, nullptr, left, bounds.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(label.window, nullptr, TRUE);
}

HWND NativeFormWindow::control(std::string_view name) const {
    return find(name).window;
}

HWND NativeFormWindow::spinButtons(std::string_view spinEdit) const {
    return find(spinEdit).spinButtons;
}

void NativeFormWindow::show() {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    const std::vector<const ControlSpec*> sequence = ui::tabSequence(form_);
    if (!sequence.empty()) {
        SendMessageW(window_, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(control(sequence.front()->name)), TRUE);
    }
}

void NativeFormWindow::deliver(MSG& message) {
    if (window_ != nullptr && IsDialogMessageW(window_, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int NativeFormWindow::runMessageLoop() {
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        deliver(message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

LRESULT CALLBACK NativeFormWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    auto* self = reinterpret_cast<NativeFormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<NativeFormWindow*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self == nullptr) {
        return DefDlgProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefDlgProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT NativeFormWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            handleCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case DM_GETDEFID:
            return 0;  // no default button: Enter presses the focused button alone
        case WM_TIMER:
            if (const NativeControl* timer = controlWithId(static_cast<int>(wParam))) {
                events_.timerElapsed(timer->design->name);
            }
            return 0;
        case WM_CLOSE:
            if (events_.closeRequested()) {
                DestroyWindow(window_);
                PostQuitMessage(0);  // the form's window is the application's main window
            }
            return 0;
        case WM_SETTINGCHANGE:
            if (lParam != 0 && lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"intl") == 0) {
                events_.regionalSettingsChanged();
            }
            break;
        case WM_CTLCOLORSTATIC: {
            // A read-only memo keeps the colour of a text field.
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            const NativeControl* control = controlWithId(id);
            if (control != nullptr && control->design->kind == ControlKind::Memo) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                SetBkColor(dc, GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        }
        case WM_DESTROY:
            for (std::size_t i = 0; i < controls_.size(); ++i) {
                if (controls_[i].design->kind == ControlKind::Timer) {
                    KillTimer(window_, kFirstControlId + i);
                }
            }
            break;
        default:
            break;
    }
    return DefDlgProcW(window_, message, wParam, lParam);
}

void NativeFormWindow::handleCommand(int id, int code) {
    // The dialog manager's IDOK (Enter away from any button) and IDCANCEL (Escape) find
    // no control and do nothing.
    NativeControl* control = controlWithId(id);
    if (control == nullptr || !isButtonKind(control->design->kind)) {
        return;
    }
    const bool pushButton = control->design->kind == ControlKind::PushButton;
    if (code == BN_CLICKED) {
        events_.clicked(control->design->name);
    } else if (pushButton && (code == BN_SETFOCUS || code == BN_KILLFOCUS)) {
        SendMessageW(control->window, BM_SETSTYLE,
                     code == BN_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

NativeFormWindow::NativeControl* NativeFormWindow::controlWithId(int id) {
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(controls_.size())) {
        return nullptr;
    }
    return &controls_[static_cast<std::size_t>(index)];
}

const NativeFormWindow::NativeControl& NativeFormWindow::find(std::string_view name) const {
    for (const NativeControl& control : controls_) {
        if (control.design->name == name && control.window != nullptr) {
            return control;
        }
    }
    throw std::out_of_range("The window has no control " + std::string(name));
}

NativeFormWindow::NativeControl& NativeFormWindow::find(std::string_view name) {
    return const_cast<NativeControl&>(std::as_const(*this).find(name));
}

const NativeFormWindow::NativeControl& NativeFormWindow::findMemo(std::string_view name) const {
    const NativeControl& control = find(name);
    if (control.design->kind != ControlKind::Memo) {
        throw std::out_of_range(std::string(name) + " is no memo");
    }
    return control;
}

void NativeFormWindow::setWindowCaption(std::string_view text) {
    SetWindowTextW(window_, widen(text).c_str());
}

std::string NativeFormWindow::text(std::string_view name) const {
    const NativeControl& control = find(name);
    std::wstring text = windowText(control.window);
    if (control.design->kind == ControlKind::Memo) {
        text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    }
    return narrow(text);
}

void NativeFormWindow::setText(std::string_view name, std::string_view text) {
    NativeControl& control = find(name);
    const std::wstring wide =
        control.design->kind == ControlKind::Memo ? memoText(text) : widen(text);
    SetWindowTextW(control.window, wide.c_str());
    if (control.design->kind == ControlKind::Label) {
        fitLabel(control);
    }
}

std::string NativeFormWindow::hint(std::string_view name) const {
    return find(name).hint;
}

void NativeFormWindow::setHint(std::string_view name, std::string_view text) {
    find(name).hint = std::string(text);  // held for the form; the window shows no hints
}

bool NativeFormWindow::isChecked(std::string_view name) const {
    return SendMessageW(find(name).window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void NativeFormWindow::setChecked(std::string_view name, bool checked) {
    SendMessageW(find(name).window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool NativeFormWindow::isEnabled(std::string_view name) const {
    return IsWindowEnabled(find(name).window) != FALSE;
}

void NativeFormWindow::setEnabled(std::string_view name, bool enabled) {
    const NativeControl& control = find(name);
    EnableWindow(control.window, enabled);
    if (control.spinButtons != nullptr) {
        EnableWindow(control.spinButtons, enabled);
    }
}

int NativeFormWindow::lineCount(std::string_view memo) const {
    return static_cast<int>(memoLines(windowText(findMemo(memo).window)).size());
}

std::string NativeFormWindow::line(std::string_view memo, int index) const {
    const std::vector<std::wstring> lines = memoLines(windowText(findMemo(memo).window));
    if (index < 0 || index >= static_cast<int>(lines.size())) {
        throw std::out_of_range(std::string(memo) + " has no line " + std::to_string(index));
    }
    return narrow(lines[static_cast<std::size_t>(index)]);
}

void NativeFormWindow::setLine(std::string_view memo, int index, std::string_view text) {
    const HWND window = findMemo(memo).window;
    std::vector<std::wstring> lines = memoLines(windowText(window));
    if (index < 0 || index >= static_cast<int>(lines.size())) {
        throw std::out_of_range(std::string(memo) + " has no line " + std::to_string(index));
    }
    lines[static_cast<std::size_t>(index)] = widen(text);
    std::wstring joined;
    for (const std::wstring& line : lines) {
        joined += line + L"\r\n";
    }
    SetWindowTextW(window, joined.c_str());
}

void NativeFormWindow::appendLine(std::string_view memo, std::string_view text) {
    // Replacing the empty selection at the end scrolls the new line into view.
    const HWND window = findMemo(memo).window;
    const std::wstring current = windowText(window);
    std::wstring added = widen(text) + L"\r\n";
    if (!current.empty() && !current.ends_with(L"\r\n")) {
        added.insert(0, L"\r\n");
    }
    const auto end = static_cast<WPARAM>(current.size());
    SendMessageW(window, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
}

}  // namespace veltrona::app
