#include "NativeFormWindow.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "WideText.h"
#include "ui/MemoText.h"

// The state of a native window's controls, as the form reaches them by name.
namespace veltrona::ui {

namespace {

// A memo's edit holds its lines each ended by "\r\n".
std::wstring memoWindowText(const std::vector<std::string>& lines) {
    return widen(memoText(lines, "\r\n"));
}

}  // namespace

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

std::vector<std::string> NativeFormWindow::memoLinesOf(std::string_view memo) const {
    const NativeControl& control = find(memo);
    if (control.design->kind != ControlKind::Memo) {
        throw std::out_of_range(std::string(memo) + " is no memo");
    }
    return memoLines(narrow(windowText(control.window)));
}

void NativeFormWindow::setMemoLines(std::string_view memo, const std::vector<std::string>& lines) {
    SetWindowTextW(find(memo).window, memoWindowText(lines).c_str());
}

void NativeFormWindow::setWindowCaption(std::string_view text) {
    SetWindowTextW(window_, widen(text).c_str());
}

std::string NativeFormWindow::text(std::string_view name) const {
    const NativeControl& control = find(name);
    if (control.design->kind == ControlKind::Memo) {
        return memoText(memoLinesOf(name));
    }
    return narrow(windowText(control.window));
}

void NativeFormWindow::setText(std::string_view name, std::string_view text) {
    NativeControl& control = find(name);
    if (control.design->kind == ControlKind::Memo) {
        setMemoLines(name, memoLines(text));
        return;
    }
    SetWindowTextW(control.window, widen(text).c_str());
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
    // The system's automatic radio button unchecks the others of its group when it is
    // checked, by code too. Here the one control alone changes: for the moment of the
    // change it is a plain radio button, which leaves its group alone.
    const NativeControl& control = find(name);
    const LONG_PTR style = GetWindowLongPtrW(control.window, GWL_STYLE);
    const bool automatic = control.design->kind == ControlKind::RadioButton &&
                           (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
    if (automatic) {
        SetWindowLongPtrW(control.window, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_RADIOBUTTON);
    }
    SendMessageW(control.window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (automatic) {
        SetWindowLongPtrW(control.window, GWL_STYLE, style);
    }
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
    return static_cast<int>(memoLinesOf(memo).size());
}

std::string NativeFormWindow::line(std::string_view memo, int index) const {
    const std::vector<std::string> lines = memoLinesOf(memo);
    if (index < 0 || index >= static_cast<int>(lines.size())) {
        throw std::out_of_range(std::string(memo) + " has no line " + std::to_string(index));
    }
    return lines[static_cast<std::size_t>(index)];
}

void NativeFormWindow::setLine(std::string_view memo, int index, std::string_view text) {
    std::vector<std::string> lines = memoLinesOf(memo);
    if (index < 0 || index >= static_cast<int>(lines.size())) {
        throw std::out_of_range(std::string(memo) + " has no line " + std::to_string(index));
    }
    lines[static_cast<std::size_t>(index)] = std::string(text);
    setMemoLines(memo, lines);
}

void NativeFormWindow::appendLine(std::string_view memo, std::string_view text) {
    // Replacing the empty selection at the end scrolls the new line into view.
    memoLinesOf(memo);  // a memo, or out_of_range
    const HWND window = find(memo).window;
    const std::wstring current = windowText(window);
    std::wstring added = widen(text) + L"\r\n";
    if (!current.empty() && !current.ends_with(L"\r\n")) {
        added.insert(0, L"\r\n");
    }
    const auto end = static_cast<WPARAM>(current.size());
    SendMessageW(window, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
}

}  // namespace veltrona::ui
