#include "AdminProgram.h"

#include <utility>
#include <vector>

#include "ServerAdminFormDescription.h"
#include "ServerAdminFormHandlers.h"

namespace veltrona::app {

namespace {

// The form's handlers, by the names its description gives them.
std::vector<ui::FormHandler> handlersOf(TServerAdminForm& form) {
    std::vector<ui::FormHandler> bound;
    for (const FormHandlerRow& handler : handlers::kAll) {
        bound.push_back({handler.name, [&form, run = handler.run] { return run(form); }});
    }
    return bound;
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
