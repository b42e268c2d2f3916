#include "LinuxProcessPlatform.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>

#include "config/WindowsCommandLine.h"

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

TerminateResult signalResult(int error) {
    return error == ESRCH ? TerminateResult::Vanished : TerminateResult::Refused;
}

// Where the grandchild reports a failed exec: the errno value, written whole.
[[noreturn]] void reportAndExit(int errorPipe, int error) {
    ssize_t ignored = ::write(errorPipe, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// Runs in the grandchild, between fork and exec: async-signal-safe calls only.
[[noreturn]] void execDetached(const char* program, char* const* argv, bool shown, int errorPipe) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault;
    std::memset(&byDefault, 0, sizeof byDefault);
    byDefault.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) {
            ::sigaction(signal, &byDefault, nullptr);
        }
    }

    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull < 0) {
        reportAndExit(errorPipe, errno);
    }
    const int lastRedirected = shown ? STDIN_FILENO : STDERR_FILENO;
    for (int fd = STDIN_FILENO; fd <= lastRedirected; ++fd) {
        if (::dup2(devNull, fd) < 0) {
            reportAndExit(errorPipe, errno);
        }
    }
    if (devNull > STDERR_FILENO) {
        ::close(devNull);
    }
    // The tool's own descriptors (window-system connection, files) must not live on in
    // the server; kernels without close_range leave them to their own CLOEXEC flags.
#ifdef SYS_close_range
    ::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
#endif
    ::execv(program, argv);
    reportAndExit(errorPipe, errno);
}

pid_t waitForChild(pid_t child) {
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(child, &status, 0);
    } while (result < 0 && errno == EINTR);
    return result;
}

[[noreturn]] void throwLaunchError(const std::string& program, int error) {
    throw LaunchError(program + ": " + std::system_category().message(error));
}

}  // namespace

LinuxProcessPlatform::LinuxProcessPlatform(TerminateMethod method) : method_(method) {}

PathSyntax LinuxProcessPlatform::pathSyntax() const {
    return PathSyntax::Posix;
}

std::vector<ProcessEntry> LinuxProcessPlatform::listProcesses() {
    return inspectProcesses().entries;
}

ProcessListing LinuxProcessPlatform::inspectProcesses() {
    ProcessListing listing;
    std::vector<ProcessEntry>& entries = listing.entries;
    const FdGuard proc(openProc());
    if (proc.get() < 0) {
        return listing;
    }
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
            if (readExecutable(proc.get(), static_cast<ProcessId>(id), target, overflow,
                               executable)) {
                entries.push_back({static_cast<ProcessId>(id), std::string(executable)});
            } else if (errno == EACCES || errno == EPERM) {
                // ENOENT (gone, zombie, kernel thread) and ESRCH are no refusal.
                listing.uninspected.push_back(
                    {static_cast<ProcessId>(id), shortName(proc.get(), record->d_name)});
            }
        }
    }
    return listing;
}

TerminateResult LinuxProcessPlatform::terminate(const ProcessEntry& entry) {
    if (entry.id == 0 || entry.id > static_cast<ProcessId>(INT_MAX)) {
        return TerminateResult::Vanished;
    }
    const auto pid = static_cast<pid_t>(entry.id);
    if (method_ == TerminateMethod::Pidfd) {
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0U));
        if (pidfd >= 0) {
            // The pidfd pins the process that holds the identifier now: if it ends and the
            // identifier is reused before the check below, the signal finds it gone.
            const FdGuard holder(pidfd);
            if (const auto check = checkStillRuns(entry.id, entry.executable);
                check != TerminateResult::Terminated) {
                return check;
            }
            if (::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0U) == 0) {
                return TerminateResult::Terminated;
            }
            return signalResult(errno);
        }
        if (errno != ENOSYS) {
            // EINVAL: the identifier now names a thread, not a process.
            return errno == ESRCH || errno == EINVAL ? TerminateResult::Vanished
                                                     : TerminateResult::Refused;
        }
        method_ = TerminateMethod::Kill;
    }
    if (const auto check = checkStillRuns(entry.id, entry.executable);
        check != TerminateResult::Terminated) {
        return check;
    }
    if (::kill(pid, SIGKILL) == 0) {
        return TerminateResult::Terminated;
    }
    return signalResult(errno);
}

void LinuxProcessPlatform::launch(const std::filesystem::path& programPath,
                                  const std::string& parameters, bool shown) {
    const std::string& program = programPath.native();
    // Everything the children need is built here: after fork only async-signal-safe
    // calls may run, since other threads of the tool may hold the allocator's locks.
    std::vector<std::string> arguments = config::splitWindowsArguments(parameters);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throwLaunchError(program, errno);
    }
    FdGuard readEnd(pipeFds[0]);
    FdGuard writeEnd(pipeFds[1]);

    const pid_t child = ::fork();
    if (child < 0) {
        throwLaunchError(program, errno);
    }
    if (child == 0) {
        // The intermediate child leaves a new session behind and exits at once, so the
        // server is adopted by init (or a subreaper) and never becomes our zombie.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            reportAndExit(writeEnd.get(), errno);
        }
        if (grandchild == 0) {
            execDetached(program.c_str(), argv.data(), shown, writeEnd.get());
        }
        ::_exit(0);
    }
    ::close(writeEnd.release());
    waitForChild(child);

    // End of file: the exec succeeded and closed the CLOEXEC write end. Otherwise the
    // grandchild (or the intermediate child) sent its errno.
    int error = 0;
    std::size_t got = 0;
    while (got < sizeof error) {
        const ssize_t n =
            ::read(readEnd.get(), reinterpret_cast<char*>(&error) + got, sizeof error - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got == sizeof error) {
        throwLaunchError(program, error);
    }
}

std::unique_ptr<ProcessPlatform> createProcessPlatform() {
    return std::make_unique<LinuxProcessPlatform>();
}

}  // namespace veltrona::process
