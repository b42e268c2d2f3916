// Whole-file reads, crash-safe replacement and writers' locks on Linux. Every step below
// the root works on descriptors (openat, fstatat, renameat), so no component of a path
// can be swapped between the check of it and its use.
#include "config/FileAccess.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <fstream>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "config/linux/FileAccessSeam.h"

namespace veltrona::config {

namespace seam {
ssize_t (*replaceFileWrite)(int fd, const void* data, std::size_t size) = ::write;
}

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;                 // as the kernel follows at most
constexpr std::size_t kSideNameLetters = 12;  // the random part of a side file's name

std::string describe(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// A failure on the way to a file: the system's error, or a reason of our own.
struct PathFailure {
    explicit PathFailure(int code) : error(code) {}
    PathFailure(int code, std::string text) : error(code), reason(std::move(text)) {}

    int error = 0;
    std::string reason;

    std::string text() const { return reason.empty() ? describe(error) : reason; }
};

class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    // Returns the error of close(2), 0 on success; the descriptor is gone either way.
    int close() {
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 ? 0 : errno;
    }

  private:
    int fd_ = -1;
};

// Where a path finally leads: an open folder and the name in it, which may not exist yet.
struct Location {
    Descriptor folder;
    fs::path folderPath;  // for messages
    std::string name;
    bool exists = false;
    struct stat st {};
};

// A link or folder on the way must belong to the administrator or to the writer: any
// other owner could have planted it, or can swap what lies below it.
bool trustedOwner(uid_t owner) {
    return owner == 0 || owner == ::geteuid();
}

PathFailure planted(const fs::path& path, const char* what, uid_t owner) {
    return PathFailure(0, "\"" + path.string() + "\" is a " + what + " of another user (uid " +
                              std::to_string(owner) + ") and is not followed");
}

std::deque<std::string> components(const fs::path& path) {
    std::deque<std::string> names;
    for (const fs::path& part : path.relative_path()) {
        if (!part.empty() && part != ".") {
            names.push_back(part.string());
        }
    }
    return names;
}

// Follows `path` as the kernel would, one component at a time, and returns the folder
// and name of the file it finally names. Refuses a link or folder that another user
// owns, a loop of links, and a component that is no folder.
void startAtRoot(Location& at) {
    at.folder = Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    at.folderPath = "/";
    if (!at.folder.valid()) {
        throw PathFailure(errno);
    }
}

Location locate(const fs::path& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) {
        throw PathFailure(ec.value());
    }
    Location at;
    startAtRoot(at);
    std::deque<std::string> rest = components(absolute);
    int links = 0;
    // Each turn takes one name; the last one is the file, which need not exist.
    while (!rest.empty()) {
        std::string name = std::move(rest.front());
        rest.pop_front();
        if (name == "..") {
            if (rest.empty()) {
                throw PathFailure(EISDIR);
            }
            Descriptor parent(::openat(at.folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!parent.valid()) {
                throw PathFailure(errno);
            }
            at.folder = std::move(parent);
            at.folderPath = at.folderPath.parent_path();
            continue;
        }
        const fs::path shown = at.folderPath / name;
        struct stat st {};
        if (::fstatat(at.folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && rest.empty()) {
                at.name = std::move(name);
                return at;
            }
            throw PathFailure(errno);
        }
        if (S_ISLNK(st.st_mode)) {
            if (!trustedOwner(st.st_uid)) {
                throw planted(shown, "symbolic link", st.st_uid);
            }
            if (++links > kMaxLinks) {
                throw PathFailure(ELOOP);
            }
            std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1,
                               '\0');
            const ssize_t length =
                ::readlinkat(at.folder.get(), name.c_str(), target.data(), target.size());
            if (length < 0) {
                throw PathFailure(errno);
            }
            target.resize(static_cast<std::size_t>(length));
            const fs::path next(target);
            const std::deque<std::string> spliced = components(next);
            rest.insert(rest.begin(), spliced.begin(), spliced.end());
            if (next.is_absolute()) {
                startAtRoot(at);
            }
            continue;
        }
        if (rest.empty()) {
            at.name = std::move(name);
            at.exists = true;
            at.st = st;
            return at;
        }
        Descriptor folder(
            ::openat(at.folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        // The owner of what was opened, not of what was looked at before.
        if (!folder.valid() || ::fstat(folder.get(), &st) != 0) {
            throw PathFailure(errno);
        }
        if (!trustedOwner(st.st_uid)) {
            throw planted(shown, "folder", st.st_uid);
        }
        at.folder = std::move(folder);
        at.folderPath = shown;
    }
    throw PathFailure(EISDIR);  // the path, or a link on it, names "/"
}

PathFailure notAFile(const Location& at) {
    if (S_ISDIR(at.st.st_mode)) {
        return PathFailure(EISDIR);
    }
    return PathFailure(0, "\"" + (at.folderPath / at.name).string() + "\" is no regular file");
}

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

int readAll(int fd, std::string& content) {
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return 0;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
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
bool replaceByRename(const Location& at, std::string_view bytes, const Descriptor* old) {
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
    } else if (::fchmod(temporary.fd(), 0660 & ~currentUmask()) != 0) {
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

// While the lock is held no writer is at work, so a new file of a writer beside the
// target is one that a writer killed half-way left behind. Copies of the previous content
// stay: one of them may be the only whole one.
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

FileError cannotCreate(const fs::path& path, const std::string& reason) {
    std::error_code ec;
    fs::path shown = fs::absolute(path, ec);
    if (ec) {
        shown = path;
    }
    return FileError("Datei \"" + shown.string() + "\" kann nicht erstellt werden. " + reason);
}

}  // namespace

FileReadResult readWholeFile(const fs::path& path) {
    FileReadResult result;
    const auto failed = [&result](const PathFailure& failure) {
        result.status = FileReadResult::Status::Failed;
        result.reason = failure.text();
        return result;
    };
    Location at;
    try {
        at = locate(path);
    } catch (const PathFailure& failure) {
        if (failure.error == ENOENT || failure.error == ENOTDIR) {
            return result;  // a folder on the way is missing, or is a file
        }
        return failed(failure);
    }
    if (!at.exists) {
        return result;
    }
    if (!S_ISREG(at.st.st_mode)) {
        return failed(notAFile(at));
    }
    // O_NONBLOCK: should a FIFO have taken the file's place since, opening it must not hang.
    const Descriptor file(::openat(at.folder.get(), at.name.c_str(),
                                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!file.valid() || ::fstat(file.get(), &st) != 0) {
        return failed(PathFailure(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        at.st = st;
        return failed(notAFile(at));
    }
    std::string content;
    if (const int error = readAll(file.get(), content)) {
        return failed(PathFailure(error));
    }
    result.status = FileReadResult::Status::Ok;
    result.content = std::move(content);
    return result;
}

void replaceFile(const fs::path& path, std::string_view bytes) {
    try {
        Location at = locate(path);
        if (!at.exists) {
            replaceByRename(at, bytes, nullptr);
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
