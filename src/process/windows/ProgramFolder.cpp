#include "process/ProgramFolder.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace veltrona::process {

std::filesystem::path programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw std::runtime_error("cannot find the program folder: GetModuleFileNameW: error " +
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

}  // namespace veltrona::process
