#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ServerSettings.h"

namespace veltrona::config {

// A "FIFOMax" or "FIFOMin" line whose value is no integer; `Text` as in BasicSettings.
template <typename Text>
struct BasicInvalidInteger {
    std::string key;  // "FIFOMax" or "FIFOMin"
    Text value;       // trimmed, as the report shows it
    Text line;        // the whole line, as the file has it

    bool operator==(const BasicInvalidInteger&) const = default;
};
// As the file holds it, and in UTF-8 as the reports show it.
using FileInvalidInteger = BasicInvalidInteger<FileText>;
using InvalidInteger = BasicInvalidInteger<std::string>;

// The reader and the writer take texts as the file's bytes; server::SettingsDocument turns
// them into UTF-8 and back.

// What reading the settings lines gave: the settings, and every "FIFOMax" or "FIFOMin"
// value that is no integer, in file order. Such a value leaves its holder as it was and
// reading goes on with the next line; the caller reports each one.
struct SettingsReadResult {
    FileSettings settings;
    std::vector<FileInvalidInteger> invalidIntegers;
};

// Applies the lines of a settings file, in order, to `initial`. Keys match by
// case-sensitive prefix; absent keys leave their holder unchanged.
SettingsReadResult readSettings(const std::vector<std::string>& lines, FileSettings initial = {});

// The whole settings file as it is written: fixed line order, CR LF after every line.
// CR, LF and NUL inside a text are written as blanks, so no value can add or end a line.
std::string writeSettings(const FileSettings& settings);

// "'%s' ist kein gültiger Integerwert" for a value that is no integer (UTF-8 text;
// `value` is already decoded for display).
std::string invalidIntegerMessage(std::string_view value);

}  // namespace veltrona::config
