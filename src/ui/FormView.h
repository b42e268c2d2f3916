#pragma once

#include <string>
#include <string_view>

namespace veltrona::ui {

// A window's controls as the form's logic and the translation reach them: by name, with
// every text in UTF-8. A window toolkit implements it over its own controls; it holds
// the controls' state and nothing else, so no rule of the form lives in a toolkit.
// Every call names a control the form describes; a name it does not hold is a
// programming error and throws std::out_of_range.
class FormView {
  public:
    virtual ~FormView() = default;

    virtual void setWindowCaption(std::string_view text) = 0;

    // The caption of a label, button, group box, radio button, check box or panel; the
    // content of an edit or a spin edit, exactly as typed. A label keeps fitting its text.
    virtual std::string text(std::string_view control) const = 0;
    virtual void setText(std::string_view control, std::string_view text) = 0;

    // The hint is held, and can be read back, but the window never shows it.
    virtual std::string hint(std::string_view control) const = 0;
    virtual void setHint(std::string_view control, std::string_view text) = 0;

    // Check boxes and radio buttons. Setting changes that control alone: no sibling is
    // unchecked and no handler runs; the form's logic does both where they are due.
    virtual bool isChecked(std::string_view control) const = 0;
    virtual void setChecked(std::string_view control, bool checked) = 0;

    virtual bool isEnabled(std::string_view control) const = 0;
    virtual void setEnabled(std::string_view control, bool enabled) = 0;

    // A memo's logical lines: text between line breaks, however the memo wraps it. An
    // empty memo has none, and a break after the last line opens no further one.
    virtual int lineCount(std::string_view memo) const = 0;
    virtual std::string line(std::string_view memo, int index) const = 0;
    virtual void setLine(std::string_view memo, int index, std::string_view text) = 0;
    virtual void appendLine(std::string_view memo, std::string_view text) = 0;
};

}  // namespace veltrona::ui
