#include "SettingsDocument.h"

#include <utility>

#include "ServerProgram.h"
#include "config/file/FileAccess.h"
#include "config/settings/SettingsFile.h"
#include "config/settings/SettingsSchema.h"
#include "config/text/TextLines.h"

namespace veltrona::server {

namespace fs = std::filesystem;

namespace {

// The text entries of `settings` converted from one code page to another: every entry of
// the schema of the kind Text. Numbers, flags and the admin password stay as they are.
config::ServerSettings convertTexts(const config::ServerSettings& settings,
                                    const config::CodePage& from, const config::CodePage& to) {
    if (from == to) {
        return settings;
    }
    config::ServerSettings converted = settings;
    for (const config::SettingEntry& entry : config::settingsSchema()) {
        if (entry.kind == config::SettingKind::Text) {
            converted.*entry.text = to.fromUtf8(from.toUtf8(settings.*entry.text));
        }
    }
    return converted;
}

// The settings file to write: `found` when the folder has one, else a new file.
fs::path writePath(const std::optional<fs::path>& found, const fs::path& programFolder) {
    return found ? *found : config::findIgnoringCase(programFolder, kNewSettingsFileName);
}

}  // namespace

SettingsDocument readSettingsDocument(const fs::path& programFolder) {
    SettingsDocument document;
    const fs::path path = config::findIgnoringCase(programFolder, kSettingsFileName);
    const config::FileReadResult file = config::readWholeFile(path);
    if (file.status != config::FileReadResult::Status::Missing) {
        document.path = path;  // written back to the same file, whatever its letter case
    }
    if (file.status == config::FileReadResult::Status::Failed) {
        document.unreadable = file.reason;
    }
    if (file.status != config::FileReadResult::Status::Ok) {
        return document;
    }
    document.content = file.content;
    document.codePage = config::CodePage::ofFile(file.content);
    config::SettingsReadResult read = config::readSettings(config::splitLines(file.content));
    document.settings = convertTexts(read.settings, document.codePage, config::CodePage::utf8());
    document.invalidIntegers = std::move(read.invalidIntegers);
    return document;
}

std::string unreadableMessage(const SettingsDocument& document) {
    const std::u8string path = document.path.value_or(fs::path()).u8string();
    return "Datei \"" + std::string(path.begin(), path.end()) +
           "\" kann nicht gelesen werden und bleibt unver\u00e4ndert. " + document.unreadable;
}

fs::path settingsWritePath(const SettingsDocument& document, const fs::path& programFolder) {
    return writePath(document.path, programFolder);
}

fs::path settingsWritePath(const fs::path& programFolder) {
    const fs::path found = config::findIgnoringCase(programFolder, kSettingsFileName);
    std::error_code error;
    const bool there = fs::symlink_status(found, error).type() != fs::file_type::not_found;
    return writePath(there ? std::optional<fs::path>(found) : std::nullopt, programFolder);
}

config::FileLock lockSettingsFile(const fs::path& programFolder) {
    return config::FileLock(settingsWritePath(programFolder));
}

void writeSettingsDocument(const SettingsDocument& document, const config::ServerSettings& settings,
                           const fs::path& programFolder, const config::FileLock& /*heldLock*/) {
    if (!document.unreadable.empty()) {
        throw config::FileError(unreadableMessage(document));
    }
    config::replaceFile(
        settingsWritePath(document, programFolder),
        config::writeSettings(convertTexts(settings, config::CodePage::utf8(), document.codePage)));
}

void writeChangedSettings(const SettingsDocument& document, const config::ServerSettings& before,
                          const config::ServerSettings& after, const fs::path& programFolder,
                          const config::FileLock& heldLock) {
    if (!document.unreadable.empty()) {
        throw config::FileError(unreadableMessage(document));
    }
    const SettingsDocument now = readSettingsDocument(programFolder);
    const bool changed = now.path && (now.path != document.path ||
                                      now.content != document.content || !now.unreadable.empty());
    if (!changed) {
        writeSettingsDocument(document, after, programFolder, heldLock);
        return;
    }
    writeSettingsDocument(now, config::withChanges(now.settings, before, after), programFolder,
                          heldLock);
}

std::optional<std::string> databaseDefault(const std::string& database,
                                           const std::string& imageFolder) {
    if (!database.empty()) {
        return std::nullopt;
    }
    return imageFolder;
}

void defaultDatabase(config::ServerSettings& settings) {
    if (auto database = databaseDefault(settings.database, settings.imageFolder)) {
        settings.database = std::move(*database);
    }
}

}  // namespace veltrona::server
