// Starting the server on Linux: detached by a double fork, as root's launch in the
// server's own account.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "config/file/linux/FileTarget.h"
#include "config/settings/WindowsCommandLine.h"
#include "process/linux/AccountSwitch.h"
#include "process/linux/LinuxProcessPlatform.h"

namespace veltrona::process {

namespace {

using FdGuard = config::detail::Descriptor;

// What the grandchild reports when it cannot execute the program: the errno value and
// the step that failed (an index into kSteps), written whole.
struct LaunchReport {
    int error = 0;
    int step = 0;
};
constexpr const char* kSteps[] = {"",
                                  "setgroups",
                                  "setresgid",
                                  "setresuid",
                                  "capset",
                                  "prctl(PR_SET_KEEPCAPS)",
                                  "prctl(PR_CAP_AMBIENT_RAISE)",
                                  "prctl(PR_SET_NO_NEW_PRIVS)"};

[[noreturn]] void reportAndExit(int errorPipe, int error, const char* step = "") {
    LaunchReport report{error, 0};
    for (int i = 0; i < static_cast<int>(std::size(kSteps)); ++i) {
        if (std::strcmp(kSteps[i], step) == 0) {
            report.step = i;
        }
    }
    ssize_t ignored = ::write(errorPipe, &report, sizeof report);
    (void)ignored;
    ::_exit(127);
}

// Runs in the grandchild, between fork and exec: async-signal-safe calls only.
[[noreturn]] void execDetached(const char* program, char* const* argv, bool shown, int errorPipe,
                               const AccountIds* account, KeptCapability kept,
                               char* const* environment) {
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
    if (account != nullptr) {
        const char* step = "";
        if (const int error = becomeAccount(*account, kept, &step); error != 0) {
            reportAndExit(errorPipe, error, step);
        }
        ::execve(program, argv, environment);
    } else {
        ::execv(program, argv);
    }
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

void launchDetached(const std::filesystem::path& programPath, const std::string& parameters,
                    bool shown, const AccountIds* account, KeptCapability kept) {
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
    std::vector<std::string> variables;
    std::vector<char*> environment;
    if (account != nullptr) {
        variables = accountEnvironment(*account);
        for (std::string& variable : variables) {
            environment.push_back(variable.data());
        }
        environment.push_back(nullptr);
    }

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
            execDetached(program.c_str(), argv.data(), shown, writeEnd.get(), account, kept,
                         environment.data());
        }
        ::_exit(0);
    }
    ::close(writeEnd.release());
    waitForChild(child);

    // End of file: the exec succeeded and closed the CLOEXEC write end. Otherwise the
    // grandchild (or the intermediate child) sent its errno.
    LaunchReport report;
    std::size_t got = 0;
    while (got < sizeof report) {
        const ssize_t n =
            ::read(readEnd.get(), reinterpret_cast<char*>(&report) + got, sizeof report - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got == sizeof report) {
        if (report.step > 0 && report.step < static_cast<int>(std::size(kSteps))) {
            throw LaunchError(program + ": cannot become the account \"" + account->name +
                              "\": " + kSteps[report.step] + ": " +
                              std::system_category().message(report.error));
        }
        throwLaunchError(program, report.error);
    }
}

}  // namespace

void LinuxProcessPlatform::launch(const std::filesystem::path& program,
                                  const std::string& parameters, bool shown) {
    launchDetached(program, parameters, shown, nullptr, KeptCapability::None);
}

void LinuxProcessPlatform::launchAs(const std::filesystem::path& program,
                                    const std::string& parameters, bool shown,
                                    const LaunchAccount& account) {
    const AccountIds ids = lookUpAccount(account.name);
    launchDetached(
        program, parameters, shown, &ids,
        account.bindsPrivilegedPort ? KeptCapability::BindService : KeptCapability::None);
}

}  // namespace veltrona::process
