// The start lock on Windows: a byte-range lock on a file that is kept.
#include <windows.h>

#include <cstdio>
#include <thread>

#include "config/file/windows/FileTarget.h"
#include "ctl/StartLock.h"
#include "server/SettingsDocument.h"

namespace veltrona::ctl {

namespace {

StartLockError failure(const std::filesystem::path& file, const std::string& why) {
    return StartLockError("The start lock \"" + config::detail::pathText(file) +
                          "\" (it keeps two starts of the server apart) " + why);
}

}  // namespace

StartLock::StartLock(const std::filesystem::path& programFolder, std::chrono::milliseconds wait) {
    const std::filesystem::path settings =
        config::detail::finalTarget(server::settingsWritePath(programFolder));
    file_ = settings.parent_path() / L".ZarvoServer.lock";
    // Never through a link or junction: the lock is the file itself, whoever made it.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE handle = CreateFileW(file_.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                OPEN_ALWAYS, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = CreateFileW(file_.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }
    config::OwnedHandle lock(handle);
    if (!lock.valid()) {
        throw failure(file_, "cannot be opened: " + config::systemMessage(GetLastError()));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(lock.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        throw failure(file_, "is no regular file");
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
            throw failure(file_, "cannot be taken: " + config::systemMessage(code));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(wait.count()) / 1000);
            throw failure(file_, std::string("was held by another start for ") + seconds + " s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    handle_ = reinterpret_cast<std::intptr_t>(lock.release());
}

void StartLock::release() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing lets go of the lock
        handle_ = -1;
    }
}

}  // namespace veltrona::ctl
