#include "ServerAccount.h"

#include "ShownSettings.h"

namespace veltrona::ctl {

PackageLayout& packageLayout() {
    static PackageLayout layout{VELTRONA_PACKAGE_FOLDER, VELTRONA_SERVER_ACCOUNT};
    return layout;
}

std::optional<process::LaunchAccount> serverLaunchAccount(
    const std::filesystem::path& programFolder, const std::string& port) {
    std::optional<std::string> account = serverAccount(programFolder);
    if (!account) {
        return std::nullopt;
    }
    const std::optional<std::uint16_t> number = portNumber(port);
    return process::LaunchAccount{std::move(*account), number && *number < 1024};
}

}  // namespace veltrona::ctl
