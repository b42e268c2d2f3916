#include "MemoryFormView.h"

#include <algorithm>
#include <stdexcept>

namespace veltrona::ui::testing {

namespace {

// A memo's logical lines: none for empty text, and a final break opens no further line.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

MemoryFormView::MemoryFormView(const FormSpec& form) : windowCaption_(form.caption) {
    for (const ControlSpec& design : form.controls) {
        Control control;
        control.memo = design.kind == ControlKind::Memo;
        if (control.memo) {
            control.lines = splitLines(design.caption);
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

std::string& MemoryFormView::lineAt(std::string_view memo, int index) {
    std::vector<std::string>& memoLines = at(memo).lines;
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
    std::string joined;
    for (std::size_t i = 0; i < control.lines.size(); ++i) {
        joined += (i == 0 ? "" : "\n") + control.lines[i];
    }
    return joined;
}

void MemoryFormView::setText(std::string_view name, std::string_view text) {
    Control& control = at(name);
    if (control.memo) {
        control.lines = splitLines(text);
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
    return static_cast<int>(at(memo).lines.size());
}

std::string MemoryFormView::line(std::string_view memo, int index) const {
    return const_cast<MemoryFormView*>(this)->lineAt(memo, index);
}

void MemoryFormView::setLine(std::string_view memo, int index, std::string_view text) {
    lineAt(memo, index) = text;
}

void MemoryFormView::appendLine(std::string_view memo, std::string_view text) {
    at(memo).lines.emplace_back(text);
}

bool MemoryFormView::operator==(const MemoryFormView& other) const {
    return windowCaption_ == other.windowCaption_ && controls_ == other.controls_;
}

}  // namespace veltrona::ui::testing
