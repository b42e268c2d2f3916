#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "DialogProcedure.h"

namespace veltrona::ui {

// The prompt's window class and the identifiers of its label and field, by which its
// children are found; OK and Cancel are IDOK and IDCANCEL.
inline constexpr char kPasswordPromptClass[] = "VeltronaPasswordPrompt";
inline constexpr int kPromptLabelId = 100;
inline constexpr int kPromptFieldId = 101;

// The masked password prompt, built in code from plain 8-bit controls placed at the exact
// pixels that promptGeometry() derives from the font: the caption, a prompt that wraps
// within its width limit, a field that shows "*" for every character, takes at most 255
// and starts with the value wholly selected, then OK (the default button, Enter) and
// Cancel (Escape, the close box). Texts are in the system code page. It is built hidden,
// centred on the screen, and destroyed with the object whatever happened in between.
class PasswordPrompt {
  public:
    PasswordPrompt(HWND owner, HFONT font, const std::string& caption, const std::string& prompt,
                   const std::string& value);
    PasswordPrompt(const PasswordPrompt&) = delete;
    PasswordPrompt& operator=(const PasswordPrompt&) = delete;
    ~PasswordPrompt();

    // Shows the prompt modally, with the focus in the field and the owner disabled, until
    // it is closed. The field's text when that was through OK; nothing otherwise, also
    // when the application was asked to quit meanwhile (the request is passed on).
    std::optional<std::string> run();

  private:
    friend struct DialogProcedure<PasswordPrompt>;
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void end(bool accepted);

    HWND owner_;
    HWND window_ = nullptr;
    HWND field_ = nullptr;
    bool ended_ = false;
    std::optional<std::string> entered_;
};

}  // namespace veltrona::ui
