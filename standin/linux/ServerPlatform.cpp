#include "ServerPlatform.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace veltrona::standin::platform {

namespace {

sigset_t terminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        sigaddset(&signals, signal);
    }
    return signals;
}

}  // namespace

void prepareProcess() {
    ::signal(SIGPIPE, SIG_IGN);
}

// Every thread inherits the blocked termination signals; only the main thread takes them.
void holdTermination() {
    const sigset_t signals = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void endOnTermination(const std::function<void()>& beforeEnd) {
    const sigset_t signals = terminationSignals();
    for (;;) {
        int signal = 0;
        if (::sigwait(&signals, &signal) != 0) {
            continue;
        }
        beforeEnd();
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        ::raise(signal);
    }
}

void waitForTermination() {
    for (;;) {
        ::pause();
    }
}

std::uint64_t processId() {
    return static_cast<std::uint64_t>(::getpid());
}

bool processRuns(std::uint64_t id) {
    return !(::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH);
}

std::uint64_t randomBits() {
    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        std::abort();  // never a predictable name
    }
    return random;
}

int createNewFile(const std::filesystem::path& path, bool& exists) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    exists = fd < 0 && errno == EEXIST;
    return fd;
}

OFString reopenableName(int file, const std::filesystem::path& /*path*/) {
    return file < 0 ? "/dev/null" : ("/proc/self/fd/" + std::to_string(file)).c_str();
}

bool flushToDisk(int file) {
    return ::fsync(file) == 0;
}

void closeFile(int file) {
    ::close(file);
}

bool readableWithin(DcmNativeSocketType socket, long long milliseconds) {
    pollfd entry{socket, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, static_cast<int>(milliseconds));
    } while (ready < 0 && errno == EINTR);
    return ready != 0;
}

void limitSendTime(DcmNativeSocketType socket, int seconds) {
    const timeval limit{seconds, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void markTimedOut() {
    errno = ETIMEDOUT;
}

}  // namespace veltrona::standin::platform
