#include <windows.h>

#include <stdexcept>
#include <string>

#include "ctl/CtlPlatform.h"

namespace veltrona::ctl {

std::filesystem::path executableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw std::runtime_error("cannot find the program folder: error " +
                                     std::to_string(GetLastError()));
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut off: ask again with more room
    }
    return std::filesystem::path(path).parent_path() / "";
}

// The shell starts the server and hands back no process: its end cannot be learnt here.
LaunchWatch::LaunchWatch() = default;

std::optional<std::string> LaunchWatch::ended() {
    return std::nullopt;
}

}  // namespace veltrona::ctl
