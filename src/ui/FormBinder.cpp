#include "FormBinder.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace veltrona::ui {

FormBinder::FormBinder(const FormSpec& form, FormView& view, std::vector<FormHandler> handlers,
                       UserDialogs& dialogs, std::function<void()> regionalSettingsChanged)
    : form_(form),
      view_(view),
      handlers_(std::move(handlers)),
      dialogs_(dialogs),
      regionalSettingsChanged_(std::move(regionalSettingsChanged)) {
    checkDescription(form_);
    std::vector<std::string_view> named{form_.onCreate, form_.onShow, form_.onClose};
    for (const ControlSpec& control : form_.controls) {
        named.push_back(control.handler);
    }
    for (const std::string_view name : named) {
        if (!name.empty() && find(name) == nullptr) {
            throw std::logic_error("The form " + std::string(form_.name) + " names the handler " +
                                   std::string(name) + ", which it does not have");
        }
    }
}

const FormHandler* FormBinder::find(std::string_view name) const {
    for (const FormHandler& handler : handlers_) {
        if (handler.name == name) {
            return &handler;
        }
    }
    return nullptr;
}

bool FormBinder::run(std::string_view handler) {
    const FormHandler* found = handler.empty() ? nullptr : find(handler);
    if (found == nullptr) {
        return true;
    }
    bool answer = false;
    const bool ran = showingErrors(dialogs_, [&] { answer = found->run(); });
    return ran && answer;
}

void FormBinder::created() {
    run(form_.onCreate);
}

void FormBinder::shown() {
    run(form_.onShow);
}

void FormBinder::controlEvent(std::string_view control, ControlEvent event) {
    const ControlSpec* design = form_.find(control);
    if (design == nullptr) {
        return;
    }
    if (design->kind == ControlKind::RadioButton && event == ControlEvent::Click) {
        // Which buttons a checked radio button unchecks is the form's rule, in every window.
        showingErrors(dialogs_, [&] { checkRadioButton(form_, view_, control); });
    }
    if (design->event == event) {
        run(design->handler);
    }
}

bool FormBinder::closeRequested() {
    return run(form_.onClose);
}

void FormBinder::regionalSettingsChanged() {
    if (regionalSettingsChanged_) {
        showingErrors(dialogs_, regionalSettingsChanged_);
    }
}

}  // namespace veltrona::ui
