#include "SettingsLines.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "ShownSettings.h"
#include "config/settings/IntegerConversion.h"
#include "config/settings/SettingsSchema.h"
#include "config/text/AsciiCase.h"
#include "config/text/TextLines.h"

namespace veltrona::ctl {

namespace {

using SettingEntry = config::FileSettingEntry;
using config::SettingKind;

// A line as a review shows it: the admin password's value never appears.
std::string shownLine(const std::string& line) {
    const SettingEntry* entry = config::entryOfLine(line);
    if (entry != nullptr && entry->kind == SettingKind::Password) {
        return std::string(entry->key) + "=(not shown)";
    }
    return line;
}

// The value as the reader takes it: after the first "=", or the whole line, trimmed.
std::string_view valueOf(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
        line.remove_prefix(equals + 1);
    }
    return config::trimControls(line);
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// The first code point of `utf8` that the file should not hold: a control character, or a
// byte that the code page leaves undefined (read as the C1 control of the same number).
std::optional<std::string> badCharacter(std::string_view utf8, const config::CodePage& codePage) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        unsigned int code = byte;
        if (byte == 0xC2 && i + 1 < utf8.size()) {
            code = static_cast<unsigned char>(utf8[i + 1]);
        } else if (byte >= 0x80) {
            continue;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X", code);
        if (code < 0x20 || code == 0x7F) {
            return std::string("the control character 0x") + hex;
        }
        if (code >= 0x80 && code <= 0x9F) {
            return codePage == config::CodePage::utf8()
                       ? std::string("the control character U+00") + hex
                       : std::string("the byte 0x") + hex + ", which code page " +
                             std::to_string(codePage.identifier()) + " leaves undefined";
        }
    }
    return std::nullopt;
}

// What is wrong with the value of `entry` on `line`, if anything.
std::optional<std::string> valueProblem(const SettingEntry& entry, const std::string& line,
                                        const config::CodePage& codePage) {
    const std::string key(entry.key);
    const std::string_view value = valueOf(line);
    switch (entry.kind) {
        case SettingKind::Text:
            if (key == "Port" && !portNumber(std::string(value))) {
                return "Port " + inQuotes(value) + " is not a port number (1 to 65535)";
            }
            if (const auto bad = badCharacter(codePage.toUtf8(value), codePage)) {
                return key + " holds " + *bad;
            }
            return std::nullopt;
        case SettingKind::Integer:
        case SettingKind::OptionalInteger: {
            const auto number = config::parseInteger(value);
            if (!number) {
                return key + " " + inQuotes(codePage.toUtf8(value)) +
                       " is not an integer (-2147483648 to 2147483647)" +
                       (entry.kind == SettingKind::OptionalInteger ? "; it is read as 0" : "");
            }
            if (*number < 0) {
                return key + " " + std::to_string(*number) + " is below 0";
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

// The key as the line spells it: up to "=", a blank or a tab.
std::string_view spelling(std::string_view line) {
    return line.substr(0, line.find_first_of("= \t"));
}

}  // namespace

std::vector<SettingsLineChange> settingsLineChanges(std::string_view before,
                                                    std::string_view after) {
    const std::vector<std::string> old = config::splitLines(before);
    const std::vector<std::string> now = config::splitLines(after);
    std::vector<SettingsLineChange> changes;
    const auto unmatched = [&changes](const std::vector<std::string>& lines,
                                      std::vector<std::string> others, bool added) {
        for (const std::string& line : lines) {
            const auto match = std::find(others.begin(), others.end(), line);
            if (match != others.end()) {
                others.erase(match);
            } else {
                changes.push_back({added, shownLine(line)});
            }
        }
    };
    unmatched(old, now, false);
    unmatched(now, old, true);
    return changes;
}

std::vector<SettingsProblem> settingsProblems(std::string_view content,
                                              const config::CodePage& codePage) {
    std::vector<SettingsProblem> problems;
    std::map<std::string, std::size_t> seen;  // key (one for every transfer syntax) -> line
    const std::vector<std::string> lines = config::splitLines(content);
    for (std::size_t number = 1; number <= lines.size(); ++number) {
        const std::string& line = lines[number - 1];
        const auto problem = [&](std::string text) {
            problems.push_back({number, std::move(text)});
        };
        const std::string_view trimmed = config::trimControls(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;  // an empty line or a comment, ignored as meant
        }
        const SettingEntry* entry = config::entryOfLine(line);
        if (entry == nullptr) {
            const std::string shown = codePage.toUtf8(spelling(trimmed));
            const bool indented = static_cast<unsigned char>(line.front()) <= ' ';
            std::string known;
            for (const SettingEntry& candidate : config::settingsSchema<config::FileSettings>()) {
                if (config::equalsIgnoringAsciiCase(spelling(trimmed), candidate.key)) {
                    known = std::string(candidate.key);
                }
            }
            problem(indented ? inQuotes(shown) + " begins with a blank, so the line is ignored"
                    : known.empty() ? "unknown key " + inQuotes(shown) + "; the line is ignored"
                                    : inQuotes(shown) + " is not " + inQuotes(known) +
                                          " (letter case counts); the line is ignored");
            continue;
        }
        const std::string key(entry->key);
        const std::string_view rest = std::string_view(line).substr(key.size());
        if (!rest.empty() && rest.front() != '=' && rest.front() != ' ' && rest.front() != '\t') {
            problem(inQuotes(codePage.toUtf8(spelling(line))) + " is read as " + key);
        }
        const std::string group = entry->kind == SettingKind::Choice ? "transfer syntax" : key;
        if (const auto first = seen.find(group); first != seen.end()) {
            problem((entry->kind == SettingKind::Choice ? "a second transfer syntax (" + key + ")"
                                                        : key + " given again") +
                    " after line " + std::to_string(first->second) + "; the last one counts");
        }
        seen.emplace(group, number);
        if (auto wrong = valueProblem(*entry, line, codePage)) {
            problem(std::move(*wrong));
        }
    }
    if (!seen.contains("Port")) {
        problems.push_back({0, "no Port: the server would listen nowhere"});
    }
    return problems;
}

}  // namespace veltrona::ctl
