#include "process/ProgramFolder.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace veltrona::process {

std::filesystem::path programPath(std::error_code& error) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            error.assign(static_cast<int>(GetLastError()), std::system_category());
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            error.clear();
            return path;
        }
        path.resize(path.size() * 2);  // cut off: ask again with more room
    }
}

std::filesystem::path programFolder() {
    std::error_code error;
    const std::filesystem::path self = programPath(error);
    if (error) {
        throw std::runtime_error("cannot find the program folder: GetModuleFileNameW: error " +
                                 std::to_string(error.value()));
    }
    return self.parent_path() / "";
}

}  // namespace veltrona::process
