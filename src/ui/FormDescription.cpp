#include "FormDescription.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "FormView.h"

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

void appendCreation(const FormSpec& form, std::string_view parent,
                    std::vector<CreationStep>& order) {
    std::vector<const ControlSpec*> ordered;
    std::vector<const ControlSpec*> rest;
    for (const ControlSpec& control : form.controls) {
        if (control.parent == parent && isVisual(control.kind)) {
            (control.tabOrder >= 0 ? ordered : rest).push_back(&control);
        }
    }
    std::stable_sort(
        ordered.begin(), ordered.end(),
        [](const ControlSpec* a, const ControlSpec* b) { return a->tabOrder < b->tabOrder; });
    ordered.insert(ordered.end(), rest.begin(), rest.end());
    const RadioGroup* previousGroup = nullptr;
    for (const ControlSpec* control : ordered) {
        const RadioGroup* group =
            control->kind == ControlKind::RadioButton ? form.groupOf(control->name) : nullptr;
        order.push_back(
            {control, takesFocus(*control), group == nullptr || group != previousGroup});
        previousGroup = group;
        if (isContainer(control->kind)) {
            appendCreation(form, control->name, order);
        }
    }
}

[[noreturn]] void contradiction(const FormSpec& form, const std::string& what) {
    throw std::logic_error("The form " + std::string(form.name) + " " + what);
}

}  // namespace

ControlEvent eventOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            return ControlEvent::Click;
        case ControlKind::Edit:
        case ControlKind::SpinEdit:
            return ControlEvent::Change;
        case ControlKind::Timer:
            return ControlEvent::Tick;
        default:
            return ControlEvent::None;
    }
}

bool isVisual(ControlKind kind) {
    return kind != ControlKind::Timer && kind != ControlKind::Manifest;
}

bool isContainer(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::Panel;
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

const RadioGroup* FormSpec::groupOf(std::string_view radioButton) const {
    for (const RadioGroup& group : radioGroups) {
        if (std::find(group.members.begin(), group.members.end(), radioButton) !=
            group.members.end()) {
            return &group;
        }
    }
    return nullptr;
}

std::vector<const ControlSpec*> tabSequence(const FormSpec& form) {
    // The tab stops of the creation order: a toolkit whose dialog manager tabs through its
    // controls as they were created and one that is given the order agree by construction.
    std::vector<const ControlSpec*> sequence;
    for (const CreationStep& step : creationOrder(form)) {
        if (step.tabStop) {
            sequence.push_back(step.control);
        }
    }
    return sequence;
}

std::vector<CreationStep> creationOrder(const FormSpec& form) {
    std::vector<CreationStep> order;
    appendCreation(form, {}, order);
    return order;
}

void checkRadioButton(const FormSpec& form, FormView& view, std::string_view radioButton) {
    if (const RadioGroup* group = form.groupOf(radioButton)) {
        for (const std::string_view member : group->members) {
            view.setChecked(member, member == radioButton);
        }
    } else {
        view.setChecked(radioButton, true);
    }
}

void checkDescription(const FormSpec& form) {
    for (const ControlSpec& control : form.controls) {
        if (control.event != ControlEvent::None && control.event != eventOf(control.kind)) {
            contradiction(form, "gives " + std::string(control.name) +
                                    " an event that its kind does not report");
        }
        if (!control.handler.empty() && control.event == ControlEvent::None) {
            contradiction(form, "gives " + std::string(control.name) + " a handler but no event");
        }
    }
    const std::vector<const ControlSpec*> sequence = tabSequence(form);
    for (const RadioGroup& group : form.radioGroups) {
        std::vector<std::size_t> places;
        for (const std::string_view member : group.members) {
            const ControlSpec* control = form.find(member);
            if (control == nullptr || control->kind != ControlKind::RadioButton ||
                form.groupOf(member) != &group) {
                contradiction(form, "has " + std::string(member) + " in the radio group " +
                                        std::string(group.name) +
                                        ", which is no radio button of that group alone");
            }
            const auto place = std::find(sequence.begin(), sequence.end(), control);
            if (place == sequence.end()) {
                contradiction(form, "has " + std::string(member) + " outside the tab sequence");
            }
            places.push_back(static_cast<std::size_t>(place - sequence.begin()));
        }
        std::sort(places.begin(), places.end());
        if (!places.empty() && places.back() - places.front() + 1 != places.size()) {
            contradiction(form, "breaks up the radio group " + std::string(group.name) +
                                    " in its tab sequence");
        }
    }
    if (!form.firstFocus.empty() &&
        std::none_of(sequence.begin(), sequence.end(), [&](const ControlSpec* control) {
            return control->name == form.firstFocus;
        })) {
        contradiction(form, "gives the first focus to " + std::string(form.firstFocus) +
                                ", which takes no focus");
    }
}

}  // namespace veltrona::ui
