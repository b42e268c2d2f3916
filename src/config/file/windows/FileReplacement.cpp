// Crash-safe replacement of a file on Windows: a temporary file beside the target, written,
// flushed and put in the target's place by ReplaceFileW.
#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "config/file/windows/FileTarget.h"

namespace veltrona::config {

using namespace detail;

namespace {

// Another program (a virus scanner, an indexer, an editor saving) may hold the target
// for a moment; the replacement is retried this long before it is reported.
constexpr auto kReplaceRetryTime = std::chrono::milliseconds(2000);
constexpr auto kReplaceRetryPause = std::chrono::milliseconds(50);

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// Removes the temporary file on every way out that does not hand it over to the target.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::filesystem::path path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) {
            DeleteFileW(path_.c_str());
        }
    }

    const std::filesystem::path& path() const { return path_; }
    void handedOver() { path_.clear(); }

  private:
    std::filesystem::path path_;
};

}  // namespace

void replaceFile(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path target = finalTarget(path);
    const DWORD targetAttributes = GetFileAttributesW(target.c_str());
    const bool targetExists = targetAttributes != INVALID_FILE_ATTRIBUTES;
    if (targetExists && (targetAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throwCannotCreate(path, ERROR_ACCESS_DENIED);
    }
    // Renaming over a read-only file fails anyway; no holder is going to let go of it.
    if (targetExists && (targetAttributes & FILE_ATTRIBUTE_READONLY)) {
        throwCannotCreate(path, ERROR_ACCESS_DENIED);
    }

    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = L".";
    }
    wchar_t temporaryName[MAX_PATH + 1];
    if (GetTempFileNameW(folder.c_str(), L"vlt", 0, temporaryName) == 0) {
        throwCannotCreate(path, GetLastError());
    }
    TemporaryFile temporary{std::filesystem::path(temporaryName)};

    OwnedHandle file(CreateFileW(temporary.path().c_str(), GENERIC_WRITE, 0, nullptr,
                                 TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        throwCannotCreate(path, GetLastError());
    }
    if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get())) {
        throwCannotCreate(path, GetLastError());
    }
    if (!file.close()) {
        throwCannotCreate(path, GetLastError());
    }
    if (targetExists && (targetAttributes & kKeptAttributes)) {
        SetFileAttributesW(temporary.path().c_str(), targetAttributes & kKeptAttributes);
    }

    // ReplaceFileW keeps the target's security descriptor (its access list and owner),
    // attributes and alternate streams; a missing target is simply created by the move.
    const auto deadline = std::chrono::steady_clock::now() + kReplaceRetryTime;
    for (;;) {
        // Some implementations leave a file of their own behind when the replacement fails
        // on a target that another program holds, so the target is first opened as the
        // replacement will: for deleting, with everyone else's sharing allowed.
        const bool free =
            !targetExists ||
            OwnedHandle(CreateFileW(target.c_str(), DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr))
                .valid();
        const bool replaced =
            free &&
            (targetExists ? ReplaceFileW(target.c_str(), temporary.path().c_str(), nullptr,
                                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                          : MoveFileExW(temporary.path().c_str(), target.c_str(),
                                        MOVEFILE_WRITE_THROUGH) != 0);
        if (replaced) {
            temporary.handedOver();
            return;
        }
        const DWORD code = GetLastError();
        if (!isTransient(code) || std::chrono::steady_clock::now() >= deadline) {
            throwCannotCreate(path, code);
        }
        std::this_thread::sleep_for(kReplaceRetryPause);
    }
}

}  // namespace veltrona::config
