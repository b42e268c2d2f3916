// The pieces that the Linux file layer's parts share: descriptors, the failures on the way
// to a file, and the walk along a path that finds the folder and name a path finally
// names. Every step below the root works on descriptors (openat, fstatat), so no
// component of a path can be swapped between the check of it and its use.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "config/file/FileAccess.h"

namespace veltrona::config::detail {

// The system's text for an errno value.
std::string describe(int error);

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
    std::filesystem::path folderPath;  // for messages
    std::string name;
    bool exists = false;
    struct stat st {};
};

// What `locate` does with a symbolic link as the last component: follow it to the file it
// names, or return the link itself (a writer that must put a file in its place).
enum class LastLink { Follow, Keep };

// Follows `path` as the kernel would, one component at a time, and returns the folder
// and name of the file it finally names. Refuses a link or folder that another user
// owns, a loop of links, and a component that is no folder. Throws PathFailure.
Location locate(const std::filesystem::path& path, LastLink last = LastLink::Follow);

// What a directory entry of `mode` is, for a message: "a folder", "a socket", ...
std::string kindOf(mode_t mode);

// Why the existing entry `at` is not a file that can be read or replaced.
PathFailure notAFile(const Location& at);

// Reads the whole file from offset 0 into `content`; returns 0, otherwise the error:
// EFBIG once it has read more than `limit` bytes.
int readAll(int fd, std::string& content, std::uintmax_t limit = UINTMAX_MAX);

// The error that replaceFile and FileLock throw for `path`.
FileError cannotCreate(const std::filesystem::path& path, const std::string& reason);

}  // namespace veltrona::config::detail
