#include "ctl/windows/ServiceLog.h"

#include <cstdlib>
#include <stdexcept>

#include "config/file/windows/SystemError.h"
#include "ctl/CtlOutput.h"

namespace veltrona::ctl {

namespace fs = std::filesystem;

ServiceLog::ServiceLog(fs::path file, std::uint64_t maxBytes,
                       std::function<void(const std::string&)> warn)
    : file_(std::move(file)), maxBytes_(maxBytes), warn_(std::move(warn)) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    if (!CreatePipe(&read_, &write_, &inherited, 64 * 1024)) {
        throw std::runtime_error("The pipe for the server's output: " +
                                 config::systemMessage(GetLastError()));
    }
    // Only the server gets the write end; the read end stays with this process.
    SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    open();
    reader_ = CreateThread(
        nullptr, 0,
        [](void* log) -> DWORD {
            static_cast<ServiceLog*>(log)->drain();
            return 0;
        },
        this, 0, nullptr);
    if (reader_ == nullptr) {
        const DWORD error = GetLastError();
        CloseHandle(read_);
        CloseHandle(write_);
        closeLog();
        throw std::runtime_error("The reader of the server's output: " +
                                 config::systemMessage(error));
    }
}

ServiceLog::~ServiceLog() {
    CloseHandle(write_);
    // The pipe ends once the server, ended before, and this process have closed it; a
    // process that escaped the job could hold it open, so the wait is bounded.
    if (WaitForSingleObject(reader_, 1000) != WAIT_OBJECT_0) {
        CancelSynchronousIo(reader_);
        WaitForSingleObject(reader_, 1000);
    }
    CloseHandle(reader_);
    CloseHandle(read_);
    closeLog();
}

void ServiceLog::closeLog() {
    if (log_ != INVALID_HANDLE_VALUE) {
        CloseHandle(log_);
        log_ = INVALID_HANDLE_VALUE;
    }
}

std::uint64_t ServiceLog::maxBytesFromEnvironment() {
    const char* bytes = std::getenv("VELTRONA_SERVICE_LOG_BYTES");
    if (bytes == nullptr) {
        return kMaxBytes;
    }
    const unsigned long long value = std::strtoull(bytes, nullptr, 10);
    return value > 0 ? value : kMaxBytes;
}

void ServiceLog::drain() {
    char buffer[8192];
    DWORD size = 0;
    while (ReadFile(read_, buffer, sizeof buffer, &size, nullptr) && size > 0) {
        keep(buffer, size);
    }
}

fs::path ServiceLog::numbered(int number) const {
    if (number == 0) {
        return file_;
    }
    fs::path name = file_;
    name.replace_filename(file_.stem().native() + L"." + std::to_wstring(number) +
                          file_.extension().native());
    return name;
}

bool ServiceLog::open() {
    log_ = CreateFileW(file_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log_ == INVALID_HANDLE_VALUE) {
        lost("cannot be opened: " + config::systemMessage(GetLastError()));
        return false;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(log_, &size);
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

void ServiceLog::rotate() {
    closeLog();
    // NAME.4.EXT over NAME.5.EXT, ..., NAME.EXT over NAME.1.EXT: the oldest goes.
    for (int number = kOldFiles; number > 0; --number) {
        MoveFileExW(numbered(number - 1).c_str(), numbered(number).c_str(),
                    MOVEFILE_REPLACE_EXISTING);
    }
    open();
}

void ServiceLog::keep(const char* data, DWORD size) {
    // Its size afresh: someone may have emptied the file meanwhile.
    LARGE_INTEGER now{};
    if (log_ != INVALID_HANDLE_VALUE && GetFileSizeEx(log_, &now)) {
        size_ = static_cast<std::uint64_t>(now.QuadPart);
    }
    if (log_ != INVALID_HANDLE_VALUE && size_ > 0 && size_ + size > maxBytes_) {
        rotate();
    }
    if (log_ == INVALID_HANDLE_VALUE && !open()) {
        return;
    }
    DWORD written = 0;
    if (!WriteFile(log_, data, size, &written, nullptr) || written != size) {
        lost("cannot be written: " + config::systemMessage(GetLastError()));
        closeLog();  // opened afresh for the next lines
        return;
    }
    size_ += written;
    losing_ = false;
}

void ServiceLog::lost(const std::string& why) {
    if (!losing_) {
        warn_("The server's output log " + messagePath(file_) + " " + why +
              "; its lines are lost until it can be written again");
    }
    losing_ = true;
}

}  // namespace veltrona::ctl
