#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "ui/FileErrorText.h"

namespace veltrona::ui {

// Every modal dialog the window shows goes through here, so tests can answer them
// without a dialog ever opening. Texts are UTF-8.
class UserDialogs {
  public:
    virtual ~UserDialogs() = default;

    // The information box: caption "Information", one OK button, no icon, topmost.
    virtual void showInfo(const std::string& text) = 0;

    // The masked password prompt. True only through OK, and then `value` holds the
    // field's text; otherwise `value` is untouched.
    virtual bool passwordQuery(const std::string& caption, const std::string& prompt,
                               std::string& value) = 0;

    // The toolkit's error box: application title as caption, stop icon, OK. `message`
    // is shown as given (the caller has appended the period).
    virtual void showError(const std::string& message) = 0;

    // The stop failure: caption "Information", information icon, `text` (UTF-8), OK.
    virtual void showStopFailure(const std::string& text) = 0;
};

// The error box's text for an error's message: the message with a period appended.
inline std::string errorText(std::string_view message) {
    return std::string(message) + ".";
}

// Runs `action`; an exception that escapes it is shown in the error box, and the answer
// is false. The one place where an error becomes what the user sees.
template <typename Action>
bool showingErrors(UserDialogs& dialogs, Action&& action) {
    try {
        action();
        return true;
    } catch (const config::FileError& error) {
        dialogs.showError(errorText(fileErrorText(error)));
    } catch (const std::exception& error) {
        dialogs.showError(errorText(error.what()));
    }
    return false;
}

}  // namespace veltrona::ui
