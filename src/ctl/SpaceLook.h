#pragma once

#include <filesystem>
#include <system_error>

#include "HealthVerdict.h"

namespace veltrona::ctl {

// The space and the inodes of the file system that holds `folder`, as the server, an
// unprivileged user, may use them. A file system that counts no inodes (or a system that
// has none) gives 0 inodes. On failure sets `error` and gives nothing.
FolderSpace fileSystemSpace(const std::filesystem::path& folder, std::error_code& error);

}  // namespace veltrona::ctl
