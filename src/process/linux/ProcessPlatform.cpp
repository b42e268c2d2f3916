#include "LinuxProcessPlatform.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>

namespace veltrona::process {

namespace {

constexpr std::string_view deletedSuffix = " (deleted)";

// Closes a descriptor on every way out of a scope.
class FdGuard {
  public:
    explicit FdGuard(int fd) : fd_(fd) {}
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    ~FdGuard() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

bool isDecimal(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') {
            return false;
        }
    }
    return true;
}

// "N/exe" for readlinkat relative to /proc; `out` must hold at least 16 bytes.
void exeLinkName(ProcessId id, char* out) {
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + id % 10);
        id /= 10;
    } while (id != 0);
    while (count > 0) {
        *out++ = digits[--count];
    }
    std::memcpy(out, "/exe", 5);
}

// The kernel marks the link of an executable that was deleted or replaced after the
// start with a suffix; the process still runs that program, so the suffix is dropped
// unless a file of that very name exists (the program's real name then has the suffix).
std::string_view withoutDeletedMark(std::string_view target) {
    if (target.size() <= deletedSuffix.size() || !target.ends_with(deletedSuffix)) {
        return target;
    }
    char path[PATH_MAX];
    if (target.size() >= sizeof path) {
        return target;
    }
    std::memcpy(path, target.data(), target.size());
    path[target.size()] = '\0';
    struct stat info;
    if (::fstatat(AT_FDCWD, path, &info, AT_SYMLINK_NOFOLLOW) == 0) {
        return target;
    }
    return target.substr(0, target.size() - deletedSuffix.size());
}

// Reads the executable link of process `id` into `buffer`; returns false with errno set
// when it cannot be read (process gone, kernel thread, zombie, no rights). Paths longer
// than the buffer are read into `overflow` instead, which the result then points into.
bool readExecutable(int procFd, ProcessId id, char (&buffer)[PATH_MAX], std::string& overflow,
                    std::string_view& result) {
    char link[24];
    exeLinkName(id, link);
    ssize_t length = ::readlinkat(procFd, link, buffer, sizeof buffer);
    if (length < 0) {
        return false;
    }
    if (static_cast<std::size_t>(length) < sizeof buffer) {
        result = withoutDeletedMark(std::string_view(buffer, static_cast<std::size_t>(length)));
        return true;
    }
    // Longer than PATH_MAX: rare enough that the heap may serve it.
    overflow.resize(2 * sizeof buffer);
    for (;;) {
        length = ::readlinkat(procFd, link, overflow.data(), overflow.size());
        if (length < 0) {
            return false;
        }
        if (static_cast<std::size_t>(length) < overflow.size()) {
            break;
        }
        overflow.resize(overflow.size() * 2);
    }
    overflow.resize(static_cast<std::size_t>(length));
    result = withoutDeletedMark(overflow);
    return true;
}

// The kernel's short command name of process `id` (/proc/PID/comm), which any user may
// read; empty when it cannot be read.
std::string shortName(int procFd, const char* id) {
    char path[32];
    if (std::snprintf(path, sizeof path, "%s/comm", id) >= static_cast<int>(sizeof path)) {
        return {};  // no process identifier is that long
    }
    const FdGuard file(::openat(procFd, path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return {};
    }
    char name[64];
    const ssize_t length = ::read(file.get(), name, sizeof name);
    if (length <= 0) {
        return {};
    }
    std::string_view text(name, static_cast<std::size_t>(length));
    if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

int openProc() {
    return ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The names of the owners of the processes of one listing: most belong to a few accounts,
// so each is looked up once. An account without a name is its number.
class UserNames {
  public:
    // The owner of process `id` (the owner of its /proc folder); empty when it is gone.
    const std::string& ownerOf(int procFd, const char* id) {
        static const std::string unknown;
        struct stat info;
        if (::fstatat(procFd, id, &info, 0) != 0) {
            return unknown;
        }
        for (const auto& [uid, name] : names_) {
            if (uid == info.st_uid) {
                return name;
            }
        }
        return names_.emplace_back(info.st_uid, nameOf(info.st_uid)).second;
    }

  private:
    static std::string nameOf(uid_t uid) {
        std::vector<char> buffer(4096);
        struct passwd entry;
        struct passwd* found = nullptr;
        while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
               buffer.size() < (1U << 20)) {
            buffer.resize(buffer.size() * 2);
        }
        return found != nullptr ? std::string(found->pw_name) : std::to_string(uid);
    }

    std::vector<std::pair<uid_t, std::string>> names_;
};

// Every process of /proc; with `withUsers` each entry names its owner.
ProcessListing listProc(bool withUsers) {
    ProcessListing listing;
    std::vector<ProcessEntry>& entries = listing.entries;
    const FdGuard proc(openProc());
    if (proc.get() < 0) {
        return listing;
    }
    UserNames users;
    // getdents64 straight into a stack buffer: opendir would allocate on every poll.
    alignas(dirent64) char records[16384];
    char target[PATH_MAX];
    std::string overflow;
    for (;;) {
        const ssize_t filled = ::getdents64(proc.get(), records, sizeof records);
        if (filled <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < filled;) {
            const auto* record = reinterpret_cast<const dirent64*>(records + offset);
            offset += record->d_reclen;
            if (record->d_type != DT_DIR && record->d_type != DT_UNKNOWN) {
                continue;
            }
            if (!isDecimal(record->d_name)) {
                continue;
            }
            const unsigned long id = std::strtoul(record->d_name, nullptr, 10);
            if (id == 0 || id > 0xFFFFFFFFUL) {
                continue;
            }
            std::string_view executable;
            ProcessEntry* added = nullptr;
            if (readExecutable(proc.get(), static_cast<ProcessId>(id), target, overflow,
                               executable)) {
                added = &entries.emplace_back(
                    ProcessEntry{static_cast<ProcessId>(id), std::string(executable), {}});
            } else if (errno == EACCES || errno == EPERM) {
                // ENOENT (gone, zombie, kernel thread) and ESRCH are no refusal.
                added = &listing.uninspected.emplace_back(ProcessEntry{
                    static_cast<ProcessId>(id), shortName(proc.get(), record->d_name), {}});
            }
            if (added != nullptr && withUsers) {
                added->user = users.ownerOf(proc.get(), record->d_name);
            }
        }
    }
    return listing;
}

// Whether process `id` still runs the program `executable` names. Identity check before
// a signal: Vanished when it ended or runs something else, Refused when it cannot be read
// for lack of rights; Terminated stands for "yes, it is that program".
TerminateResult checkStillRuns(ProcessId id, const std::string& executable) {
    const FdGuard proc(openProc());
    if (proc.get() < 0) {
        return TerminateResult::Refused;
    }
    char buffer[PATH_MAX];
    std::string overflow;
    std::string_view current;
    if (!readExecutable(proc.get(), id, buffer, overflow, current)) {
        return errno == EACCES || errno == EPERM ? TerminateResult::Refused
                                                 : TerminateResult::Vanished;
    }
    return current == executable ? TerminateResult::Terminated : TerminateResult::Vanished;
}

// A small file of /proc (stat, status) of `id`, whole; empty when it cannot be read.
std::string procText(int procFd, ProcessId id, const char* name) {
    char path[40];
    std::snprintf(path, sizeof path, "%u/%s", id, name);
    const FdGuard file(::openat(procFd, path, O_RDONLY | O_CLOEXEC));
    char text[4096];
    const ssize_t length = file.get() < 0 ? -1 : ::read(file.get(), text, sizeof text);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

// Tells the parent of process `id` that the process is about to be ended on purpose, when
// that parent is VeltronaCtl's `run` waiting for it: a stop, which `run` reports as such,
// not a crash to restart. `run` catches the announcement (SIGUSR1 with the identifier); a
// parent that is not VeltronaCtl, or does not catch that signal, gets nothing.
void announceStop(ProcessId id) {
    const FdGuard proc(openProc());
    // "pid (comm) state ppid ...": the name may hold anything, so read after its last ')'.
    const std::string stat = procText(proc.get(), id, "stat");
    const std::size_t nameEnd = stat.rfind(')');
    char state = 0;
    unsigned parent = 0;
    if (nameEnd == std::string::npos ||
        std::sscanf(stat.c_str() + nameEnd + 1, " %c %u", &state, &parent) != 2 || parent <= 1) {
        return;
    }
    char buffer[PATH_MAX];
    std::string overflow;
    std::string_view executable;
    if (!readExecutable(proc.get(), parent, buffer, overflow, executable) ||
        executable.substr(executable.rfind('/') + 1) != "VeltronaCtl") {
        return;
    }
    const std::string status = procText(proc.get(), parent, "status");
    const std::size_t caught = status.find("\nSigCgt:");
    if (caught == std::string::npos ||
        ((std::strtoull(status.c_str() + caught + 8, nullptr, 16) >> (SIGUSR1 - 1)) & 1) == 0) {
        return;
    }
    union sigval value {};
    value.sival_int = static_cast<int>(id);
    ::sigqueue(static_cast<pid_t>(parent), SIGUSR1, value);
}

TerminateResult signalResult(int error) {
    return error == ESRCH ? TerminateResult::Vanished : TerminateResult::Refused;
}

// Sends `signal` to the process `entry` names once it is known to still run that program,
// announcing the stop to a waiting `run` first. Where the kernel has pidfds, the one that
// pins the process is left in `pidfd` for the caller to wait on and close; else -1.
TerminateResult sendChecked(const ProcessEntry& entry, int signal,
                            LinuxProcessPlatform::TerminateMethod& method, int& pidfd) {
    using Method = LinuxProcessPlatform::TerminateMethod;
    pidfd = -1;
    if (entry.id == 0 || entry.id > static_cast<ProcessId>(INT_MAX)) {
        return TerminateResult::Vanished;
    }
    const auto pid = static_cast<pid_t>(entry.id);
    if (method == Method::Pidfd) {
        FdGuard holder(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0U)));
        if (holder.get() >= 0) {
            // The pidfd pins the process that holds the identifier now: if it ends and the
            // identifier is reused before the check below, the signal finds it gone.
            if (const auto check = checkStillRuns(entry.id, entry.executable);
                check != TerminateResult::Terminated) {
                return check;
            }
            announceStop(entry.id);
            if (::syscall(SYS_pidfd_send_signal, holder.get(), signal, nullptr, 0U) != 0) {
                return signalResult(errno);
            }
            pidfd = holder.release();
            return TerminateResult::Terminated;
        }
        if (errno != ENOSYS) {
            // EINVAL: the identifier now names a thread, not a process.
            return errno == ESRCH || errno == EINVAL ? TerminateResult::Vanished
                                                     : TerminateResult::Refused;
        }
        method = Method::Kill;
    }
    if (const auto check = checkStillRuns(entry.id, entry.executable);
        check != TerminateResult::Terminated) {
        return check;
    }
    announceStop(entry.id);
    return ::kill(pid, signal) == 0 ? TerminateResult::Terminated : signalResult(errno);
}

// Whether the process behind `pidfd` ends within `limit`.
bool endsWithin(int pidfd, std::chrono::steady_clock::duration limit) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + limit;
    for (;;) {
        const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
        pollfd ended{pidfd, POLLIN, 0};
        const int ready =
            ::poll(&ended, 1, static_cast<int>(std::clamp<long long>(left, 0, INT_MAX)));
        if (ready != 0 || left <= 0) {
            return ready > 0 || (ready < 0 && errno != EINTR);
        }
    }
}

}  // namespace

LinuxProcessPlatform::LinuxProcessPlatform(TerminateMethod method) : method_(method) {}

PathSyntax LinuxProcessPlatform::pathSyntax() const {
    return PathSyntax::Posix;
}

std::vector<ProcessEntry> LinuxProcessPlatform::listProcesses() {
    // The window's poll, once a second: no owner is looked up.
    return listProc(false).entries;
}

ProcessListing LinuxProcessPlatform::inspectProcesses() {
    return listProc(true);
}

TerminateResult LinuxProcessPlatform::terminate(const ProcessEntry& entry) {
    int pidfd = -1;
    const TerminateResult result = sendChecked(entry, SIGKILL, method_, pidfd);
    const FdGuard holder(pidfd);
    return result;
}

GracefulTermination LinuxProcessPlatform::terminateGracefully(const ProcessEntry& entry,
                                                              std::chrono::milliseconds grace) {
    int pidfd = -1;
    const TerminateResult asked = sendChecked(entry, SIGTERM, method_, pidfd);
    const FdGuard holder(pidfd);
    if (asked != TerminateResult::Terminated) {
        return {asked, false};
    }
    if (holder.get() >= 0) {
        if (endsWithin(holder.get(), grace)) {
            return {TerminateResult::Terminated, false};
        }
        if (::syscall(SYS_pidfd_send_signal, holder.get(), SIGKILL, nullptr, 0U) == 0) {
            return {TerminateResult::Terminated, true};
        }
        return errno == ESRCH ? GracefulTermination{TerminateResult::Terminated, false}
                              : GracefulTermination{TerminateResult::Refused, false};
    }
    // Without pidfds: the identity check tells when the process has gone (a zombie has
    // no executable any more), and the kill is checked again just before it is sent.
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        if (checkStillRuns(entry.id, entry.executable) != TerminateResult::Terminated) {
            return {TerminateResult::Terminated, false};
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (::kill(static_cast<pid_t>(entry.id), SIGKILL) == 0) {
        return {TerminateResult::Terminated, true};
    }
    return errno == ESRCH ? GracefulTermination{TerminateResult::Terminated, false}
                          : GracefulTermination{TerminateResult::Refused, false};
}

std::unique_ptr<ProcessPlatform> createProcessPlatform() {
    return std::make_unique<LinuxProcessPlatform>();
}

}  // namespace veltrona::process
