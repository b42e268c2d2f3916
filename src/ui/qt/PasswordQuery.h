#pragma once

#include <QString>

namespace veltrona::ui {

// Object names of the prompt's controls, so a caller can find and drive them.
inline constexpr const char* kPasswordFieldName = "PasswordField";
inline constexpr const char* kOkButtonName = "OkButton";
inline constexpr const char* kCancelButtonName = "CancelButton";
inline constexpr const char* kPromptLabelName = "PromptLabel";

// Asks for one line of masked text in a modal, fixed-size dialog in the window font, laid
// out in dialog units of that font, whose frame is centred on the screen; `caption` is its
// title, `prompt` stands above the field and `value` is the field's initial, wholly
// selected text. Returns true only when closed through OK (or Enter), and then `value`
// holds the field's text, possibly empty. Cancel, Escape and the close box return false
// and leave `value` as it was. The dialog is gone when the call returns, whatever the path.
bool passwordQuery(const QString& caption, const QString& prompt, QString& value);

}  // namespace veltrona::ui
