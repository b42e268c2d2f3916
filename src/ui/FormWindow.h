#pragma once

#include <string>
#include <string_view>

#include "FormDescription.h"
#include "FormView.h"

namespace veltrona::ui {

// What a window reports from its message loop, whatever toolkit runs it.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    // The control reported the event its kind reports (a click, a change, a tick).
    virtual void controlEvent(std::string_view control, ControlEvent event) = 0;
    // The user asks to close the window; false keeps it open.
    virtual bool closeRequested() = 0;
    // The system announced new regional settings.
    virtual void regionalSettingsChanged() = 0;
};

// A form description made into a toolkit's window: every visual control built from it,
// its timers armed, and the controls' state kept for the form. A renderer knows kinds of
// controls, never the names of one form's controls; what its events mean is left to the
// FormEvents it reports them to.
class FormWindow : public FormView {
  public:
    // Where events go from now on; before, and with nullptr, they are dropped.
    virtual void setEvents(FormEvents* events) = 0;
    // Shows the window and gives the focus to the description's first focus.
    virtual void show() = 0;
    // The focused control's name; empty when the focus is on none of them.
    virtual std::string focusedControl() const = 0;
    // Runs the message loop until the application is asked to end; its exit code.
    virtual int runMessageLoop() = 0;
};

}  // namespace veltrona::ui
