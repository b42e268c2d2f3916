#pragma once

#include <functional>

#include "ServerAdminForm.h"
#include "ui/FormBinder.h"
#include "ui/FormWindow.h"
#include "ui/UserDialogs.h"

namespace veltrona::app {

// The title of the application: the caption of its error boxes and of its task-bar entry.
inline constexpr const char* kApplicationTitle = "Veltrona Administration";

// The administration window's behaviour over a window of either toolkit: the form over
// the window's controls, and the window's events routed to the form's handlers by the
// names the form's description gives them. The window, and with it the polling timer,
// exists before the form's create handler runs.
class AdminProgram {
  public:
    AdminProgram(ui::FormWindow& window, FormServices services);
    AdminProgram(const AdminProgram&) = delete;
    AdminProgram& operator=(const AdminProgram&) = delete;
    ~AdminProgram();

    // Runs the create handler; then shows the window, unless the password gate asked
    // the application to end: false, and the window stays hidden.
    bool open();

    TServerAdminForm& form() { return form_; }
    // What the window reports its events to.
    ui::FormEvents& events() { return binder_; }

  private:
    ui::FormWindow& window_;
    TServerAdminForm form_;
    ui::FormBinder binder_;
};

// The program's life from its window on: the start-up sequence, then the message loop
// until the window closes. Its exit code; 0 when the password gate refused.
int runAdminProgram(ui::FormWindow& window, FormServices services);

// Runs a program's body; an error that escapes it is shown in the error box, and the
// exit code is then 1. Both programs' entries run inside it.
int runGuarded(ui::UserDialogs& dialogs, const std::function<int()>& body);

}  // namespace veltrona::app
