// The image folder's file system on Linux: statvfs, which counts inodes as well.
#include "ctl/SpaceLook.h"

#include <sys/statvfs.h>

#include <cerrno>

namespace veltrona::ctl {

FolderSpace fileSystemSpace(const std::filesystem::path& folder, std::error_code& error) {
    struct statvfs stats {};
    if (::statvfs(folder.c_str(), &stats) != 0) {
        error = std::error_code(errno, std::generic_category());
        return {};
    }
    error.clear();
    return {static_cast<std::uint64_t>(stats.f_blocks) * stats.f_frsize,
            static_cast<std::uint64_t>(stats.f_bavail) * stats.f_frsize,
            static_cast<std::uint64_t>(stats.f_files), static_cast<std::uint64_t>(stats.f_favail)};
}

}  // namespace veltrona::ctl
