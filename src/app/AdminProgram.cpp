#include "AdminProgram.h"

#include <type_traits>
#include <utility>
#include <vector>

#include "ServerAdminFormDescription.h"

namespace veltrona::app {

namespace {

// The form's handlers, by the names its description gives them.
std::vector<ui::FormHandler> handlersOf(TServerAdminForm& form) {
    const auto handler = [&form](std::string_view name, auto method) {
        return ui::FormHandler{name, [&form, method] {
                                   if constexpr (std::is_same_v<decltype((form.*method)()), bool>) {
                                       return (form.*method)();
                                   } else {
                                       (form.*method)();
                                       return true;
                                   }
                               }};
    };
    return {
        handler("FormCreate", &TServerAdminForm::FormCreate),
        handler("FormShow", &TServerAdminForm::FormShow),
        handler("FormClose", &TServerAdminForm::FormClose),
        handler("Timer1Timer", &TServerAdminForm::Timer1Timer),
        handler("Button1Click", &TServerAdminForm::Button1Click),
        handler("Button2Click", &TServerAdminForm::Button2Click),
        handler("CheckBox2Click", &TServerAdminForm::CheckBox2Click),
    };
}

}  // namespace

AdminProgram::AdminProgram(ui::FormWindow& window, FormServices services)
    : window_(window),
      form_(window, services),
      binder_(serverAdminFormSpec(), window, handlersOf(form_), services.dialogs,
              [this] { form_.regionalSettingsChanged(); }) {
    window_.setEvents(&binder_);
}

AdminProgram::~AdminProgram() {
    window_.setEvents(nullptr);
}

bool AdminProgram::open() {
    binder_.created();
    if (form_.endRequested()) {
        return false;
    }
    window_.show();
    binder_.shown();
    return true;
}

int runAdminProgram(ui::FormWindow& window, FormServices services) {
    AdminProgram admin(window, std::move(services));
    if (!admin.open()) {
        return 0;  // refused at the password gate: nothing shown, nothing written
    }
    return window.runMessageLoop();
}

int runGuarded(ui::UserDialogs& dialogs, const std::function<int()>& body) {
    int exitCode = 1;
    ui::showingErrors(dialogs, [&] { exitCode = body(); });
    return exitCode;
}

}  // namespace veltrona::app
