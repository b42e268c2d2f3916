#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "config/WindowsCommandLine.h"
#include "ctl/ForegroundRun.h"
#include "process/ProcessPlatform.h"
#include "process/linux/AccountSwitch.h"

namespace veltrona::ctl {

int runInForeground(const app::ServerLaunch& launch, const std::optional<std::string>& account) {
    std::optional<process::AccountIds> ids;
    std::vector<std::string> variables;
    if (account) {
        ids = process::lookUpAccount(*account);
        variables = process::accountEnvironment(*ids);
    }
    // The arguments as the launch of the start button splits the parameter string.
    std::vector<std::string> arguments = config::splitWindowsArguments(launch.parameters);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(launch.program.c_str()));
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // The server starts as a fresh program would: no signal blocked or ignored, and none of
    // this process's descriptors beyond the standard streams, which stay the service
    // manager's (its journal).
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) {
            ::signal(signal, SIG_DFL);
        }
    }
    std::fflush(nullptr);
#ifdef SYS_close_range
    ::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
#endif
    if (ids) {
        std::vector<char*> environment;
        for (std::string& variable : variables) {
            environment.push_back(variable.data());
        }
        environment.push_back(nullptr);
        const char* step = "";
        if (const int error =
                process::becomeAccount(*ids, process::KeptCapability::BindService, &step);
            error != 0) {
            throw process::LaunchError("cannot become the account \"" + *account + "\": " + step +
                                       ": " + std::system_category().message(error));
        }
        ::execve(launch.program.c_str(), argv.data(), environment.data());
    } else {
        ::execv(launch.program.c_str(), argv.data());
    }
    throw process::LaunchError(launch.program.string() + ": " +
                               std::system_category().message(errno));
}

}  // namespace veltrona::ctl
