#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "config/settings/ServerSettings.h"

namespace veltrona::server {

// How the server is started: the program folder's "ZarvoServer.exe" with the parameter
// string, shown in verbose mode and hidden otherwise.
struct ServerLaunch {
    std::filesystem::path program;
    std::string parameters;  // in the system code page
    bool shown = false;
};

// "Setup.cfg" (any letter case) in the program folder, when it is a regular file.
std::optional<std::filesystem::path> findSetupProfile(const std::filesystem::path& programFolder);

// A path as the system code page spells it, for a command line and for messages; a
// character that code page lacks becomes what the system makes of it.
std::string systemPathText(const std::filesystem::path& path);

// The launch from settings whose texts are UTF-8, as the window shows them; the server
// profile, when the program folder has one, replaces the transfer syntax.
ServerLaunch makeServerLaunch(const config::ServerSettings& shown, bool verbose,
                              const std::filesystem::path& programFolder);

}  // namespace veltrona::server
