// The writers' lock on Linux: flock(2) on a lock file beside the file.
#include <fcntl.h>
#include <sys/file.h>

#include <cstdio>
#include <thread>

#include "config/file/linux/FileReplacement.h"

namespace veltrona::config {

using namespace detail;

namespace fs = std::filesystem;

namespace {

constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The lock file `name` in the folder of `at`, made when it is missing, and what it is.
// Reading is all a lock needs, so a writer who may not write the lock file that another
// made can still take the lock. Each failure names the lock file and why.
Descriptor openLockFile(const Location& at, const std::string& name, const fs::path& lockFile,
                        struct stat& st) {
    const auto failure = [&](const std::string& what) {
        return PathFailure(0, "Its lock \"" + lockFile.string() + "\" " + what);
    };
    Descriptor lock(::openat(at.folder.get(), name.c_str(), O_RDWR | O_CREAT | kOpenFlags, 0666));
    int error = lock.valid() ? 0 : errno;
    if (error == EACCES) {
        lock = Descriptor(::openat(at.folder.get(), name.c_str(), O_RDONLY | kOpenFlags));
        // Nothing there to read: the first answer says why it could not be made.
        if (!lock.valid() && errno != ENOENT) {
            error = errno;
        }
    }
    if (lock.valid()) {
        if (::fstat(lock.get(), &st) != 0) {
            throw failure("cannot be looked at: " + describe(errno));
        }
    } else if (::fstatat(at.folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        throw failure("cannot be made in the folder \"" + at.folderPath.string() +
                      "\": " + describe(error));
    }
    // A folder, socket or link refuses to open (EISDIR, ENXIO, ELOOP), a FIFO opens: either
    // is named for what it is.
    if (!S_ISREG(st.st_mode)) {
        throw failure("is " + kindOf(st.st_mode) + ", not a regular file");
    }
    if (!lock.valid()) {
        throw failure("cannot be opened: " + describe(error));
    }
    return lock;
}

}  // namespace

FileLock::FileLock(const fs::path& path, std::chrono::milliseconds wait) {
    try {
        const Location at = locate(path);
        const std::string name = "." + at.name + ".lock";
        lockFile_ = at.folderPath / name;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            struct stat st {};
            Descriptor lock = openLockFile(at, name, lockFile_, st);
            while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
                if (errno != EWOULDBLOCK && errno != EINTR) {
                    throw PathFailure(0, "Its lock \"" + lockFile_.string() +
                                             "\" cannot be taken: " + describe(errno));
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
