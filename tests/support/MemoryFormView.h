#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/FormDescription.h"
#include "ui/FormWindow.h"

namespace veltrona::ui::testing {

// A window toolkit that keeps every control of a form in memory, in the state the form
// describes: captions and contents, hints, checks, enable states, memo lines and the
// focus. Like a real toolkit it knows no rule of the form: checking a button unchecks no
// sibling and runs no handler, and a user's click does what the toolkit's own buttons do
// before it is reported.
class MemoryFormView : public FormWindow {
  public:
    explicit MemoryFormView(const FormSpec& form);

    // A user's click: a check box toggles, a radio button is checked, then the click is
    // reported. A timer's tick and the close box, reported as a window reports them.
    void click(std::string_view control);
    void tick(std::string_view timer);
    bool close();
    bool shown() const { return shown_; }

    void setEvents(FormEvents* events) override { events_ = events; }
    void show() override;
    std::string focusedControl() const override { return focused_; }
    int runMessageLoop() override { return 0; }

    std::string windowCaption() const { return windowCaption_; }
    // All logical lines of a memo.
    const std::vector<std::string>& lines(std::string_view memo) const;

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

    // Same state in every control and the same window caption.
    bool operator==(const MemoryFormView& other) const;

  private:
    struct Control {
        ControlKind kind = ControlKind::Label;
        bool memo = false;
        std::string text;                // not used by a memo
        std::vector<std::string> lines;  // a memo's content
        std::string hint;
        bool checked = false;
        bool enabled = true;
        bool operator==(const Control&) const = default;
    };

    Control& at(std::string_view name);
    const Control& at(std::string_view name) const;
    Control& memoAt(std::string_view memo);
    std::string& lineAt(std::string_view memo, int index);

    const FormSpec& form_;
    FormEvents* events_ = nullptr;
    bool shown_ = false;
    std::string focused_;
    std::string windowCaption_;
    std::map<std::string, Control, std::less<>> controls_;
};

}  // namespace veltrona::ui::testing
