#include "process/ProgramFolder.h"

#include <stdexcept>
#include <system_error>

namespace veltrona::process {

std::filesystem::path programFolder() {
    // The kernel's link to the executable names its real path, links resolved.
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        throw std::runtime_error("cannot find the program folder: /proc/self/exe: " +
                                 error.message());
    }
    return self.parent_path() / "";
}

}  // namespace veltrona::process
