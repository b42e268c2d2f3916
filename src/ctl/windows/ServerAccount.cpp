#include "ctl/ServerAccount.h"

namespace veltrona::ctl {

// The Windows service runs under an account of its own, chosen when it is installed.
std::optional<std::string> serverAccount(const std::filesystem::path&) {
    return std::nullopt;
}

}  // namespace veltrona::ctl
