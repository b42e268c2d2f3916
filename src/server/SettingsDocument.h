#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/file/FileAccess.h"
#include "config/settings/ServerSettings.h"
#include "config/settings/SettingsFile.h"
#include "config/text/CodePage.h"

namespace veltrona::server {

// The settings file as the window and VeltronaCtl read, lock and write it, so that both
// do so exactly alike.

// The settings file as the tool reads it at start-up.
struct SettingsDocument {
    std::optional<std::filesystem::path> path;  // the file found, in whatever letter case
    config::CodePage codePage = config::CodePage::system();  // the code page of its text
    // Its texts in UTF-8, converted from `codePage` as they were read; the admin password
    // as the file's bytes (compared as bytes, never shown).
    config::ServerSettings settings;
    // "FIFOMax" and "FIFOMin" lines whose value is no integer, in UTF-8 too.
    std::vector<config::InvalidInteger> invalidIntegers;
    // Why a settings file that is there could not be read (no rights, held open by another
    // program, no regular file); empty when it was read or is missing. Such a file gives
    // the settings of an empty window, which must never replace what it holds.
    std::string unreadable;
    // The file's bytes as they were read, to tell whether another writer has changed it
    // since.
    std::string content;
    // The file is larger than config::kReadLimit: it was not read and is never written
    // (`unreadable` says so too).
    bool tooBig = false;
};

// Reads "Server.INI" (any letter case) from the program folder. A missing file gives the
// settings of an empty window; so does one that cannot be read, which `unreadable` tells.
// `path` is set whenever a file is there, so the next write goes to it.
SettingsDocument readSettingsDocument(const std::filesystem::path& programFolder);

// The error (Read) for a document whose file could not be read: the file stays as it is.
config::FileError unreadableError(const SettingsDocument& document);

// Where the settings are written: the file that was read, else "Server.ini".
std::filesystem::path settingsWritePath(const SettingsDocument& document,
                                        const std::filesystem::path& programFolder);
// The same, found afresh: the file "Server.INI" in any letter case, else "Server.ini".
std::filesystem::path settingsWritePath(const std::filesystem::path& programFolder);

// The writers' lock of the settings file; every change of it is made under this lock,
// from the reading of what it changes to the write. Throws config::FileError.
config::FileLock lockSettingsFile(const std::filesystem::path& programFolder);

// Writes `settings` (texts in UTF-8, as the document holds them; the password as the
// file's bytes) to the settings file in the document's code page, under the
// writers' lock. A document whose file could not be read is never written: that would
// replace the settings in it with an empty window's. Throws config::FileError (Read for
// such a document, Write when the write fails).
void writeSettingsDocument(const SettingsDocument& document, const config::ServerSettings& settings,
                           const std::filesystem::path& programFolder,
                           const config::FileLock& heldLock);

// Writes the settings of a writer that read `document` some time ago and has since turned
// `before` (its settings as it first held them) into `after`, under the writers' lock. When
// the file is still as it was read, or is gone, `after` is written whole, as
// writeSettingsDocument does. When another writer has changed it meanwhile, only what this
// writer changed goes over the file as it is now: an entry it left alone keeps the other
// writer's value, one that both changed takes this writer's. Throws config::FileError,
// also when the file as it is now cannot be read.
void writeChangedSettings(const SettingsDocument& document, const config::ServerSettings& before,
                          const config::ServerSettings& after,
                          const std::filesystem::path& programFolder,
                          const config::FileLock& heldLock);

// The bytes that writeSettingsDocument writes for `settings`.
std::string settingsDocumentBytes(const SettingsDocument& document,
                                  const config::ServerSettings& settings);

// What the database field takes after the file is read: an empty one takes the image
// folder; one that is set, nothing.
std::optional<std::string> databaseDefault(const std::string& database,
                                           const std::string& imageFolder);
// The same for settings, as the window shows them once it has read the file.
void defaultDatabase(config::ServerSettings& settings);

}  // namespace veltrona::server
