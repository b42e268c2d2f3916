#include "MemoryFormView.h"

#include <stdexcept>

#include "ui/MemoText.h"

namespace veltrona::ui::testing {

MemoryFormView::MemoryFormView(const FormSpec& form) : form_(form), windowCaption_(form.caption) {
    for (const ControlSpec& design : form.controls) {
        Control control;
        control.kind = design.kind;
        control.memo = design.kind == ControlKind::Memo;
        if (control.memo) {
            control.lines = memoLines(design.caption);
        } else {
            control.text = design.caption;
        }
        control.enabled = design.enabled;
        controls_.emplace(std::string(design.name), std::move(control));
    }
}

MemoryFormView::Control& MemoryFormView::at(std::string_view name) {
    const auto found = controls_.find(name);
    if (found == controls_.end()) {
        throw std::out_of_range("no control named " + std::string(name));
    }
    return found->second;
}

const MemoryFormView::Control& MemoryFormView::at(std::string_view name) const {
    return const_cast<MemoryFormView*>(this)->at(name);
}

MemoryFormView::Control& MemoryFormView::memoAt(std::string_view memo) {
    Control& control = at(memo);
    if (!control.memo) {
        throw std::out_of_range(std::string(memo) + " is no memo");
    }
    return control;
}

std::string& MemoryFormView::lineAt(std::string_view memo, int index) {
    std::vector<std::string>& memoLines = memoAt(memo).lines;
    if (index < 0 || static_cast<std::size_t>(index) >= memoLines.size()) {
        throw std::out_of_range(std::string(memo) + " has no line " + std::to_string(index));
    }
    return memoLines[static_cast<std::size_t>(index)];
}

const std::vector<std::string>& MemoryFormView::lines(std::string_view memo) const {
    return at(memo).lines;
}

void MemoryFormView::setWindowCaption(std::string_view text) {
    windowCaption_ = text;
}

std::string MemoryFormView::text(std::string_view name) const {
    const Control& control = at(name);
    if (!control.memo) {
        return control.text;
    }
    return memoText(control.lines);
}

void MemoryFormView::setText(std::string_view name, std::string_view text) {
    Control& control = at(name);
    if (control.memo) {
        control.lines = memoLines(text);
    } else {
        control.text = text;
    }
}

std::string MemoryFormView::hint(std::string_view name) const {
    return at(name).hint;
}

void MemoryFormView::setHint(std::string_view name, std::string_view text) {
    at(name).hint = text;
}

bool MemoryFormView::isChecked(std::string_view name) const {
    return at(name).checked;
}

void MemoryFormView::setChecked(std::string_view name, bool checked) {
    at(name).checked = checked;
}

bool MemoryFormView::isEnabled(std::string_view name) const {
    return at(name).enabled;
}

void MemoryFormView::setEnabled(std::string_view name, bool enabled) {
    at(name).enabled = enabled;
}

int MemoryFormView::lineCount(std::string_view memo) const {
    return static_cast<int>(const_cast<MemoryFormView*>(this)->memoAt(memo).lines.size());
}

std::string MemoryFormView::line(std::string_view memo, int index) const {
    return const_cast<MemoryFormView*>(this)->lineAt(memo, index);
}

void MemoryFormView::setLine(std::string_view memo, int index, std::string_view text) {
    lineAt(memo, index) = text;
}

void MemoryFormView::appendLine(std::string_view memo, std::string_view text) {
    memoAt(memo).lines.emplace_back(text);
}

void MemoryFormView::click(std::string_view name) {
    Control& control = at(name);
    if (control.kind == ControlKind::CheckBox) {
        control.checked = !control.checked;
    } else if (control.kind == ControlKind::RadioButton) {
        control.checked = true;
    }
    if (events_ != nullptr) {
        events_->controlEvent(name, ControlEvent::Click);
    }
}

void MemoryFormView::tick(std::string_view timer) {
    at(timer);
    if (events_ != nullptr) {
        events_->controlEvent(timer, ControlEvent::Tick);
    }
}

bool MemoryFormView::close() {
    const bool closes = events_ == nullptr || events_->closeRequested();
    shown_ = shown_ && !closes;
    return closes;
}

void MemoryFormView::show() {
    if (!shown_ && focused_.empty()) {
        focused_ = form_.firstFocus;
    }
    shown_ = true;
}

bool MemoryFormView::operator==(const MemoryFormView& other) const {
    return windowCaption_ == other.windowCaption_ && controls_ == other.controls_;
}

}  // namespace veltrona::ui::testing
