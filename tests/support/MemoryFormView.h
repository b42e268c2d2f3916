#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/FormDescription.h"
#include "ui/FormView.h"

namespace veltrona::ui::testing {

// A window toolkit that keeps every control of a form in memory, in the state the form
// describes: captions and contents, hints, checks, enable states and memo lines. Like a
// real toolkit it knows no rule of the form: checking a button unchecks no sibling and
// runs no handler. It is stricter than a real one: a memo line index outside the memo
// throws std::out_of_range, as an unknown name does.
class MemoryFormView : public FormView {
  public:
    explicit MemoryFormView(const FormSpec& form);

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
    std::string& lineAt(std::string_view memo, int index);

    std::string windowCaption_;
    std::map<std::string, Control, std::less<>> controls_;
};

}  // namespace veltrona::ui::testing
