#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

#include "HealthVerdict.h"
#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

// Whether the server may write into `folder` and make files and folders in it (while the
// folder is missing, whether it may make it in the nearest folder on its way that
// exists). Judged as the running `server` sees it where this process can tell: its own
// view of the files (its mount namespace and root, so a folder mounted read-only for it
// counts) and its user and groups. Otherwise, as far as it cannot, for this process's own
// user in its own view. None where the platform cannot tell at all, or no answer came
// before `deadline`.
std::optional<FolderWriteAccess> serverWriteAccess(
    const std::filesystem::path& folder, const std::optional<process::ProcessEntry>& server,
    std::chrono::steady_clock::time_point deadline);

}  // namespace veltrona::ctl
