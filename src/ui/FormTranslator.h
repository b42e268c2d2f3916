#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "FormDescription.h"
#include "FormView.h"
#include "TranslationFile.h"

namespace veltrona::ui {

// Turns 8-bit text from the translation file into UTF-8 display text.
using TextDecoder = std::function<std::string(std::string_view)>;

// A window to translate: its description (names and kinds of what it owns) and its
// controls. A null view is skipped.
struct TranslatableForm {
    const FormSpec* form = nullptr;
    FormView* view = nullptr;
};

// Translates each window of the list from `file`, in the section named after the window:
// the window caption, then for every component the window owns, in the form's order, its
// ".Caption" and ".Hint" (non-empty values only) and, for a memo, its ".lines[i]" for the
// lines it holds (any value but "fsdef", an empty one included).
void translateForms(const std::vector<TranslatableForm>& windows, const TranslationFile& file,
                    const TextDecoder& decode);

// Sets the component's text property "Caption" or "Hint" (letter case ignored) to
// `value`, when `value` is not empty and the component's kind has that property.
// Returns whether a property was set.
bool setTextProperty(FormView& view, const ControlSpec& component, std::string_view property,
                     std::string_view value);

}  // namespace veltrona::ui
