#include <unistd.h>

#include "ctl/ServerAccount.h"

namespace veltrona::ctl {

std::optional<std::string> serverAccount(const std::filesystem::path& programFolder) {
    std::error_code error;
    const PackageLayout& layout = packageLayout();
    if (::geteuid() != 0 || !std::filesystem::equivalent(programFolder, layout.folder, error)) {
        return std::nullopt;
    }
    return layout.account;
}

}  // namespace veltrona::ctl
