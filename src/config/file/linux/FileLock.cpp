// The writers' lock on Linux: flock(2) on a lock file beside the file.
#include <fcntl.h>
#include <sys/file.h>

#include <cstdio>
#include <thread>

#include "config/file/linux/FileReplacement.h"

namespace veltrona::config {

using namespace detail;

namespace fs = std::filesystem;

FileLock::FileLock(const fs::path& path, std::chrono::milliseconds wait) {
    try {
        const Location at = locate(path);
        const std::string name = "." + at.name + ".lock";
        lockFile_ = at.folderPath / name;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            // Reading is all a lock needs, so a writer who may not write the lock file
            // that another made can still take the lock.
            int fd =
                ::openat(at.folder.get(), name.c_str(),
                         O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EACCES) {
                fd = ::openat(at.folder.get(), name.c_str(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            }
            Descriptor lock(fd);
            struct stat st {};
            if (!lock.valid() || ::fstat(lock.get(), &st) != 0) {
                throw PathFailure(errno);
            }
            if (!S_ISREG(st.st_mode)) {
                throw PathFailure(0, "\"" + lockFile_.string() + "\" is no regular file");
            }
            while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
                if (errno != EWOULDBLOCK && errno != EINTR) {
                    throw PathFailure(errno);
                }
                if (std::chrono::steady_clock::now() >= deadline) {
                    char seconds[32];
                    std::snprintf(seconds, sizeof seconds, "%g", wait.count() / 1000.0);
                    throw PathFailure(0, "Another program is writing it: its lock \"" +
                                             lockFile_.string() + "\" was held for " + seconds +
                                             " s");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            // The holder before us removes the lock file as it lets go; a lock on a file
            // that is no longer there (or no longer under that name) locks nothing.
            struct stat named {};
            if (::fstatat(at.folder.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                named.st_dev == st.st_dev && named.st_ino == st.st_ino) {
                handle_ = lock.release();
                removeAbandonedFiles(at);
                return;
            }
        }
    } catch (const PathFailure& failure) {
        throw cannotCreate(path, failure.text());
    }
}

FileLock::~FileLock() {
    if (handle_ >= 0) {
        // Removed while it is still held, so that whoever waits for it sees it gone and
        // takes a new one; closing then releases the lock.
        struct stat held {};
        struct stat named {};
        if (::fstat(static_cast<int>(handle_), &held) == 0 &&
            ::lstat(lockFile_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            ::unlink(lockFile_.c_str());
        }
        ::close(static_cast<int>(handle_));
    }
}

}  // namespace veltrona::config
