#pragma once

#include "NativeFormWindow.h"
#include "app/ServerAdminForm.h"

namespace veltrona::app {

// The administration window on Windows: the form's description made native, with the
// form's behaviour behind its events. The window, and with it the polling timer, exists
// before the form's create handler runs.
class ServerAdminWindow final : private NativeFormWindow::Events {
  public:
    explicit ServerAdminWindow(FormServices services);

    // Runs the create handler; then shows the window, unless the password gate asked
    // the application to end: false, and the window stays hidden.
    bool open();

    NativeFormWindow& window() { return window_; }
    TServerAdminForm& form() { return form_; }

  private:
    void clicked(std::string_view control) override;
    void timerElapsed(std::string_view timer) override;
    bool closeRequested() override;
    void regionalSettingsChanged() override;

    NativeFormWindow window_;
    TServerAdminForm form_;
};

}  // namespace veltrona::app
