#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

// Where the Linux package installs the tool, and the account its server runs as. A test
// points them at a folder and an account of its own.
struct PackageLayout {
    std::filesystem::path folder;
    std::string account;
};
PackageLayout& packageLayout();

// The account the server of `programFolder` is started as: the package's account when
// this process runs as root and `programFolder` is the package's folder, so that root's
// `run` and `start` never run the server with root's privileges there. None (the
// caller's own account) everywhere else, and on Windows.
std::optional<std::string> serverAccount(const std::filesystem::path& programFolder);

// How the server of `programFolder` is launched where it runs as that account: keeping the
// capability to bind a port below 1024 only when its `Port` setting (UTF-8) names one.
std::optional<process::LaunchAccount> serverLaunchAccount(
    const std::filesystem::path& programFolder, const std::string& port);

}  // namespace veltrona::ctl
