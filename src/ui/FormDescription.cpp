#include "FormDescription.h"

#include <algorithm>

namespace veltrona::ui {

namespace {

bool takesFocus(const ControlSpec& control) {
    switch (control.kind) {
        case ControlKind::Memo:
        case ControlKind::PushButton:
        case ControlKind::RadioButton:
        case ControlKind::CheckBox:
        case ControlKind::Edit:
        case ControlKind::SpinEdit:
            return control.visible && control.tabOrder >= 0;
        default:
            return false;
    }
}

void appendChildren(const FormSpec& form, std::string_view parent,
                    std::vector<const ControlSpec*>& sequence) {
    std::vector<const ControlSpec*> children;
    for (const ControlSpec& control : form.controls) {
        if (control.parent == parent && isVisual(control.kind) && control.tabOrder >= 0) {
            children.push_back(&control);
        }
    }
    std::stable_sort(
        children.begin(), children.end(),
        [](const ControlSpec* a, const ControlSpec* b) { return a->tabOrder < b->tabOrder; });
    for (const ControlSpec* child : children) {
        if (takesFocus(*child)) {
            sequence.push_back(child);
        }
        appendChildren(form, child->name, sequence);
    }
}

}  // namespace

bool isVisual(ControlKind kind) {
    return kind != ControlKind::Timer && kind != ControlKind::Manifest;
}

bool hasCaption(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::PushButton:
        case ControlKind::GroupBox:
        case ControlKind::RadioButton:
        case ControlKind::CheckBox:
        case ControlKind::Panel:
            return true;
        default:
            return false;
    }
}

bool hasHint(ControlKind kind) {
    return isVisual(kind);
}

const ControlSpec* FormSpec::find(std::string_view controlName) const {
    for (const ControlSpec& control : controls) {
        if (control.name == controlName) {
            return &control;
        }
    }
    return nullptr;
}

std::vector<const ControlSpec*> tabSequence(const FormSpec& form) {
    std::vector<const ControlSpec*> sequence;
    appendChildren(form, {}, sequence);
    return sequence;
}

}  // namespace veltrona::ui
