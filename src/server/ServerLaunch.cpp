#include "ServerLaunch.h"

#include "ServerProgram.h"
#include "config/file/FileAccess.h"
#include "config/settings/LaunchCommand.h"
#include "config/text/CodePage.h"

namespace veltrona::server {

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
    // One reading of `verbose` decides both the head and the visibility.
    config::LaunchInput input{shown, verbose, std::nullopt, system};
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

    ServerLaunch launch;
    launch.program = programFolder / kServerExecutableName;
    launch.parameters = config::buildParameterString(input);
    launch.shown = verbose;
    return launch;
}

}  // namespace veltrona::server
