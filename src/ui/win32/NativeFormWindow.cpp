#include "NativeFormWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>
#include <utility>

#include "ApplicationWindow.h"
#include "PanelWindow.h"
#include "ScreenDpi.h"
#include "SpinEditTyping.h"
#include "WideText.h"
#include "ui/DpiScaling.h"
#include "ui/MemoText.h"

namespace veltrona::ui {

namespace {

constexpr wchar_t kWindowClass[] = L"VeltronaFormWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// Control identifiers start above those the dialog manager sends for Enter and Escape.
constexpr int kFirstControlId = 100;

bool isButtonKind(ControlKind kind) {
    return eventOf(kind) == ControlEvent::Click;
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
            if (control.align == Align::Right) {
                align = SS_RIGHT;
            } else if (control.align == Align::Center) {
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
            return {L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
        case ControlKind::RadioButton:
            return {L"BUTTON", BS_AUTORADIOBUTTON | wrap, 0};
        case ControlKind::CheckBox:
            return {L"BUTTON", BS_AUTOCHECKBOX | wrap, 0};
        case ControlKind::Edit:
        case ControlKind::SpinEdit:
            return {L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Panel:
            return {panelWindowClass(GetModuleHandleW(nullptr)), WS_CLIPCHILDREN,
                    WS_EX_CONTROLPARENT};
        default:
            throw std::logic_error("No native control for " + std::string(control.name));
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

// A group box or panel holds controls of its own, clipped by it; what they report goes on
// to the form's window, which alone knows what they are.
LRESULT CALLBACK containerForwarding(HWND container, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return SendMessageW(GetAncestor(container, GA_ROOT), message, wParam, lParam);
        default:
            return DefSubclassProc(container, message, wParam, lParam);
    }
}

void registerWindowClass(HINSTANCE instance) {
    const INITCOMMONCONTROLSEX commonControls{sizeof commonControls,
                                              ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&commonControls);  // the up-down of the spin edits
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(instance, kWindowClass, &windowClass)) {
        windowClass.lpfnWndProc = &DialogProcedure<NativeFormWindow>::procedure;
        // The dialog manager keeps its state in the window: focus, default button, Tab.
        windowClass.cbWndExtra = DLGWINDOWEXTRA;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hIcon = applicationIcon(GetSystemMetrics(SM_CXICON));
        windowClass.hIconSm = applicationIcon(GetSystemMetrics(SM_CXSMICON));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        if (!RegisterClassExW(&windowClass)) {
            throw std::runtime_error("The window class cannot be registered");
        }
    }
}

}  // namespace

NativeFormWindow::NativeFormWindow(const FormSpec& form, HWND owner)
    : form_(form),
      font_(form.fontFamily, form.fontPointSize),
      boldFont_(form.fontFamily, form.fontPointSize, true),
      controls_(form.controls.size()) {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        controls_[i].design = &form.controls[i];
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    registerWindowClass(instance);

    // Made at the designed place first: which monitor it is on, and so its pixels per
    // inch, is known once it exists. The place stays in screen pixels; the size grows.
    CreateWindowExW(kWindowExStyle, kWindowClass, widen(form.caption).c_str(), kWindowStyle,
                    form.left, form.top, form.clientWidth, form.clientHeight, owner, nullptr,
                    instance, this);
    if (window_ == nullptr) {
        throw std::runtime_error("The window cannot be created");
    }
    try {
        pixelsPerInch_ = pixelsPerInchOf(window_);
        makeFonts();
        const RECT frame = frameForClient(scaled(form.clientWidth, pixelsPerInch_),
                                          scaled(form.clientHeight, pixelsPerInch_), kWindowStyle,
                                          kWindowExStyle, pixelsPerInch_);
        SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        createContent();
    } catch (...) {
        DestroyWindow(window_);
        throw;
    }
}

NativeFormWindow::~NativeFormWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

// The window's fonts at its pixels per inch; the ones they replace are released once
// every control has been given the new ones.
void NativeFormWindow::makeFonts() {
    GdiFont font(form_.fontFamily, form_.fontPointSize, false, pixelsPerInch_);
    GdiFont boldFont(form_.fontFamily, form_.fontPointSize, true, pixelsPerInch_);
    font_ = std::move(font);
    boldFont_ = std::move(boldFont);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.handle()), FALSE);
    // Containers first: a control that grows to fit its caption is bounded by its container.
    for (const CreationStep& step : creationOrder(form_)) {
        NativeControl& control =
            controls_[static_cast<std::size_t>(step.control - form_.controls.data())];
        if (control.window != nullptr) {
            layOut(control);
        }
    }
}

void NativeFormWindow::rescale(int pixelsPerInch, const RECT& suggested) {
    pixelsPerInch_ = pixelsPerInch;
    makeFonts();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

Rect NativeFormWindow::boundsOf(const ControlSpec& design) const {
    return scaled(Rect{design.left, design.top, design.width, design.height}, pixelsPerInch_);
}

void NativeFormWindow::createContent() {
    for (const CreationStep& step : creationOrder(form_)) {
        createControl(step);
    }
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlSpec& design = *controls_[i].design;
        if (design.kind == ControlKind::Timer && design.enabled &&
            SetTimer(window_, kFirstControlId + i, static_cast<UINT>(design.interval), nullptr) ==
                0) {
            throw std::runtime_error("Not enough timers available");
        }
    }
}

void NativeFormWindow::createControl(const CreationStep& step) {
    const ControlSpec& design = *step.control;
    const auto index = static_cast<std::size_t>(&design - form_.controls.data());
    NativeControl& control = controls_[index];
    const NativeKind native = nativeKind(design);
    // Inside its container, at the place the description gives; the window's controls
    // were created before their contents.
    const HWND parent = design.parent.empty() ? window_ : find(design.parent).window;
    const Rect bounds = boundsOf(design);
    const DWORD state = (design.visible ? WS_VISIBLE : 0) | (design.enabled ? 0 : WS_DISABLED) |
                        (step.tabStop ? WS_TABSTOP : 0) | (step.startsGroup ? WS_GROUP : 0);
    const std::wstring text = design.kind == ControlKind::Memo
                                  ? widen(memoText(memoLines(design.caption), "\r\n"))
                                  : widen(design.caption);
    const int id = kFirstControlId + static_cast<int>(index);
    control.window = CreateWindowExW(native.exStyle, native.windowClass, text.c_str(),
                                     WS_CHILD | WS_CLIPSIBLINGS | state | native.style, bounds.left,
                                     bounds.top, bounds.width, bounds.height, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     GetModuleHandleW(nullptr), nullptr);
    if (control.window == nullptr) {
        throw std::runtime_error("The control " + std::string(design.name) + " cannot be created");
    }

    switch (design.kind) {
        case ControlKind::Memo:
            SetWindowSubclass(control.window, memoWithoutEscape, 0, 0);
            [[fallthrough]];
        case ControlKind::Edit:
            SendMessageW(control.window, EM_SETLIMITTEXT, 0, 0);  // no limit: nothing is cut
            break;
        case ControlKind::SpinEdit:
            SendMessageW(control.window, EM_SETLIMITTEXT, 0, 0);
            filterSpinEditTyping(control.window);
            createSpinButtons(control, state);
            SetWindowTextW(control.window, text.c_str());
            break;
        case ControlKind::Panel:
            setPanelBevel(control.window, design.bevel);
            SetWindowSubclass(control.window, containerForwarding, 0, 0);
            break;
        case ControlKind::GroupBox:
            SetWindowSubclass(control.window, containerForwarding, 0, 0);
            break;
        default:
            break;
    }
    layOut(control);
}

// Places the control at its designed bounds scaled to the window's pixels per inch, in its
// font of that size: a label fitted to its text, a spin edit shared with its up-down.
void NativeFormWindow::layOut(NativeControl& control) {
    const Rect bounds = boundsOf(*control.design);
    SetWindowPos(control.window, nullptr, bounds.left, bounds.top, bounds.width, bounds.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(control)), FALSE);
    if (control.design->kind == ControlKind::Label) {
        control.rightEdge = bounds.left + bounds.width;
        fitLabel(control);
    } else if ((control.design->kind == ControlKind::CheckBox ||
                control.design->kind == ControlKind::RadioButton) &&
               !control.design->wordWrap) {
        // The font of another size is not always as wide as the designed one times the
        // scale: a caption that then needs more room than the scaled width takes it to the
        // right, up to its container's edge, rather than being cut.
        SIZE ideal{};
        SendMessageW(control.window, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
        RECT container;
        GetClientRect(GetParent(control.window), &container);
        const int width = std::min<int>(ideal.cx, container.right - bounds.left);
        if (width > bounds.width) {
            SetWindowPos(control.window, nullptr, 0, 0, width, bounds.height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    } else if (control.spinButtons != nullptr) {
        // The up-down takes the right end of the spin edit's bounds, as wide as a scroll
        // bar at this DPI, and the edit the rest.
        const int buttonsWidth = systemMetricAt(SM_CXVSCROLL, pixelsPerInch_);
        SetWindowPos(control.spinButtons, nullptr, bounds.left + bounds.width - buttonsWidth,
                     bounds.top, buttonsWidth, bounds.height, SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(control.window, nullptr, 0, 0, bounds.width - buttonsWidth, bounds.height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void NativeFormWindow::createSpinButtons(NativeControl& control, DWORD state) {
    const ControlSpec& design = *control.design;
    // The edit's text stays the value, whatever was typed into it; layOut() places both.
    control.spinButtons = CreateWindowExW(
        0, UPDOWN_CLASSW, nullptr,
        WS_CHILD | WS_CLIPSIBLINGS | (state & (WS_VISIBLE | WS_DISABLED)) | UDS_SETBUDDYINT |
            UDS_ARROWKEYS | UDS_NOTHOUSANDS | UDS_HOTTRACK,
        0, 0, 0, 0, GetParent(control.window), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (control.spinButtons == nullptr) {
        throw std::runtime_error("The control " + std::string(design.name) + " cannot be created");
    }
    SendMessageW(control.spinButtons, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control.window), 0);
    SendMessageW(control.spinButtons, UDM_SETRANGE32, static_cast<WPARAM>(INT_MIN),
                 INT_MAX);  // no bounds
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
    MapWindowPoints(HWND_DESKTOP, GetParent(label.window), reinterpret_cast<POINT*>(&bounds), 2);
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
    const int left = label.design->align == Align::Right ? label.rightEdge - width : bounds.left;
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
    if (!form_.firstFocus.empty()) {
        SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(form_.firstFocus)),
                     TRUE);
    }
}

std::string NativeFormWindow::focusedControl() const {
    const HWND focused = GetFocus();
    for (const NativeControl& control : controls_) {
        if (focused != nullptr && (control.window == focused || control.spinButtons == focused)) {
            return std::string(control.design->name);
        }
    }
    return {};
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

void NativeFormWindow::report(const NativeControl& control, ControlEvent event) {
    if (events_ != nullptr) {
        events_->controlEvent(control.design->name, event);
    }
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
                report(*timer, ControlEvent::Tick);
            }
            return 0;
        case WM_CLOSE:
            if (events_ == nullptr || events_->closeRequested()) {
                DestroyWindow(window_);
                PostQuitMessage(0);  // the form's window is the application's main window
            }
            return 0;
        case WM_DPICHANGED:
            // Moved to a monitor of other pixels per inch: every control again from its
            // designed bounds, the fonts anew, the frame where the system suggests.
            rescale(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SETTINGCHANGE:
            if (events_ != nullptr && lParam != 0 &&
                lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"intl") == 0) {
                events_->regionalSettingsChanged();
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
    if (control == nullptr) {
        return;
    }
    const ControlKind kind = control->design->kind;
    if (isButtonKind(kind)) {
        if (code == BN_CLICKED) {
            report(*control, ControlEvent::Click);
        } else if (kind == ControlKind::PushButton &&
                   (code == BN_SETFOCUS || code == BN_KILLFOCUS)) {
            // The focused button is the one Enter presses, and looks it.
            SendMessageW(control->window, BM_SETSTYLE,
                         code == BN_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        }
    } else if (eventOf(kind) == ControlEvent::Change && code == EN_CHANGE) {
        report(*control, ControlEvent::Change);
    }
}

NativeFormWindow::NativeControl* NativeFormWindow::controlWithId(int id) {
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(controls_.size())) {
        return nullptr;
    }
    return &controls_[static_cast<std::size_t>(index)];
}

}  // namespace veltrona::ui
