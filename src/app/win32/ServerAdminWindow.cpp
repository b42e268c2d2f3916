#include "ServerAdminWindow.h"

#include <array>
#include <utility>

#include "app/ServerAdminFormDescription.h"

namespace veltrona::app {

namespace {

// The form's click handlers, by the control they are attached to.
constexpr std::array<std::pair<std::string_view, void (TServerAdminForm::*)()>, 3> kClickHandlers{{
    {"Button1", &TServerAdminForm::Button1Click},
    {"Button2", &TServerAdminForm::Button2Click},
    {"CheckBox2", &TServerAdminForm::CheckBox2Click},
}};

}  // namespace

ServerAdminWindow::ServerAdminWindow(FormServices services)
    : window_(serverAdminFormSpec(), *this), form_(window_, std::move(services)) {}

bool ServerAdminWindow::open() {
    form_.FormCreate();
    if (form_.endRequested()) {
        return false;
    }
    form_.FormShow();
    window_.show();
    return true;
}

void ServerAdminWindow::clicked(std::string_view control) {
    for (const auto& [name, handler] : kClickHandlers) {
        if (name == control) {
            (form_.*handler)();
        }
    }
    // Which buttons a checked radio button unchecks is the form's rule, as in every window.
    const ui::ControlSpec* clicked = serverAdminFormSpec().find(control);
    if (clicked != nullptr && clicked->kind == ui::ControlKind::RadioButton) {
        form_.RadioButtonClick(control);
    }
}

void ServerAdminWindow::timerElapsed(std::string_view timer) {
    if (timer == "Timer1") {
        form_.Timer1Timer();
    }
}

bool ServerAdminWindow::closeRequested() {
    return form_.FormClose();
}

void ServerAdminWindow::regionalSettingsChanged() {
    form_.regionalSettingsChanged();
}

}  // namespace veltrona::app
