// The writers' lock on Windows: a byte-range lock on a lock file beside the file.
#include <chrono>
#include <cstdio>
#include <thread>

#include "config/file/windows/FileTarget.h"

namespace veltrona::config {

using namespace detail;

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
    const auto failure = [&](const std::string& what) {
        return FileError(FileAction::Write, path,
                         "Its lock \"" + pathText(lockFile_) + "\" " + what);
    };
    if (!lock.valid()) {
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(lockFile_.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            throw failure("is a folder, not a regular file");
        }
        throw failure("cannot be opened: " + systemMessage(code));
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
            throw failure("cannot be taken: " + systemMessage(code));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(wait.count()) / 1000);
            throw FileError(FileAction::Write, path,
                            "Another program is writing it: its lock \"" + pathText(lockFile_) +
                                "\" was held for " + seconds + " s");
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
