#pragma once

#include <filesystem>
#include <optional>
#include <string>

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

}  // namespace veltrona::ctl
