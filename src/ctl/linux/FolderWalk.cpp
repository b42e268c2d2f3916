// The walk reads each folder with getdents64 and looks at its entries with fstatat
// relative to the folder's descriptor: no path is resolved twice, and no link is followed
// below the starting folder (O_NOFOLLOW, AT_SYMLINK_NOFOLLOW).
#include "ctl/FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace veltrona::ctl {

namespace {

using Clock = std::chrono::steady_clock;

// Deeper trees would hold a descriptor for every level; the image folder is a few deep.
constexpr int kDeepest = 256;
// Entries between two looks at the clock.
constexpr unsigned kEntriesPerClockLook = 64;

struct DirectoryEntry {
    std::uint64_t inode;
    std::int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity&) const = default;
};

struct IdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(id.inode) * 31 +
                                          static_cast<std::uint64_t>(id.device));
    }
};

class Walker {
  public:
    Walker(FolderWalk& result, Clock::time_point deadline) : result_(result), deadline_(deadline) {}

    // Walks the open folder `fd` (closed here), named `path` below the start for messages.
    void walk(int fd, std::string& path, int depth) {
        std::vector<std::string> folders;
        for (;;) {
            const long length = ::syscall(SYS_getdents64, fd, buffer_, sizeof buffer_);
            if (length < 0) {
                note(path, errno);
                break;
            }
            if (length == 0) {
                break;
            }
            for (long at = 0; at < length;) {
                const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer_ + at);
                at += entry->length;
                if (isDotOrDotDot(entry->name)) {
                    continue;
                }
                if (++sinceClockLook_ == kEntriesPerClockLook) {
                    sinceClockLook_ = 0;
                    if (Clock::now() >= deadline_) {
                        result_.timedOut = true;
                    }
                }
                if (result_.timedOut) {
                    ::close(fd);
                    return;
                }
                visit(fd, entry, path, folders);
            }
        }
        for (const std::string& name : folders) {
            const std::size_t mark = path.size();
            path += path.empty() ? name : "/" + name;
            if (depth + 1 >= kDeepest) {
                result_.error = result_.error.empty()
                                    ? "folders nested deeper than " + std::to_string(kDeepest) +
                                          " levels at " + path
                                    : result_.error;
                incomplete_ = true;
            } else {
                const int child =
                    ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child >= 0) {
                    walk(child, path, depth + 1);
                } else if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) {
                    note(path, errno);  // gone or replaced by a link meanwhile: nothing to count
                }
            }
            path.resize(mark);
            if (result_.timedOut) {
                break;
            }
        }
        ::close(fd);
    }

    bool incomplete() const { return incomplete_; }

  private:
    static bool isDotOrDotDot(const char* name) {
        return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
    }

    void visit(int fd, const DirectoryEntry* entry, const std::string& path,
               std::vector<std::string>& folders) {
        if (entry->type == DT_DIR) {
            folders.emplace_back(entry->name);
            return;
        }
        if (entry->type != DT_REG && entry->type != DT_UNKNOWN) {
            return;  // links, sockets, devices hold no image bytes
        }
        struct stat status {};
        if (::fstatat(fd, entry->name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                note(path.empty() ? entry->name : path + "/" + entry->name, errno);
            }
            return;
        }
        if (S_ISDIR(status.st_mode)) {
            folders.emplace_back(entry->name);
            return;
        }
        if (!S_ISREG(status.st_mode)) {
            return;
        }
        if (status.st_nlink > 1 && !linked_.insert({status.st_dev, status.st_ino}).second) {
            return;  // another name of a file already counted
        }
        ++result_.files;
        result_.bytes += static_cast<std::uint64_t>(status.st_size);
    }

    void note(const std::string& path, int error) {
        incomplete_ = true;
        if (result_.error.empty()) {
            result_.error = "cannot read " + (path.empty() ? std::string(".") : path) + ": " +
                            std::strerror(error);
        }
    }

    FolderWalk& result_;
    Clock::time_point deadline_;
    unsigned sinceClockLook_ = 0;
    bool incomplete_ = false;
    std::unordered_set<FileIdentity, IdentityHash> linked_;
    alignas(8) char buffer_[64 * 1024];
};

}  // namespace

FolderWalk walkFolder(const std::filesystem::path& folder, Clock::time_point deadline) {
    FolderWalk result;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        result.error = "cannot read " + folder.string() + ": " + std::strerror(errno);
        return result;
    }
    Walker walker(result, deadline);
    std::string path;
    walker.walk(fd, path, 0);
    result.complete = !result.timedOut && !walker.incomplete();
    return result;
}

}  // namespace veltrona::ctl
