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

// The settings with every text turned by `convert`, the file's bytes into UTF-8 or back;
// numbers, flags, the choice and the password are taken as they are. Walks the two
// schemas, which are one list entry for entry, so that a text entry added to it is
// converted with the others.
template <typename To, typename From, typename Convert>
To convertTexts(const From& from, Convert convert) {
    To to;
    const auto fromEntries = config::settingsSchema<From>();
    const auto toEntries = config::settingsSchema<To>();
    for (std::size_t i = 0; i < fromEntries.size(); ++i) {
        const config::BasicSettingEntry<From>& source = fromEntries[i];
        const config::BasicSettingEntry<To>& target = toEntries[i];
        switch (source.kind) {
            case config::SettingKind::Text:
                to.*target.text = convert(from.*source.text);
                break;
            case config::SettingKind::Password:
                to.*target.password = from.*source.password;
                break;
            case config::SettingKind::OptionalInteger:
                to.*target.flag = from.*source.flag;
                to.*target.integer = from.*source.integer;
                break;
            case config::SettingKind::Integer:
                to.*target.integer = from.*source.integer;
                break;
            case config::SettingKind::Flag:
                to.*target.flag = from.*source.flag;
                break;
            case config::SettingKind::Choice:
                to.transferSyntax = from.transferSyntax;
                break;
        }
    }
    return to;
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
    if (file.status == config::FileReadResult::Status::TooBig) {
        document.tooBig = true;
        document.unreadable = "Sie ist gr\u00f6\u00dfer als " + std::string(config::kReadLimitText);
    }
    if (file.status != config::FileReadResult::Status::Ok) {
        return document;
    }
    document.content = file.content;
    document.codePage = config::CodePage::ofFile(file.content);
    const config::CodePage& codePage = document.codePage;
    const config::SettingsReadResult read = config::readSettings(config::splitLines(file.content));
    document.settings = convertTexts<config::ServerSettings>(
        read.settings, [&codePage](const config::FileText& text) {
            // A UTF-8 file's texts stay as they are, bytes that are no UTF-8 included, so
            // that they come back unchanged.
            return codePage == config::CodePage::utf8() ? text.bytes : codePage.toUtf8(text.bytes);
        });
    for (const config::FileInvalidInteger& invalid : read.invalidIntegers) {
        document.invalidIntegers.push_back({invalid.key, codePage.toUtf8(invalid.value.bytes),
                                            codePage.toUtf8(invalid.line.bytes)});
    }
    return document;
}

config::FileError unreadableError(const SettingsDocument& document) {
    return config::FileError(config::FileAction::Read, document.path.value_or(fs::path()),
                             document.unreadable);
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
        throw unreadableError(document);
    }
    config::replaceFile(settingsWritePath(document, programFolder),
                        settingsDocumentBytes(document, settings));
}

std::string settingsDocumentBytes(const SettingsDocument& document,
                                  const config::ServerSettings& settings) {
    const config::CodePage& codePage = document.codePage;
    const auto toFile = [&codePage](const std::string& utf8) {
        return config::FileText{codePage == config::CodePage::utf8() ? utf8
                                                                     : codePage.fromUtf8(utf8)};
    };
    return config::writeSettings(convertTexts<config::FileSettings>(settings, toFile));
}

void writeChangedSettings(const SettingsDocument& document, const config::ServerSettings& before,
                          const config::ServerSettings& after, const fs::path& programFolder,
                          const config::FileLock& heldLock) {
    if (!document.unreadable.empty()) {
        throw unreadableError(document);
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
