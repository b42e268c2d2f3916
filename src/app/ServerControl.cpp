#include "ServerControl.h"

#include <utility>

#include "config/FileAccess.h"
#include "config/LaunchCommand.h"
#include "config/SettingsFile.h"
#include "config/TextLines.h"

namespace veltrona::app {

namespace fs = std::filesystem;

namespace {

// A path as the system's 8-bit functions read it. The narrow form of a path is UTF-8 with
// the standard library of the Windows build, whatever the system code page is.
std::string systemPathText(const fs::path& path, const config::CodePage& system) {
    if (system == config::CodePage::utf8()) {
        return path.string();
    }
    const std::u8string utf8 = path.u8string();
    return system.fromUtf8(std::string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string systemPathText(const fs::path& path) {
    return systemPathText(path, config::CodePage::system());
}

SettingsDocument readSettingsDocument(const fs::path& programFolder) {
    SettingsDocument document;
    const fs::path path = config::findIgnoringCase(programFolder, "Server.INI");
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
    document.codePage = config::CodePage::ofFile(file.content);
    config::SettingsReadResult read = config::readSettings(config::splitLines(file.content));
    document.settings = std::move(read.settings);
    document.invalidIntegers = std::move(read.invalidIntegers);
    return document;
}

std::string unreadableMessage(const SettingsDocument& document) {
    const std::u8string path = document.path.value_or(fs::path()).u8string();
    return "Datei \"" + std::string(path.begin(), path.end()) +
           "\" kann nicht gelesen werden und bleibt unver\u00e4ndert. " + document.unreadable;
}

fs::path settingsWritePath(const SettingsDocument& document, const fs::path& programFolder) {
    return document.path ? *document.path : config::findIgnoringCase(programFolder, "Server.ini");
}

fs::path settingsWritePath(const fs::path& programFolder) {
    const fs::path found = config::findIgnoringCase(programFolder, "Server.INI");
    std::error_code error;
    return fs::symlink_status(found, error).type() != fs::file_type::not_found
               ? found
               : config::findIgnoringCase(programFolder, "Server.ini");
}

config::FileLock lockSettingsFile(const fs::path& programFolder) {
    return config::FileLock(settingsWritePath(programFolder));
}

void writeSettingsDocument(const SettingsDocument& document, const config::ServerSettings& settings,
                           const fs::path& programFolder, const config::FileLock& /*heldLock*/) {
    if (!document.unreadable.empty()) {
        throw config::FileError(unreadableMessage(document));
    }
    config::replaceFile(settingsWritePath(document, programFolder),
                        config::writeSettings(settings));
}

config::ServerSettings convertTexts(const config::ServerSettings& settings,
                                    const config::CodePage& from, const config::CodePage& to) {
    if (from == to) {
        return settings;
    }
    const auto convert = [&](const std::string& text) { return to.fromUtf8(from.toUtf8(text)); };
    config::ServerSettings converted = settings;
    converted.aeTitle = convert(settings.aeTitle);
    converted.port = convert(settings.port);
    converted.imageFolder = convert(settings.imageFolder);
    converted.database = convert(settings.database);
    converted.parameters = convert(settings.parameters);
    return converted;
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

std::optional<fs::path> findSetupProfile(const fs::path& programFolder) {
    const fs::path path = config::findIgnoringCase(programFolder, "Setup.cfg");
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        return path;
    }
    return std::nullopt;
}

ServerLaunch makeServerLaunch(const config::ServerSettings& shown, bool verbose,
                              const fs::path& programFolder) {
    const config::CodePage system = config::CodePage::system();
    const auto encode = [&](const std::string& utf8) { return system.fromUtf8(utf8); };

    config::LaunchInput input;
    input.verbose = verbose;  // one reading decides both the head and the visibility
    input.dhcpFlag = config::dhcpFlag(shown);
    input.transferSyntax = shown.transferSyntax;
    if (const auto profile = findSetupProfile(programFolder)) {
        // The profile is named "setup.cfg" after the program folder. Where file names
        // keep their letter case and the file is spelt otherwise, its real name is used,
        // so the server can open it.
        std::error_code error;
        const fs::path spelt = programFolder / "setup.cfg";
        const bool sameFile = fs::equivalent(spelt, *profile, error);
        input.profilePath = systemPathText(
            programFolder / (sameFile ? fs::path("setup.cfg") : profile->filename()), system);
    }
    input.parameters = encode(shown.parameters);
    input.imageFolder = encode(shown.imageFolder);
    input.aeTitle = encode(shown.aeTitle);
    input.port = encode(shown.port);

    ServerLaunch launch;
    launch.program = programFolder / kServerExecutableName;
    launch.parameters = config::buildParameterString(input);
    launch.shown = verbose;
    return launch;
}

}  // namespace veltrona::app
