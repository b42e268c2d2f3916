#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veltrona::config {

// What could not be done with a file.
enum class FileAction {
    Open,   // opened for reading (a file the program only takes from)
    Read,   // read; the file is left as it is and never replaced
    Write,  // made, replaced, or locked for a write
};

// An error about a file: what could not be done, with which file, and why. Each front end
// words it in its own language (the window in its texts, VeltronaCtl in English); what()
// is only the facts, `"<path>": <reason>`.
class FileError : public std::runtime_error {
  public:
    FileError(FileAction action, std::filesystem::path path, std::string reason);

    FileAction action() const { return action_; }
    const std::filesystem::path& path() const { return path_; }
    // The system's description of the failure or the file layer's own (UTF-8), without a
    // closing period.
    const std::string& reason() const { return reason_; }

  private:
    FileAction action_;
    std::filesystem::path path_;
    std::string reason_;
};

// The entry of `folder` whose name equals `name` when ASCII letter case is ignored, as
// file names compare on the platform the tool was made for. An exact match wins over
// others; with none, `folder / name` (which need not exist). `name` may start with "../".
std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name);

// The most a settings or translation file that the tool reads may hold. Such a file has a
// few kilobytes; a larger one is refused unread, so that it can neither fill the memory
// nor hold up the window for seconds.
inline constexpr std::uintmax_t kReadLimit = 1024 * 1024;
// The limit as the messages name it.
inline constexpr std::string_view kReadLimitText = "1 MiB";

struct FileReadResult {
    enum class Status { Ok, Missing, Failed, TooBig };
    Status status = Status::Missing;
    std::string content;  // the whole file, when Ok
    std::string reason;   // the system's description of the failure, when Failed
};

// Reads a whole file. Missing: nothing is there (a link that points nowhere included).
// Failed: something is there but cannot be read as a file: no rights, held open by
// another program, a folder, a FIFO or device, a loop of links, or a way to it through a
// link or folder that another user could have planted (see replaceFile). TooBig: the file
// holds more than `limit` bytes; the read stops a buffer past the limit at most, whatever
// the file's size said, and nothing is kept.
FileReadResult readWholeFile(const std::filesystem::path& path, std::uintmax_t limit = kReadLimit);

// Replaces the file's content with `bytes`, or creates it, so that a failure at any point
// leaves the previous content whole:
// - Symbolic links on the way are followed and stay links; the file they name is written.
//   Where the platform has owners, a link or folder on the way must belong to the writer
//   or to the administrator: one that another user owns could have been planted to send
//   the write elsewhere (as root, onto any file of the system), and is refused by name.
// - An existing file keeps its owner, group, permissions and extended attributes (access
//   control lists, labels). Where the new file can carry them all, a temporary file beside
//   the target is written, flushed and renamed over it. Where it cannot (a writer who may
//   not give the file to its owner, or a file with several hard links), the old content
//   is first copied beside it, the file is rewritten in place and flushed, and the copy
//   is removed; should the rewrite fail, the old content is put back.
// - A new file is readable and writable by its owner and group only (the file mask may
//   take away more). No temporary file or copy is readable by more users than the file.
// Throws FileError (Write).
void replaceFile(const std::filesystem::path& path, std::string_view bytes);

// How long a writer waits for another one to finish before it gives up.
inline constexpr std::chrono::milliseconds kFileLockWait{5000};

// The advisory lock that writers of one file hold from before they read the content they
// are going to change until they have replaced it, so that no writer's change is lost to
// another's. It is a lock file beside the file that `path` finally names (the file itself
// is replaced by a rename, which would take a lock on it away), released when the object
// goes. Throws FileError (Write, for `path`) when the lock file cannot be made or taken, or
// another writer holds the lock for longer than `wait`; the reason names the lock file.
class FileLock {
  public:
    explicit FileLock(const std::filesystem::path& path,
                      std::chrono::milliseconds wait = kFileLockWait);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    const std::filesystem::path& lockFile() const { return lockFile_; }

  private:
    std::filesystem::path lockFile_;
    std::intptr_t handle_ = -1;  // a descriptor or a handle, as the platform has it
};

}  // namespace veltrona::config
