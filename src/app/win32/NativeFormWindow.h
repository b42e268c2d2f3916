#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/FormDescription.h"
#include "ui/FormView.h"
#include "ui/win32/GdiFont.h"

namespace veltrona::app {

// A form description made into a native window: a fixed dialog frame at the designed
// position with the designed client size, and each control as the system's own, at the
// pixels the description gives. Controls inside group boxes and panels are children of
// the window itself, drawn above their container, and created in the form's tab order,
// so the dialog manager's keyboard navigation (Tab, Shift+Tab, arrows within a radio
// group, Enter on a focused button) follows it. Labels fit their text. The window holds
// the controls' state and reports a few events; what they mean is left to its owner.
class NativeFormWindow final : public ui::FormView {
  public:
    class Events {
      public:
        virtual ~Events() = default;
        // A push button, check box or radio button was clicked (or pressed by keyboard).
        virtual void clicked(std::string_view control) = 0;
        virtual void timerElapsed(std::string_view timer) = 0;
        // The user asks to close the window; false keeps it open.
        virtual bool closeRequested() = 0;
        // The system announced new regional settings.
        virtual void regionalSettingsChanged() = 0;
    };

    // Creates the window hidden, with all its controls, and arms its timers. Events are
    // reported from the message loop that runs next.
    NativeFormWindow(const ui::FormSpec& form, Events& events);
    NativeFormWindow(const NativeFormWindow&) = delete;
    NativeFormWindow& operator=(const NativeFormWindow&) = delete;
    ~NativeFormWindow() override;

    HWND handle() const { return window_; }
    // The control's window; for a spin edit its edit, whose up-down is spinButtons().
    HWND control(std::string_view name) const;
    HWND spinButtons(std::string_view spinEdit) const;

    // Shows the window and gives the focus to the first control of the tab order.
    void show();
    // Passes one message of the thread's queue on: to the dialog manager's keyboard
    // handling first, then translated and dispatched.
    void deliver(MSG& message);
    // Runs the message loop until the application is asked to quit; its exit code.
    int runMessageLoop();

    void setWindowCaption(std::string_view text) override;
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, std::string_view text) override;
    std::string hint(std::string_view control) const override;
    void setHint(std::string_view control, std::string_view text) override;
    bool isChecked(std::string_view control) const override;
    void setChecked(std::string_view control, bool checked) override;
    bool isEnabled(std::string_view control) const override;
    void setEnabled(std::string_view control, bool enabled) override;
    int lineCount(std::string_view memo) const override;
    std::string line(std::string_view memo, int index) const override;
    void setLine(std::string_view memo, int index, std::string_view text) override;
    void appendLine(std::string_view memo, std::string_view text) override;

  private:
    struct NativeControl {
        const ui::ControlSpec* design = nullptr;
        HWND window = nullptr;
        HWND spinButtons = nullptr;
        std::string hint;
        int rightEdge = 0;  // in the window's client area: where a right-aligned label ends
    };

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void handleCommand(int id, int code);

    void createContent();
    void createControl(std::size_t index, bool tabStop, bool startsGroup);
    void fitLabel(NativeControl& label);
    HFONT fontOf(const NativeControl& control) const;

    const NativeControl& find(std::string_view name) const;
    NativeControl& find(std::string_view name);
    const NativeControl& findMemo(std::string_view name) const;
    NativeControl* controlWithId(int id);

    const ui::FormSpec& form_;
    Events& events_;
    ui::GdiFont font_;
    ui::GdiFont boldFont_;
    HWND window_ = nullptr;
    std::vector<NativeControl> controls_;  // in the form's order; the index gives the id
};

}  // namespace veltrona::app
