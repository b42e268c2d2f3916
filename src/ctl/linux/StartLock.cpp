// The start lock on Linux: flock(2) on a file that is kept.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "config/file/linux/FileTarget.h"
#include "ctl/StartLock.h"
#include "server/SettingsDocument.h"

namespace veltrona::ctl {

namespace {

constexpr const char* kLockName = ".ZarvoServer.lock";
constexpr const char* kWhat = "(it keeps two starts of the server apart)";

StartLockError failure(const std::filesystem::path& file, const std::string& why) {
    return StartLockError("The start lock \"" + file.string() + "\" " + kWhat + " " + why);
}

}  // namespace

StartLock::StartLock(const std::filesystem::path& programFolder, std::chrono::milliseconds wait) {
    using config::detail::describe;
    const std::filesystem::path settings = server::settingsWritePath(programFolder);
    config::detail::Location at;
    try {
        // The way to the settings' folder as the settings layer walks it: a link or folder
        // that another user could have planted on it is refused.
        at = config::detail::locate(settings);
    } catch (const config::detail::PathFailure& failed) {
        throw failure(settings.parent_path() / kLockName,
                      "cannot be reached through \"" + settings.string() + "\": " + failed.text());
    }
    file_ = at.folderPath / kLockName;
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::openat(at.folder.get(), kLockName, O_RDWR | O_CREAT | flags, 0660);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        fd = ::openat(at.folder.get(), kLockName, O_RDONLY | flags);
    }
    config::detail::Descriptor lock(fd);
    struct stat st {};
    if (!lock.valid() || ::fstat(lock.get(), &st) != 0) {
        throw failure(file_, "cannot be opened: " + describe(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        throw failure(file_, "is no regular file");
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            throw failure(file_, "cannot be taken: " + describe(errno));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(wait.count()) / 1000);
            throw failure(file_, std::string("was held by another start for ") + seconds + " s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    handle_ = lock.release();
}

void StartLock::release() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));  // closing lets go of the lock
        handle_ = -1;
    }
}

}  // namespace veltrona::ctl
