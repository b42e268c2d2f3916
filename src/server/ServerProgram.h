#pragma once

namespace veltrona::server {

// The server's program in the program folder, by the name it is detected, started and
// stopped by.
inline constexpr const char* kServerExecutableName = "ZarvoServer.exe";

// The server's settings file in the program folder, found in any letter case.
inline constexpr const char* kSettingsFileName = "Server.INI";
// The name the settings file is created with where none is there yet.
inline constexpr const char* kNewSettingsFileName = "Server.ini";

}  // namespace veltrona::server
