// `run` on Linux: the server as the child of a parent that waits for it, passes the service
// manager's signals on, and tells in its exit status how the server ended.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "config/file/linux/FileTarget.h"
#include "config/settings/WindowsCommandLine.h"
#include "ctl/ForegroundRun.h"
#include "process/ProcessPlatform.h"
#include "process/linux/AccountSwitch.h"

extern char** environ;

namespace veltrona::ctl {

namespace {

// What the child reports when it cannot execute the server.
struct ChildFailure {
    int error = 0;
    char step[48] = {};
};

// Runs in the child, between fork and exec: async-signal-safe calls only.
[[noreturn]] void execServer(const char* program, char* const* argv, char* const* environment,
                             const process::AccountIds* account, process::KeptCapability kept,
                             int reportFd) {
    // The server starts as a fresh program would: no signal blocked or ignored, and none
    // of the parent's descriptors beyond the standard streams, which stay the service
    // manager's (its journal).
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) {
            ::signal(signal, SIG_DFL);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
#ifdef SYS_close_range
    ::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
#endif
    ChildFailure failure;
    const char* step = "execve";
    if (account != nullptr) {
        failure.error = process::becomeAccount(*account, kept, &step);
    }
    if (failure.error == 0) {
        // Set after the switch of account, which clears it: should the parent die, so
        // does the server, as a service manager's stop would end it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM, 0, 0, 0);
        ::execve(program, argv, environment);
        failure.error = errno;
        step = "execve";
    }
    std::strncpy(failure.step, step, sizeof failure.step - 1);
    ssize_t ignored = ::write(reportFd, &failure, sizeof failure);
    (void)ignored;
    ::_exit(127);
}

// Whether `info` announces that VeltronaCtl or the window is about to end `server`: the
// shared termination queues SIGUSR1 with the server's identifier to its parent first.
bool announcesStop(const siginfo_t& info, pid_t server) {
    return info.si_signo == SIGUSR1 && info.si_code == SI_QUEUE &&
           info.si_value.sival_int == server;
}

}  // namespace

int runInForeground(const server::ServerLaunch& launch,
                    const std::optional<process::LaunchAccount>& account,
                    const std::function<void()>& started) {
    // Everything the child needs is built before the fork.
    std::vector<std::string> arguments = config::splitWindowsArguments(launch.parameters);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(launch.program.c_str()));
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::optional<process::AccountIds> ids;
    std::vector<std::string> variables;
    if (account) {
        ids = process::lookUpAccount(account->name);
        variables = process::accountEnvironment(*ids);
    } else {
        for (char** variable = environ; *variable != nullptr; ++variable) {
            variables.emplace_back(*variable);
        }
    }
    std::vector<char*> environment;
    for (std::string& variable : variables) {
        environment.push_back(variable.data());
    }
    environment.push_back(nullptr);

    // Taken by sigwaitinfo below, so none is lost between the fork and the wait.
    sigset_t waited;
    sigemptyset(&waited);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGUSR1}) {
        sigaddset(&waited, signal);
    }
    ::signal(SIGCHLD, SIG_DFL);  // an ignored SIGCHLD would reap the server unseen
    ::sigprocmask(SIG_BLOCK, &waited, nullptr);
    // Caught, though only ever taken by sigwaitinfo: the stop's announcement goes only to
    // a parent that shows it catches the signal.
    struct sigaction announcement {};
    announcement.sa_handler = [](int) {};
    ::sigaction(SIGUSR1, &announcement, nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw process::LaunchError(launch.program.string() + ": " +
                                   std::system_category().message(errno));
    }
    config::detail::Descriptor readEnd(pipeFds[0]);
    config::detail::Descriptor writeEnd(pipeFds[1]);
    std::fflush(nullptr);
    const pid_t server = ::fork();
    if (server < 0) {
        throw process::LaunchError(launch.program.string() + ": " +
                                   std::system_category().message(errno));
    }
    if (server == 0) {
        execServer(launch.program.c_str(), argv.data(), environment.data(), ids ? &*ids : nullptr,
                   account && account->bindsPrivilegedPort ? process::KeptCapability::BindService
                                                           : process::KeptCapability::None,
                   writeEnd.get());
    }
    writeEnd.close();
    // The parent needs nothing of root's any more: in the server's account it may still
    // pass signals on to it.
    const char* step = "";
    if (const int error = ids ? process::becomeAccount(*ids, process::KeptCapability::None, &step)
                              : process::dropCapabilities(&step);
        error != 0) {
        std::fprintf(stderr, "VeltronaCtl run: cannot drop its privileges (%s): %s\n", step,
                     std::strerror(error));
    }

    ChildFailure failure;
    ssize_t got;
    while ((got = ::read(readEnd.get(), &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof failure)) {
        ::waitpid(server, nullptr, 0);
        const std::string reason = std::system_category().message(failure.error);
        throw process::LaunchError(std::strcmp(failure.step, "execve") == 0
                                       ? launch.program.string() + ": " + reason
                                       : "cannot become the account \"" + account->name +
                                             "\": " + failure.step + ": " + reason);
    }
    started();  // the server runs its program: every listing from now on sees it

    int forwarded = 0;
    bool announced = false;
    int status = 0;
    for (;;) {
        siginfo_t info{};
        const int signal = ::sigwaitinfo(&waited, &info);
        if (signal == SIGCHLD) {
            if (::waitpid(server, &status, WNOHANG) == server) {
                break;
            }
        } else if (signal == SIGUSR1) {
            announced = announced || announcesStop(info, server);
        } else if (signal > 0) {
            forwarded = signal;
            ::kill(server, signal);
        }
    }
    // An announcement is queued before the kill, so it is pending by now if there was one.
    const timespec now{0, 0};
    for (siginfo_t info{}; ::sigtimedwait(&waited, &info, &now) > 0; info = {}) {
        announced = announced || announcesStop(info, server);
    }

    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    const int signal = WTERMSIG(status);
    if (announced) {
        return 0;  // the stop of the window or of VeltronaCtl
    }
    if (signal == forwarded) {
        // The service manager's own stop: this process ends as the server did.
        ::signal(signal, SIG_DFL);
        ::sigprocmask(SIG_UNBLOCK, &waited, nullptr);
        ::raise(signal);
    }
    return 128 + signal;  // a crash, the kernel's kill or another's: to be restarted
}

}  // namespace veltrona::ctl
