#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "ctl/CtlPlatform.h"

namespace veltrona::ctl {

LaunchWatch::LaunchWatch() {
    // The launch leaves the server behind as an orphan; as a subreaper this process
    // adopts it and can collect its exit status. Without that, nothing is learnt.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

std::optional<std::string> LaunchWatch::ended() {
    int status = 0;
    pid_t child;
    do {
        child = ::waitpid(-1, &status, WNOHANG);
    } while (child < 0 && errno == EINTR);
    if (child <= 0) {
        return std::nullopt;
    }
    if (WIFEXITED(status)) {
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = ::strsignal(signal);
        return "signal " + std::to_string(signal) + (name ? " (" + std::string(name) + ")" : "");
    }
    return std::nullopt;
}

// Linux names files in bytes: the listing's path is the name.
std::optional<WidePath> wideExecutable(const process::ProcessEntry& /*entry*/) {
    return std::nullopt;
}

}  // namespace veltrona::ctl
