#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace veltrona::testing {

// Runs a program as another local user, as an ordinary account would meet the tool:
// setpriv changes the real and effective ids and drops every supplementary group but the
// ones given. Only root can do that, so the tests that need it skip otherwise.
inline const std::filesystem::path kSetpriv = "/usr/bin/setpriv";

// "nobody": in no group of ours and owning nothing on the machine.
inline constexpr uid_t kOtherUid = 65534;
inline constexpr gid_t kOtherGid = 65534;

inline bool canActAsOtherUser() {
    return ::geteuid() == 0 && std::filesystem::exists(kSetpriv);
}

// The setpriv arguments that run `program` with `arguments` as `uid`/`gid`, members of
// `groups` as well.
inline std::vector<std::string> asOtherUser(const std::filesystem::path& program,
                                            const std::vector<std::string>& arguments,
                                            uid_t uid = kOtherUid, gid_t gid = kOtherGid,
                                            const std::vector<gid_t>& groups = {}) {
    std::vector<std::string> argv = {"--reuid=" + std::to_string(uid),
                                     "--regid=" + std::to_string(gid)};
    if (groups.empty()) {
        argv.push_back("--clear-groups");
    } else {
        std::string list;
        for (const gid_t group : groups) {
            list += (list.empty() ? "" : ",") + std::to_string(group);
        }
        argv.push_back("--groups=" + list);
    }
    argv.push_back("--");
    argv.push_back(program.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

}  // namespace veltrona::testing

// Skips the test where it cannot act as another user (the suite does not run as root).
#define VELTRONA_NEEDS_OTHER_USER()                                                        \
    if (!::veltrona::testing::canActAsOtherUser())                                         \
    GTEST_SKIP() << "needs root and setpriv to act as an ordinary user; run the suite as " \
                    "root to check this"
