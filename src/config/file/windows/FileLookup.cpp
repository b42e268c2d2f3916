// File names on Windows: the file system itself ignores letter case.
#include <windows.h>

#include "config/file/FileAccess.h"

namespace veltrona::config {

// The last component is spelt as the file on disk is, when there is one: a file replaced
// under another spelling of its name would otherwise take that spelling.
std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name) {
    // "../Custom.ini" names the file with the system's own separators, as messages show it.
    std::filesystem::path path =
        (folder / std::filesystem::path(std::string(name))).make_preferred();
    const std::wstring last = path.filename().wstring();
    if (last.empty() || last == L"." || last == L".." ||
        last.find_first_of(L"*?") != std::wstring::npos) {
        return path;
    }
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return path;
    }
    FindClose(search);
    if (_wcsicmp(found.cFileName, last.c_str()) == 0) {
        path.replace_filename(found.cFileName);
    }
    return path;
}

}  // namespace veltrona::config
