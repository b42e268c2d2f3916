// The image folder's file system on Windows, which has no inodes to run out of.
#include "ctl/SpaceLook.h"

namespace veltrona::ctl {

FolderSpace fileSystemSpace(const std::filesystem::path& folder, std::error_code& error) {
    const std::filesystem::space_info space = std::filesystem::space(folder, error);
    if (error) {
        return {};
    }
    return {space.capacity, space.available, 0, 0};
}

}  // namespace veltrona::ctl
