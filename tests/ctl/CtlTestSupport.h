#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"

extern char** environ;

namespace veltrona::ctl::testing {

namespace fs = std::filesystem;
using veltrona::testing::fileContent;
using veltrona::testing::TempFolder;
using veltrona::testing::writeFile;

inline const fs::path kBuiltCtl = fs::path(VELTRONA_PROGRAM_DIR) / "VeltronaCtl";
inline const fs::path kBuiltServer = fs::path(VELTRONA_PROGRAM_DIR) / "ZarvoServer.exe";

struct CtlResult {
    int exitCode = -1;  // -1: it did not end by itself
    std::string out;
    std::string err;
};

// Starts `program` with `arguments` as our child, output into `out` and `err` (or
// nowhere), input from nowhere. Returns after the exec.
inline pid_t spawn(const fs::path& program, std::vector<std::string> arguments,
                   const fs::path& out = "/dev/null", const fs::path& err = "/dev/null") {
    std::vector<char*> argv;
    std::string path = program.string();
    argv.push_back(path.data());
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
    return failed == 0 ? pid : -1;
}

inline void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// Runs VeltronaCtl (or a copy, or a link to it) to its end; one that hangs is killed
// after 60 seconds.
inline CtlResult runCtl(const fs::path& program, const std::vector<std::string>& arguments) {
    TempFolder capture;
    CtlResult result;
    const pid_t pid = spawn(program, arguments, capture / "out", capture / "err");
    if (pid < 0) {
        ADD_FAILURE() << "cannot start " << program;
        return result;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            killAndReap(pid);
            ADD_FAILURE() << program << " did not end";
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = fileContent(capture / "out");
    result.err = fileContent(capture / "err");
    return result;
}

// Waits for something another process does; the limit only guards against a hang.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// A TCP socket of this process listening on a port the system chose, on all addresses.
class ListeningSocket {
  public:
    ListeningSocket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen";
        }
        port_ = ntohs(address.sin_port);
    }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;
    ~ListeningSocket() { close(); }
    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    std::uint16_t port() const { return port_; }
    int fd() const { return fd_; }

  private:
    int fd_;
    std::uint16_t port_ = 0;
};

// A port nothing listens on right now.
inline std::uint16_t freePort() {
    return ListeningSocket().port();
}

// A temporary program folder holding copies of the built VeltronaCtl and stand-in server.
class ProgramFolder {
  public:
    ProgramFolder() {
        fs::create_directory(folder());
        fs::copy_file(kBuiltCtl, ctl());
        fs::copy_file(kBuiltServer, folder() / "ZarvoServer.exe");
    }
    fs::path root() const { return temp_.path(); }
    fs::path folder() const { return temp_.path() / "program"; }
    fs::path ctl() const { return folder() / "VeltronaCtl"; }
    fs::path settingsFile() const { return folder() / "Server.INI"; }

    CtlResult run(const std::vector<std::string>& arguments) const {
        return runCtl(ctl(), arguments);
    }

  private:
    TempFolder temp_;
};

}  // namespace veltrona::ctl::testing
