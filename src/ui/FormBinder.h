#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "FormDescription.h"
#include "FormView.h"
#include "FormWindow.h"
#include "UserDialogs.h"

namespace veltrona::ui {

// A handler of a form, by the name its description gives it. A close handler answers
// whether the window may close; every other one answers true.
struct FormHandler {
    std::string_view name;
    std::function<bool()> run;
};

// Connects what a window reports to the handlers its description names, the same for
// every toolkit: a control's event runs the control's handler, a click on a radio button
// checks it within its group first, the window's create, show and close run the form's
// handlers. An error that escapes a handler is shown in the error box.
class FormBinder final : public FormEvents {
  public:
    // Throws std::logic_error when the description contradicts itself or names a handler
    // that is not among `handlers`.
    FormBinder(const FormSpec& form, FormView& view, std::vector<FormHandler> handlers,
               UserDialogs& dialogs, std::function<void()> regionalSettingsChanged);

    void created();  // the window's controls are built: the create handler runs
    void shown();    // the window was shown

    void controlEvent(std::string_view control, ControlEvent event) override;
    bool closeRequested() override;
    void regionalSettingsChanged() override;

  private:
    const FormHandler* find(std::string_view name) const;
    bool run(std::string_view handler);

    const FormSpec& form_;
    FormView& view_;
    std::vector<FormHandler> handlers_;
    UserDialogs& dialogs_;
    std::function<void()> regionalSettingsChanged_;
};

}  // namespace veltrona::ui
