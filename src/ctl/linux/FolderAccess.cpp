// The server's rights on a folder on Linux. The kernel itself answers, in a child (which
// ends at the check's deadline, should a file system not answer), with the server's user
// and groups: the child takes them where this process is root, has them where they are
// this process's own, and otherwise judges for this process's user. The way to the folder
// starts at the server's root (/proc/PID/root) where this process may open it, so the
// server's mount namespace counts (a folder mounted read-only for it); the kernel opens
// that root to the server's own account only while the account holds every capability the
// server holds, as it opens the server's other /proc entries.
#include "ctl/FolderAccess.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "ctl/CtlOutput.h"

namespace veltrona::ctl {

namespace {

namespace fs = std::filesystem;

struct Identity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;  // sorted

    bool operator==(const Identity&) const = default;
};

Identity ownIdentity() {
    Identity own{::geteuid(), ::getegid(), {}};
    const int count = ::getgroups(0, nullptr);
    own.groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    own.groups.resize(static_cast<std::size_t>(
        std::max(::getgroups(static_cast<int>(own.groups.size()), own.groups.data()), 0)));
    std::sort(own.groups.begin(), own.groups.end());
    return own;
}

// The effective user and group of a process and its groups, from /proc/PID/status.
std::optional<Identity> identityOf(process::ProcessId id) {
    std::ifstream status("/proc/" + std::to_string(id) + "/status");
    Identity found;
    int seen = 0;
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string key;
        unsigned long real = 0;
        unsigned long effective = 0;
        fields >> key;
        if ((key == "Uid:" || key == "Gid:") && fields >> real >> effective) {
            (key == "Uid:" ? found.uid : found.gid) = static_cast<uid_t>(effective);
            ++seen;
        } else if (key == "Groups:") {
            for (unsigned long group = 0; fields >> group;) {
                found.groups.push_back(static_cast<gid_t>(group));
            }
            ++seen;
        }
    }
    if (seen != 3) {
        return std::nullopt;  // it ended meanwhile
    }
    std::sort(found.groups.begin(), found.groups.end());
    return found;
}

// The folder, then each folder above it: the places to judge, nearest first, as paths
// from the root ("." for the root itself).
std::vector<std::string> candidates(const fs::path& folder) {
    fs::path at = fs::absolute(folder).lexically_normal();
    if (!at.has_filename()) {
        at = at.parent_path();  // "/a/b/" names "/a/b"
    }
    std::vector<std::string> places;
    for (;; at = at.parent_path()) {
        const fs::path relative = at.relative_path();
        places.push_back(relative.empty() ? "." : relative.string());
        if (relative.empty()) {
            return places;
        }
    }
}

struct Verdict {
    int error = 0;       // 0: writable
    std::size_t at = 0;  // which of the candidates exists
};

// Finds the nearest place that exists and asks the kernel whether the caller may write
// and search it. System calls only, so that a child forked from this (threaded) process
// may run it.
Verdict judge(int root, const std::vector<std::string>& places) {
    for (std::size_t i = 0; i < places.size(); ++i) {
        open_how how{};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_IN_ROOT;  // absolute links, too, lead into that root
        const int fd =
            static_cast<int>(::syscall(SYS_openat2, root, places[i].c_str(), &how, sizeof how));
        if (fd < 0 && errno == ENOENT) {
            continue;
        }
        if (fd < 0) {
            return {errno, i};
        }
        const int result = ::faccessat(fd, "", W_OK | X_OK, AT_EACCESS | AT_EMPTY_PATH);
        const int error = result == 0 ? 0 : errno;
        ::close(fd);
        return {error, i};
    }
    return {ENOENT, places.size() - 1};
}

// `judge` in a child, so that a look that hangs (a file system that does not answer) ends
// at the deadline; with `who`, the child first takes that user and groups and with them
// drops every privilege. None when the child did not tell in time.
std::optional<Verdict> judgeInChild(const Identity* who, int root,
                                    const std::vector<std::string>& places,
                                    std::chrono::steady_clock::time_point deadline) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // The raw calls change this thread alone, which is all the child has.
        Verdict verdict{EPERM, 0};
        if (who == nullptr ||
            (::syscall(SYS_setgroups, who->groups.size(), who->groups.data()) == 0 &&
             ::syscall(SYS_setresgid, who->gid, who->gid, who->gid) == 0 &&
             ::syscall(SYS_setresuid, who->uid, who->uid, who->uid) == 0)) {
            verdict = judge(root, places);
        }
        const ssize_t ignored = ::write(channel[1], &verdict, sizeof verdict);
        static_cast<void>(ignored);
        ::_exit(0);
    }
    ::close(channel[1]);
    Verdict verdict;
    bool told = false;
    if (child > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd answer{channel[0], POLLIN, 0};
        told = ::poll(&answer, 1, static_cast<int>(std::max<long long>(left.count(), 0))) == 1 &&
               ::read(channel[0], &verdict, sizeof verdict) == sizeof verdict;
        if (!told) {
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    ::close(channel[0]);
    return told ? std::optional(verdict) : std::nullopt;
}

}  // namespace

std::optional<FolderWriteAccess> serverWriteAccess(
    const fs::path& folder, const std::optional<process::ProcessEntry>& server,
    std::chrono::steady_clock::time_point deadline) {
    const Identity own = ownIdentity();
    const std::optional<Identity> theirs = server ? identityOf(server->id) : std::nullopt;
    const bool asServer = theirs && (*theirs == own || own.uid == 0);
    const Identity& who = asServer ? *theirs : own;

    // The server's root where this process may open it, else its own.
    int root = server ? ::open(("/proc/" + std::to_string(server->id) + "/root").c_str(),
                               O_PATH | O_DIRECTORY | O_CLOEXEC)
                      : -1;
    if (root < 0) {
        root = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    const std::vector<std::string> places = candidates(folder);
    const std::optional<Verdict> told =
        judgeInChild(who == own ? nullptr : &who, root, places, deadline);
    ::close(root);
    if (!told) {
        return std::nullopt;
    }
    const Verdict verdict = *told;
    const std::string& place = places[verdict.at];
    const fs::path judged = verdict.at == 0 ? folder : fs::path(place == "." ? "/" : "/" + place);
    FolderWriteAccess access;
    access.writable = verdict.error == 0;
    access.judged = jsonPath(judged);
    access.who = asServer ? "the server (process " + std::to_string(server->id) + ", uid " +
                                std::to_string(who.uid) + ")"
                          : "this user (uid " + std::to_string(who.uid) + ")";
    if (verdict.error != 0) {
        access.reason = jsonText(std::error_code(verdict.error, std::generic_category()).message());
    }
    return access;
}

}  // namespace veltrona::ctl
