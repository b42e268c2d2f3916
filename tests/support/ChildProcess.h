#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// Child processes of a test on POSIX systems.
namespace veltrona::testing {

// Starts `program` with `arguments` as our child, input from nowhere and output into `out`
// and `err` (created or emptied). posix_spawn returns after the exec, so /proc already shows
// the new executable. Throws when the program cannot be started.
inline pid_t spawn(const std::filesystem::path& program, std::vector<std::string> arguments,
                   const std::filesystem::path& out = "/dev/null",
                   const std::filesystem::path& err = "/dev/null") {
    std::string path = program.string();
    std::vector<char*> argv{path.data()};
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + path);
    }
    return pid;
}

// Waits for our child to end; returns its wait status.
inline int reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

inline void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    reap(pid);
}

// Waits for something another process does; the limit only guards against a hang.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

}  // namespace veltrona::testing
