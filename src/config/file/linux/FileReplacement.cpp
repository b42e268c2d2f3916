// Crash-safe replacement of a file on Linux: a new file beside the target renamed over
// it, or, where that could not keep the file's owner, links and attributes, a rewrite in
// place after a copy of the old content has been made safe.
#include "config/file/linux/FileReplacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/xattr.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "config/file/linux/FileAccessSeam.h"

namespace veltrona::config {

namespace seam {
ssize_t (*replaceFileWrite)(int fd, const void* data, std::size_t size) = ::write;
}

namespace detail {

namespace {

constexpr std::size_t kSideNameLetters = 12;  // the random part of a side file's name

// The process's file mode creation mask, read without changing it: umask(2) can only be
// read by setting it, which would race with any other thread creating files.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            unsigned int mask = 0;
            if (status >> std::oct >> mask) {
                return static_cast<mode_t>(mask);
            }
            break;
        }
        status.ignore(4096, '\n');
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Returns 0 when all bytes are written at `offset` (or, with -1, at the file position),
// otherwise the error.
int writeAll(int fd, std::string_view bytes, off_t offset = -1) {
    while (!bytes.empty()) {
        const ssize_t written = offset < 0 ? seam::replaceFileWrite(fd, bytes.data(), bytes.size())
                                           : ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        if (offset >= 0) {
            offset += written;
        }
    }
    return 0;
}

// A new file beside the target under a name no one can guess, created by us alone
// (O_EXCL: never a file or link someone put there), readable by its owner only.
class SideFile {
  public:
    SideFile(const Location& at, std::string_view kind) : folder_(at.folder.get()) {
        static constexpr char kLetters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            unsigned char random[kSideNameLetters];
            if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
                throw PathFailure{errno};
            }
            std::string name = "." + at.name + "." + std::string(kind) + "-";
            for (const unsigned char byte : random) {
                name += kLetters[byte % (sizeof kLetters - 1)];
            }
            fd_ = Descriptor(::openat(folder_, name.c_str(),
                                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (fd_.valid()) {
                name_ = std::move(name);
                return;
            }
            if (errno != EEXIST) {
                throw PathFailure{errno};
            }
        }
        throw PathFailure{EEXIST};
    }
    SideFile(const SideFile&) = delete;
    SideFile& operator=(const SideFile&) = delete;
    ~SideFile() {
        if (!name_.empty()) {
            ::unlinkat(folder_, name_.c_str(), 0);
        }
    }

    int fd() const { return fd_.get(); }
    const std::string& name() const { return name_; }
    int close() { return fd_.close(); }
    void keep() { name_.clear(); }

  private:
    int folder_;
    Descriptor fd_;
    std::string name_;
};

std::vector<std::string> xattrNames(int fd) {
    std::vector<std::string> names;
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0) {
        return names;
    }
    std::string list(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    for (std::size_t at = 0; got > 0 && at < static_cast<std::size_t>(got);) {
        const std::size_t end = list.find('\0', at);
        names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

// Gives `to` the extended attributes of `from`, and none besides (a folder's default
// access list may have given the new file one of its own). Returns the error that stops
// it, 0 when all are carried over.
int copyXattrs(int from, int to) {
    const std::vector<std::string> names = xattrNames(from);
    for (const std::string& name : xattrNames(to)) {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            ::fremovexattr(to, name.c_str());
        }
    }
    for (const std::string& name : names) {
        const ssize_t size = ::fgetxattr(from, name.c_str(), nullptr, 0);
        if (size < 0) {
            return errno;
        }
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::fgetxattr(from, name.c_str(), value.data(), value.size());
        if (got < 0) {
            return errno;
        }
        if (::fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(got), 0) != 0) {
            return errno;
        }
    }
    return 0;
}

void syncFolder(const Location& at) {
    // An O_PATH descriptor cannot be flushed; the folder is opened for it.
    const int fd = ::openat(at.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes the new file beside the target and renames it over the target. With `old`, it
// first gives the new file the old one's owner, group, mode and extended attributes;
// returns false (and leaves nothing behind) when they cannot all be carried over.
// Without, the new file gets `mode`.
bool replaceByRename(const Location& at, std::string_view bytes, const Descriptor* old,
                     mode_t mode = 0) {
    SideFile temporary(at, "new");
    if (const int error = writeAll(temporary.fd(), bytes)) {
        throw PathFailure{error};
    }
    if (old != nullptr) {
        const struct stat& st = at.st;
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(temporary.fd(), st.st_uid, st.st_gid) != 0) {
            return false;
        }
        if (copyXattrs(old->get(), temporary.fd()) != 0) {
            return false;
        }
        if (::fchmod(temporary.fd(), st.st_mode & 07777) != 0) {
            throw PathFailure{errno};
        }
    } else if (::fchmod(temporary.fd(), mode) != 0) {
        throw PathFailure{errno};
    }
    if (::fsync(temporary.fd()) != 0) {
        throw PathFailure{errno};
    }
    if (const int error = temporary.close()) {
        throw PathFailure{error};
    }
    if (::renameat(at.folder.get(), temporary.name().c_str(), at.folder.get(), at.name.c_str()) !=
        0) {
        throw PathFailure{errno};
    }
    temporary.keep();
    syncFolder(at);
    return true;
}

// Rewrites the file through its open descriptor, so that it stays the same file with its
// owner, links and attributes, after a copy of the old content has been made safe.
void rewriteInPlace(const Location& at, const Descriptor& file, std::string_view bytes) {
    std::string previous;
    if (const int error = readAll(file.get(), previous)) {
        throw PathFailure{error};
    }
    SideFile copy(at, "previous");
    if (const int error = writeAll(copy.fd(), previous)) {
        throw PathFailure{error};
    }
    if (::fsync(copy.fd()) != 0) {
        throw PathFailure{errno};
    }
    syncFolder(at);

    const auto write = [&file](std::string_view content) {
        if (const int error = writeAll(file.get(), content, 0)) {
            return error;
        }
        if (::ftruncate(file.get(), static_cast<off_t>(content.size())) != 0 ||
            ::fsync(file.get()) != 0) {
            return errno;
        }
        return 0;
    };
    if (const int error = write(bytes)) {
        if (write(previous) != 0) {
            copy.keep();  // the copy is now the only whole one
            throw PathFailure{0, describe(error) + "; the previous content is kept in \"" +
                                     (at.folderPath / copy.name()).string() + "\""};
        }
        throw PathFailure{error};
    }
}

}  // namespace

void renameNewFile(const Location& at, std::string_view bytes, mode_t mode) {
    replaceByRename(at, bytes, nullptr, mode);
}

void removeAbandonedFiles(const Location& at) {
    const int fd = ::openat(at.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = fd < 0 ? nullptr : ::fdopendir(fd);
    if (folder == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    const std::string prefix = "." + at.name + ".new-";
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        struct stat st {};
        if (name.size() == prefix.size() + kSideNameLetters && name.starts_with(prefix) &&
            ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
            ::unlinkat(fd, entry->d_name, 0);
        }
    }
    ::closedir(folder);
}

}  // namespace detail

using namespace detail;

namespace fs = std::filesystem;

void replaceFile(const fs::path& path, std::string_view bytes) {
    try {
        Location at = locate(path);
        if (!at.exists) {
            replaceByRename(at, bytes, nullptr, 0660 & ~currentUmask());
            return;
        }
        if (!S_ISREG(at.st.st_mode)) {
            throw notAFile(at);
        }
        // Opening for writing is where a file the user may not write is refused, even
        // when the folder would let a rename replace it.
        const Descriptor file(::openat(at.folder.get(), at.name.c_str(),
                                       O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!file.valid() || ::fstat(file.get(), &at.st) != 0) {
            throw PathFailure{errno};
        }
        if (!S_ISREG(at.st.st_mode)) {
            throw notAFile(at);
        }
        // A rename would part the file from its other names.
        if (at.st.st_nlink == 1 && replaceByRename(at, bytes, &file)) {
            return;
        }
        rewriteInPlace(at, file, bytes);
    } catch (const PathFailure& failure) {
        throw cannotCreate(path, failure.text());
    }
}

}  // namespace veltrona::config
