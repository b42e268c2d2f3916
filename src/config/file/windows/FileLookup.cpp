// File names on Windows: the file system itself ignores letter case.
#include "config/file/FileAccess.h"

namespace veltrona::config {

std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name) {
    // "../Custom.ini" names the file with the system's own separators, as messages show it.
    return (folder / std::filesystem::path(std::string(name))).make_preferred();
}

}  // namespace veltrona::config
