#pragma once

#include <chrono>
#include <filesystem>

#include "HealthVerdict.h"

namespace veltrona::ctl {

// Adds up the regular files under `folder` (the folder itself may be reached through a
// link), until `deadline`. Links inside the tree are not followed, so the walk never
// leaves it; where the system tells hard links apart while listing (Linux), a file with
// several names counts once. A subfolder that cannot be
// read leaves the walk incomplete with the reason, and the rest is still walked. Never
// throws for what it finds on disk. One implementation per OS.
FolderWalk walkFolder(const std::filesystem::path& folder,
                      std::chrono::steady_clock::time_point deadline);

}  // namespace veltrona::ctl
