#include "SettingsFile.h"

#include "IntegerConversion.h"
#include "SettingsSchema.h"
#include "config/text/TextLines.h"

namespace veltrona::config {

namespace {

// The text after the first "=", or the whole line when there is none, without the blanks
// and control characters around it.
std::string valueOf(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
        line.remove_prefix(equals + 1);
    }
    return std::string(trimControls(line));
}

void readInteger(const FileSettingEntry& entry, const std::string& line, std::int32_t& holder,
                 std::vector<FileInvalidInteger>& invalid) {
    std::string value = valueOf(line);
    if (const auto number = parseInteger(value)) {
        holder = *number;
    } else {
        invalid.push_back({std::string(entry.key), {std::move(value)}, {line}});
    }
}

// No written text may add, split or end a line, so line breaks and NUL become blanks.
std::string oneLine(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return result;
}

}  // namespace

SettingsReadResult readSettings(const std::vector<std::string>& lines, FileSettings initial) {
    SettingsReadResult result{std::move(initial), {}};
    FileSettings& s = result.settings;
    for (const std::string& line : lines) {
        const FileSettingEntry* entry = entryOfLine(line);
        if (entry == nullptr) {
            continue;
        }
        switch (entry->kind) {
            case SettingKind::Text:
                s.*entry->text = {valueOf(line)};
                break;
            case SettingKind::Password:
                s.*entry->password = {valueOf(line)};
                break;
            case SettingKind::Integer:
                readInteger(*entry, line, s.*entry->integer, result.invalidIntegers);
                break;
            case SettingKind::OptionalInteger:
                // The box is checked even when the number is bad; a bad number is dropped
                // silently and the spin edit keeps what it had.
                s.*entry->flag = true;
                if (const auto number = parseInteger(valueOf(line))) {
                    s.*entry->integer = *number;
                }
                break;
            case SettingKind::Flag:
                s.*entry->flag = true;
                break;
            case SettingKind::Choice:
                s.transferSyntax = entry->choice;
                break;
        }
    }
    return result;
}

std::string writeSettings(const FileSettings& s) {
    std::string out = "#Server Settings\r\n\r\n";
    const auto line = [&out](const FileSettingEntry& entry, std::string_view value = {}) {
        out += entry.key;
        out += entry.afterKey;
        out += oneLine(value);
        out += "\r\n";
    };
    const auto text = [&](const FileSettingEntry& entry, const FileText& value) {
        if (!entry.omittedWhenEmpty || !value.empty()) {
            line(entry, value.bytes);
        }
    };
    for (const FileSettingEntry& entry : settingsSchema<FileSettings>()) {
        switch (entry.kind) {
            case SettingKind::Text:
                text(entry, s.*entry.text);
                break;
            case SettingKind::Password:
                text(entry, s.*entry.password);
                break;
            case SettingKind::Integer:
                line(entry, std::to_string(s.*entry.integer));
                break;
            case SettingKind::OptionalInteger:
                if (s.*entry.flag) {
                    line(entry, std::to_string(s.*entry.integer));
                }
                break;
            case SettingKind::Flag:
                if (s.*entry.flag) {
                    line(entry);
                }
                break;
            case SettingKind::Choice:
                if (s.transferSyntax == entry.choice) {
                    line(entry);
                }
                break;
        }
    }
    return out;
}

std::string invalidIntegerMessage(std::string_view value) {
    std::string message = "'";
    message += value;
    message += "' ist kein g\u00fcltiger Integerwert";
    return message;
}

}  // namespace veltrona::config
