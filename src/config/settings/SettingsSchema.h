#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ServerSettings.h"

namespace veltrona::config {

// What an entry of the settings file holds, and so how its line is read and written.
enum class SettingKind {
    Text,             // "KEY = text": the text after the first "=", trimmed
    Password,         // a text, held in the file's code page and never shown
    Integer,          // "KEY = number"; a value that is no integer is reported
    OptionalInteger,  // present or not (a check box), with a number; a bad number is dropped
    Flag,             // the key alone: set when the line is there
    Choice,           // the key alone: one of the exclusive transfer syntaxes
};

// One entry of the settings file: its key as the file spells it, its kind and the member
// of the settings (FileSettings or ServerSettings) that holds it.
template <typename Settings>
struct BasicSettingEntry {
    std::string_view key;  // a line that begins with it is this entry's
    SettingKind kind;
    // What the writer puts after the key: the separator before a value (" = " or "="), or
    // the comment after a flag or a choice.
    std::string_view afterKey;
    // A text that is written only when it is not empty; every other entry is written
    // always, or, for a flag, a choice or an optional number, only when it is set.
    bool omittedWhenEmpty = false;
    typename Settings::TextType Settings::*text = nullptr;  // Text
    FileText Settings::*password = nullptr;                 // Password
    std::int32_t Settings::*integer = nullptr;              // Integer, OptionalInteger
    bool Settings::*flag = nullptr;                         // Flag; OptionalInteger: present
    TransferSyntax choice = TransferSyntax::None;           // Choice
};

using SettingEntry = BasicSettingEntry<ServerSettings>;
using FileSettingEntry = BasicSettingEntry<FileSettings>;

// Every entry of the settings file, in the order the writer writes them; the same list for
// either kind of settings, entry for entry. No key begins with another, so a line is the
// entry of at most one key and the reader may test them in any order.
template <typename Settings = ServerSettings>
std::span<const BasicSettingEntry<Settings>> settingsSchema();

// The entry whose key begins `line` (case-sensitive, nothing before it), or none.
const FileSettingEntry* entryOfLine(std::string_view line);

// The entry of `key` exactly as the schema spells it, or none.
const SettingEntry* entryOfKey(std::string_view key);

// Whether `a` and `b` hold the same for `entry`: its text, number or flag; for an optional
// number its box and its number together; for a choice the transfer syntax.
bool holdsSame(const SettingEntry& entry, const ServerSettings& a, const ServerSettings& b);

// `current` with every entry in which `after` differs from `before` taken from `after`: one
// writer's changes laid over what the file holds now, every other entry left as it is.
ServerSettings withChanges(ServerSettings current, const ServerSettings& before,
                           const ServerSettings& after);

// The key of a transfer syntax's entry, which is also the server option that asks for it
// ("+x=", "+xs", ...); empty for none.
std::string_view transferSyntaxCode(TransferSyntax syntax);

}  // namespace veltrona::config
