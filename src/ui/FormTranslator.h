#pragma once

#include <QString>
#include <functional>
#include <string_view>
#include <vector>

#include "TranslationFile.h"

class QObject;
class QWidget;

namespace veltrona::ui {

// Turns 8-bit text from the translation file into display text.
using TextDecoder = std::function<QString(std::string_view)>;

// Translates each window of the list (null entries are skipped) from `file`: the window
// caption, then for every component the window owns, in order, its ".Caption" and ".Hint"
// (non-empty values only) and its memo ".lines[i]" (any value but "fsdef").
void translateForms(const std::vector<QWidget*>& windows, const TranslationFile& file,
                    const TextDecoder& decode);

// Sets the component's text property "Caption" or "Hint" (letter case ignored) to
// `value`, when `value` is not empty and the component's kind has that property.
// Returns whether a property was set.
bool setTextProperty(QObject* component, std::string_view property, const QString& value);

}  // namespace veltrona::ui
