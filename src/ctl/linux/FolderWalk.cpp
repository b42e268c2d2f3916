// The walk reads each folder with getdents64 and asks statx for the size of each entry,
// relative to the folder's descriptor: no path is resolved twice, and no link is followed
// below the starting folder (O_NOFOLLOW, AT_SYMLINK_NOFOLLOW). Two threads share the
// folders still to read, so one waits for the disk while the other counts; each looks at
// the clock before every folder and every few entries, so that neither a folder of many
// entries nor many empty folders carry the walk past its deadline.
#include "ctl/FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

namespace veltrona::ctl {

namespace {

using Clock = std::chrono::steady_clock;

// Deeper trees would hold a descriptor for every level; the image folder is a few deep.
constexpr int kDeepest = 256;
// Entries between two looks at the clock.
constexpr unsigned kEntriesPerClockLook = 64;
constexpr int kThreads = 2;

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

// A folder that is open while folders below it wait to be read.
struct OpenFolder {
    int fd;
    std::string path;  // below the start, for messages; empty for the start
    int depth;
    OpenFolder(int descriptor, std::string name, int level)
        : fd(descriptor), path(std::move(name)), depth(level) {}
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder() { ::close(fd); }
};

// A folder still to read: its name in a folder that is open.
struct Waiting {
    std::shared_ptr<const OpenFolder> parent;
    std::string name;
};

std::string below(const std::string& path, const char* name) {
    return path.empty() ? std::string(name) : path + "/" + name;
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// What one thread counted.
struct Tally {
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
    bool incomplete = false;
    std::string error;
    std::vector<char> buffer = std::vector<char>(64 * 1024);  // for getdents64
    std::vector<const DirectoryEntry*> listed;                // files of one listing

    void note(const std::string& path, int code) {
        incomplete = true;
        if (error.empty()) {
            error = "cannot read " + (path.empty() ? std::string(".") : path) + ": " +
                    std::generic_category().message(code);  // strerror is not for threads
        }
    }
};

class Walk {
  public:
    Walk(std::shared_ptr<const OpenFolder> start, Clock::time_point deadline)
        : deadline_(deadline) {
        readFolder(std::move(start), tallies_[0]);  // fills the stack for both threads
    }

    FolderWalk run() {
        std::thread helper;
        try {
            helper = std::thread([this] { work(tallies_[1]); });
        } catch (const std::system_error&) {
            // No second thread to be had: this one reads every folder.
        }
        work(tallies_[0]);
        if (helper.joinable()) {
            helper.join();
        }
        FolderWalk walk;
        bool incomplete = false;
        for (const Tally& tally : tallies_) {
            walk.bytes += tally.bytes;
            walk.files += tally.files;
            incomplete = incomplete || tally.incomplete;
            walk.error = walk.error.empty() ? tally.error : walk.error;
        }
        walk.timedOut = timedOut_.load();
        walk.complete = !walk.timedOut && !incomplete;
        return walk;
    }

  private:
    // Takes folders from the stack until none is left and no thread may add more.
    void work(Tally& tally) {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !waiting_.empty() || reading_ == 0; });
            if (timedOut_.load()) {
                waiting_.clear();  // past the deadline nothing more is read
            }
            if (waiting_.empty()) {
                if (reading_ == 0) {
                    return;
                }
                continue;
            }
            Waiting next = std::move(waiting_.back());
            waiting_.pop_back();
            ++reading_;
            lock.unlock();
            openAndRead(next, tally);
            next.parent.reset();  // closes the folder above once its last one is read
            lock.lock();
            --reading_;
            changed_.notify_all();
        }
    }

    bool pastDeadline() {
        if (!timedOut_.load(std::memory_order_relaxed) && Clock::now() >= deadline_) {
            timedOut_.store(true);
        }
        return timedOut_.load(std::memory_order_relaxed);
    }

    void openAndRead(const Waiting& folder, Tally& tally) {
        if (pastDeadline()) {
            return;
        }
        const std::string path = below(folder.parent->path, folder.name.c_str());
        if (folder.parent->depth + 1 >= kDeepest) {
            tally.incomplete = true;
            if (tally.error.empty()) {
                tally.error =
                    "folders nested deeper than " + std::to_string(kDeepest) + " levels at " + path;
            }
            return;
        }
        const int fd = ::openat(folder.parent->fd, folder.name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) {
                tally.note(path, errno);  // gone or replaced by a link meanwhile: nothing to count
            }
            return;
        }
        readFolder(std::make_shared<const OpenFolder>(fd, path, folder.parent->depth + 1), tally);
    }

    // Counts the files of `folder` and puts its subfolders on the stack.
    void readFolder(std::shared_ptr<const OpenFolder> folder, Tally& tally) {
        std::vector<Waiting> folders;
        std::vector<char>& buffer = tally.buffer;
        unsigned sinceClockLook = 0;
        for (;;) {
            if (pastDeadline()) {
                return;  // a folder of very many subfolders, too, ends at the deadline
            }
            const long length = ::syscall(SYS_getdents64, folder->fd, buffer.data(), buffer.size());
            if (length < 0) {
                tally.note(folder->path, errno);
                break;
            }
            if (length == 0) {
                break;
            }
            // Files in the order of their inode numbers, which is about the order they
            // were made in: the kernel's records of them then lie close together in memory
            // (and on disk), where the listing's own order scatters them.
            std::vector<const DirectoryEntry*>& files = tally.listed;
            files.clear();
            for (long at = 0; at < length;) {
                const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer.data() + at);
                at += entry->length;
                if (isDotOrDotDot(entry->name)) {
                    continue;
                }
                if (entry->type == DT_DIR) {
                    folders.push_back({folder, entry->name});
                } else if (entry->type == DT_REG || entry->type == DT_UNKNOWN) {
                    files.push_back(entry);
                }  // links, sockets, devices hold no image bytes
            }
            std::sort(files.begin(), files.end(),
                      [](const DirectoryEntry* a, const DirectoryEntry* b) {
                          return a->inode < b->inode;
                      });
            for (const DirectoryEntry* entry : files) {
                if (++sinceClockLook == kEntriesPerClockLook) {
                    sinceClockLook = 0;
                    if (pastDeadline()) {
                        return;
                    }
                }
                if (visit(*folder, entry, tally)) {
                    folders.push_back({folder, entry->name});
                }
            }
        }
        if (!folders.empty()) {
            const std::lock_guard lock(mutex_);
            for (Waiting& waiting : folders) {
                waiting_.push_back(std::move(waiting));
            }
            changed_.notify_all();
        }
    }

    // Counts a file (or an entry the listing did not type); true for a folder to read.
    bool visit(const OpenFolder& folder, const DirectoryEntry* entry, Tally& tally) {
        struct statx status {};
        if (::statx(folder.fd, entry->name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_NLINK | STATX_INO | STATX_SIZE, &status) != 0) {
            if (errno != ENOENT) {
                tally.note(below(folder.path, entry->name), errno);
            }
            return false;
        }
        if (S_ISDIR(status.stx_mode)) {
            return true;
        }
        if (!S_ISREG(status.stx_mode)) {
            return false;
        }
        if (status.stx_nlink > 1 && !firstName(status)) {
            return false;  // another name of a file already counted
        }
        ++tally.files;
        tally.bytes += status.stx_size;
        return false;
    }

    bool firstName(const struct statx& status) {
        const std::lock_guard lock(linkedMutex_);
        return linked_
            .insert({makedev(status.stx_dev_major, status.stx_dev_minor),
                     static_cast<ino_t>(status.stx_ino)})
            .second;
    }

    const Clock::time_point deadline_;
    std::atomic<bool> timedOut_{false};
    Tally tallies_[kThreads];

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Waiting> waiting_;  // a stack: the walk goes deep first, holding few folders open
    int reading_ = 0;

    std::mutex linkedMutex_;
    std::unordered_set<FileIdentity, IdentityHash> linked_;
};

}  // namespace

FolderWalk walkFolder(const std::filesystem::path& folder, Clock::time_point deadline) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        FolderWalk result;
        result.error =
            "cannot read " + folder.string() + ": " + std::generic_category().message(errno);
        return result;
    }
    Walk walk(std::make_shared<const OpenFolder>(fd, "", 0), deadline);
    return walk.run();
}

}  // namespace veltrona::ctl
