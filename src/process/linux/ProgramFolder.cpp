#include "process/ProgramFolder.h"

#include <stdexcept>
#include <system_error>

namespace veltrona::process {

std::filesystem::path programPath(std::error_code& error) {
    // The kernel's link to the executable names its real path, links resolved.
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::filesystem::path programFolder() {
    std::error_code error;
    const std::filesystem::path self = programPath(error);
    if (error) {
        throw std::runtime_error("cannot find the program folder: /proc/self/exe: " +
                                 error.message());
    }
    return self.parent_path() / "";
}

}  // namespace veltrona::process
