// The server's rights on its image folder are not judged on Windows: the service's account
// is given them by the installer.
#include "ctl/FolderAccess.h"

namespace veltrona::ctl {

std::optional<FolderWriteAccess> serverWriteAccess(const std::filesystem::path&,
                                                   const std::optional<process::ProcessEntry>&,
                                                   std::chrono::steady_clock::time_point) {
    return std::nullopt;
}

}  // namespace veltrona::ctl
