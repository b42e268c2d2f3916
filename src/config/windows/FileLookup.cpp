// File names on Windows: the file system itself ignores letter case.
#include "config/FileAccess.h"

namespace veltrona::config {

std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name) {
    return folder / std::filesystem::path(std::string(name));
}

}  // namespace veltrona::config
