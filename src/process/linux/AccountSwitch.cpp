#include "process/linux/AccountSwitch.h"

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "process/ProcessPlatform.h"

extern char** environ;

namespace veltrona::process {

namespace {

constexpr int kHighestCapability = 63;  // beyond what any kernel knows: drops are refused

// Sets the three capability sets to `bits` (of the first 32 capabilities, which holds
// CAP_NET_BIND_SERVICE); the raw call needs no library and is async-signal-safe.
int setCapabilities(unsigned bits) {
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    __user_cap_data_struct data[2]{};
    data[0].effective = data[0].permitted = data[0].inheritable = bits;
    return ::syscall(SYS_capset, &header, data) == 0 ? 0 : errno;
}

int fail(const char** step, const char* name) {
    *step = name;
    return errno;
}

}  // namespace

AccountIds lookUpAccount(const std::string& name) {
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    int error;
    while ((error = ::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) ==
               ERANGE &&
           buffer.size() < (1U << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr) {
        throw LaunchError("the account \"" + name + "\" that the server runs as " +
                          (error != 0 ? std::string("cannot be looked up: ") + std::strerror(error)
                                      : std::string("does not exist")) +
                          "; the server is not started as root");
    }
    if (found->pw_uid == 0) {
        throw LaunchError("the account \"" + name +
                          "\" that the server runs as is root's; the server is not started "
                          "with root's privileges");
    }
    AccountIds account{found->pw_name, found->pw_uid, found->pw_gid, {}, found->pw_dir};
    int count = 32;
    for (;;) {
        account.groups.resize(static_cast<std::size_t>(count));
        const int wanted = count;
        if (::getgrouplist(account.name.c_str(), account.gid, account.groups.data(), &count) >= 0) {
            account.groups.resize(static_cast<std::size_t>(count));
            break;
        }
        if (count <= wanted) {
            count = wanted * 2;
        }
    }
    return account;
}

std::vector<std::string> accountEnvironment(const AccountIds& account) {
    std::vector<std::string> variables;
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable) {
        const std::string_view text(*variable);
        if (!text.starts_with("HOME=") && !text.starts_with("USER=") &&
            !text.starts_with("LOGNAME=")) {
            variables.emplace_back(text);
        }
    }
    variables.push_back("HOME=" + account.home);
    variables.push_back("USER=" + account.name);
    variables.push_back("LOGNAME=" + account.name);
    return variables;
}

int becomeAccount(const AccountIds& account, KeptCapability kept, const char** step) {
    const bool bind = kept == KeptCapability::BindService;
    // While still root: a bounding set with no other capability, so that not even a
    // set-user-ID program can hand more back.
    for (int capability = 0; capability <= kHighestCapability; ++capability) {
        if (!bind || capability != CAP_NET_BIND_SERVICE) {
            ::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);  // EINVAL past the last one
        }
    }
    if (bind && ::prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0) {
        return fail(step, "prctl(PR_SET_KEEPCAPS)");
    }
    if (::setgroups(account.groups.size(), account.groups.data()) != 0) {
        return fail(step, "setgroups");
    }
    if (::setresgid(account.gid, account.gid, account.gid) != 0) {
        return fail(step, "setresgid");
    }
    if (::setresuid(account.uid, account.uid, account.uid) != 0) {
        return fail(step, "setresuid");
    }
    const unsigned bits = bind ? 1U << CAP_NET_BIND_SERVICE : 0;
    if (const int error = setCapabilities(bits); error != 0) {
        *step = "capset";
        return error;
    }
    if (bind && ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_NET_BIND_SERVICE, 0, 0) != 0) {
        return fail(step, "prctl(PR_CAP_AMBIENT_RAISE)");
    }
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return fail(step, "prctl(PR_SET_NO_NEW_PRIVS)");
    }
    return 0;
}

int dropCapabilities(const char** step) {
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) {
        return fail(step, "prctl(PR_CAP_AMBIENT_CLEAR_ALL)");
    }
    if (const int error = setCapabilities(0); error != 0) {
        *step = "capset";
        return error;
    }
    return 0;
}

}  // namespace veltrona::process
