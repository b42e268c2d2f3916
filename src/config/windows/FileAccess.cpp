// Whole-file reads and crash-safe replacement on Windows. Paths go to the wide-character
// functions as std::filesystem::path holds them, so no name is bent by a code page.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>

#include "config/FileAccess.h"
#include "config/windows/SystemError.h"

namespace veltrona::config {

namespace {

// Another program (a virus scanner, an indexer, an editor saving) may hold the target
// for a moment; the replacement is retried this long before it is reported.
constexpr auto kReplaceRetryTime = std::chrono::milliseconds(2000);
constexpr auto kReplaceRetryPause = std::chrono::milliseconds(50);

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::string wideToUtf8(const wchar_t* text, int length) {
    if (length <= 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string pathText(const std::filesystem::path& path) {
    const std::wstring& native = path.native();
    return wideToUtf8(native.c_str(), static_cast<int>(native.size()));
}

[[noreturn]] void throwCannotCreate(const std::filesystem::path& path, DWORD code) {
    throw FileError("Datei \"" + pathText(path) + "\" kann nicht erstellt werden. " +
                    systemMessage(code));
}

bool isMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH || code == ERROR_INVALID_DRIVE;
}

// The holder of the file may let go at any moment.
bool isTransient(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ||
           code == ERROR_LOCK_VIOLATION;
}

using GetFinalPathNameByHandleWFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// The file a symbolic link (or a chain of them) finally names, so that the replacement
// lands there and the link stays a link. The path itself when it is no link, or when
// the link points nowhere.
std::filesystem::path finalTarget(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return path;
    }
    // Looked up by name: systems without links do not have it.
    const auto getFinalPath = reinterpret_cast<GetFinalPathNameByHandleWFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (getFinalPath == nullptr) {
        return path;
    }
    OwnedHandle file(CreateFileW(path.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) {
        return path;
    }
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = getFinalPath(file.get(), buffer.data(),
                                          static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length + 1, L'\0');
    }
}

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

FileReadResult readWholeFile(const std::filesystem::path& path) {
    FileReadResult result;
    // A file that is not there is Missing; any other failure is reported with its reason.
    const auto failed = [&result](DWORD code) {
        if (!isMissing(code)) {
            result.status = FileReadResult::Status::Failed;
            result.reason = systemMessage(code);
        }
        return result;
    };
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return failed(GetLastError());
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return failed(ERROR_DIRECTORY);  // there, but no file that could be read
    }
    // Others may read the file meanwhile, but not write it: a file that another program
    // holds open for writing is not read, so no half-written text is taken.
    OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        return failed(GetLastError());
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
            result.status = FileReadResult::Status::Failed;
            result.reason = systemMessage(GetLastError());
            return result;
        }
        if (read == 0) {
            break;
        }
        content.append(buffer, read);
    }
    result.status = FileReadResult::Status::Ok;
    result.content = std::move(content);
    return result;
}

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

FileLock::FileLock(const std::filesystem::path& path, std::chrono::milliseconds wait) {
    const std::filesystem::path target = finalTarget(path);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = L".";
    }
    lockFile_ = folder / (L"." + target.filename().wstring() + L".lock");
    // Shared for reading and writing: the lock is the byte range below, not the handle.
    // Not for deleting: the holder removes the file as it lets go, which only succeeds
    // while no one else has it open, so no waiter ever locks a file that is gone.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE handle = CreateFileW(lockFile_.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = CreateFileW(lockFile_.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    OwnedHandle lock(handle);
    if (!lock.valid()) {
        throwCannotCreate(path, GetLastError());
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        OVERLAPPED start{};
        if (LockFileEx(lock.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &start)) {
            break;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
            throwCannotCreate(path, code);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(wait.count()) / 1000);
            throw FileError("Datei \"" + pathText(path) +
                            "\" kann nicht erstellt werden. Another program is writing it: its "
                            "lock \"" +
                            pathText(lockFile_) + "\" was held for " + seconds + " s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    handle_ = reinterpret_cast<std::intptr_t>(lock.release());
}

FileLock::~FileLock() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing releases the lock
        DeleteFileW(lockFile_.c_str());                  // fails while another waits for it
    }
}

}  // namespace veltrona::config
