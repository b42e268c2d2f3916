#include "config/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "config/linux/FileAccessSeam.h"

namespace veltrona::config {

namespace seam {
ssize_t (*replaceFileWrite)(int fd, const void* data, std::size_t size) = ::write;
}

namespace {

namespace fs = std::filesystem;

std::string describe(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// Closes and deletes the temporary file unless the rename has taken it over.
class TemporaryFile {
  public:
    TemporaryFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Returns the error of close(2), 0 on success; the descriptor is gone either way.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }
    void keep() { path_.clear(); }

  private:
    std::string path_;
    int fd_;
};

// The file that writing to `path` would change: symbolic links are followed, however
// many, to the path they finally name, which need not exist yet. Replacing that path
// instead of the link keeps the link in place. A loop stops after 40 links, as the kernel
// does; the rename then reports it.
fs::path followLinks(fs::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return path;
        }
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
            return path;
        }
        target.resize(static_cast<std::size_t>(length));
        path = fs::path(target).is_absolute() ? fs::path(target) : path.parent_path() / target;
    }
    return path;
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

// Returns 0 when all bytes are written, otherwise the error.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = seam::replaceFileWrite(fd, bytes.data(), bytes.size());
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
    }
    return 0;
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

FileReadResult readWholeFile(const fs::path& path) {
    FileReadResult result;
    // O_NONBLOCK: opening a FIFO or device must not hang the start-up; those are refused
    // below as not being regular files anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            result.status = FileReadResult::Status::Failed;
            result.reason = describe(errno);
        }
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result.status = FileReadResult::Status::Failed;
        result.reason = describe(errno);
    } else if (S_ISREG(st.st_mode)) {
        std::string content;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                result.status = FileReadResult::Status::Failed;
                result.reason = describe(errno);
                break;
            }
            if (n == 0) {
                result.status = FileReadResult::Status::Ok;
                result.content = std::move(content);
                break;
            }
            content.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return result;
}

void replaceFile(const fs::path& path, std::string_view bytes) {
    std::error_code ec;
    fs::path shown = fs::absolute(path, ec);
    if (ec) {
        shown = path;
    }
    const auto failure = [&shown](int error) {
        return FileError("Datei \"" + shown.string() + "\" kann nicht erstellt werden. " +
                         describe(error));
    };

    const fs::path target = followLinks(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // A file the user may not write stays as it is, as if it were opened for writing,
    // even though the folder would let the rename replace it.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        throw failure(errno);
    }

    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        throw failure(errno);
    }
    TemporaryFile temporary(pattern, fd);

    if (const int error = writeAll(temporary.fd(), bytes)) {
        throw failure(error);
    }
    if (exists) {
        // Best effort: only a privileged user can give the file back to its owner.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored =
                ::fchown(temporary.fd(), existing.st_uid, existing.st_gid);
        }
        if (::fchmod(temporary.fd(), existing.st_mode & 07777) != 0) {
            throw failure(errno);
        }
    } else if (::fchmod(temporary.fd(), 0666 & ~currentUmask()) != 0) {
        throw failure(errno);
    }
    if (::fsync(temporary.fd()) != 0) {
        throw failure(errno);
    }
    if (const int error = temporary.close()) {
        throw failure(error);
    }
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) {
        throw failure(errno);
    }
    temporary.keep();
    syncFolder(folder);
}

}  // namespace veltrona::config
