#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "DialogProcedure.h"
#include "GdiFont.h"
#include "ui/FormDescription.h"
#include "ui/FormWindow.h"
#include "ui/PromptGeometry.h"

namespace veltrona::ui {

// A form description made into a native window: a fixed dialog frame at the designed
// position with the designed client size, and each control as the system's own, at the
// pixels the description gives. Controls inside group boxes and panels are children of
// their container, clipped by it, and all are created in creationOrder(), so the dialog
// manager's keyboard navigation (Tab, Shift+Tab, arrows within a radio group, Enter on a
// focused button) follows the description. Labels fit their text. The description's
// pixels are those of 96 pixels per inch: bounds, client size and font grow with the
// monitor's pixels per inch, and again when the window moves to a monitor of others. The
// window holds the controls' state and reports clicks, changes, ticks, the close request
// and new regional settings; what they mean is left to the FormEvents it reports them to.
class NativeFormWindow final : public FormWindow {
  public:
    // Creates the window hidden, with all its controls, and arms its timers; `owner`, when
    // given, owns it (the application's window, which has the taskbar button). Events are
    // reported from the message loop that runs next.
    explicit NativeFormWindow(const FormSpec& form, HWND owner = nullptr);
    NativeFormWindow(const NativeFormWindow&) = delete;
    NativeFormWindow& operator=(const NativeFormWindow&) = delete;
    ~NativeFormWindow() override;

    HWND handle() const { return window_; }
    // The control's window; for a spin edit its edit, whose up-down is spinButtons().
    HWND control(std::string_view name) const;
    HWND spinButtons(std::string_view spinEdit) const;

    // Passes one message of the thread's queue on: to the dialog manager's keyboard
    // handling first, then translated and dispatched.
    void deliver(MSG& message);

    // FormWindow
    void setEvents(FormEvents* events) override { events_ = events; }
    void show() override;
    std::string focusedControl() const override;
    int runMessageLoop() override;

    // FormView
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
    friend struct DialogProcedure<NativeFormWindow>;

    struct NativeControl {
        const ControlSpec* design = nullptr;
        HWND window = nullptr;
        HWND spinButtons = nullptr;
        std::string hint;
        int rightEdge = 0;  // in its container: where a right-aligned label ends
    };

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void handleCommand(int id, int code);
    void report(const NativeControl& control, ControlEvent event);

    void createContent();
    void createControl(const CreationStep& step);
    void createSpinButtons(NativeControl& control, DWORD state);
    void layOut(NativeControl& control);
    void makeFonts();
    void rescale(int pixelsPerInch, const RECT& suggested);
    Rect boundsOf(const ControlSpec& design) const;
    void fitLabel(NativeControl& label);
    HFONT fontOf(const NativeControl& control) const;

    const NativeControl& find(std::string_view name) const;
    NativeControl& find(std::string_view name);
    std::vector<std::string> memoLinesOf(std::string_view memo) const;
    void setMemoLines(std::string_view memo, const std::vector<std::string>& lines);
    NativeControl* controlWithId(int id);

    const FormSpec& form_;
    FormEvents* events_ = nullptr;
    GdiFont font_;
    GdiFont boldFont_;
    int pixelsPerInch_ = 96;
    HWND window_ = nullptr;
    std::vector<NativeControl> controls_;  // in the form's order; the index gives the id
};

}  // namespace veltrona::ui
