#include "ServerPlatform.h"

#include <winsock2.h>
// winsock2.h before windows.h
#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>

namespace veltrona::standin::platform {

namespace {

std::function<void()> beforeTerminationEnds;

// Runs on a thread of its own for Ctrl+C, Ctrl+Break and the console's close; returning
// FALSE hands the request on to the default handler, which ends the process.
BOOL WINAPI onConsoleControl(DWORD /*event*/) {
    if (beforeTerminationEnds) {
        beforeTerminationEnds();
    }
    return FALSE;
}

}  // namespace

// Windows raises no signal for a vanished peer: a send to it fails.
void prepareProcess() {}

void holdTermination() {}

void endOnTermination(const std::function<void()>& beforeEnd) {
    beforeTerminationEnds = beforeEnd;
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
    waitForTermination();
}

void waitForTermination() {
    for (;;) {
        ::Sleep(INFINITE);
    }
}

std::uint64_t processId() {
    return ::GetCurrentProcessId();
}

bool processRuns(std::uint64_t id) {
    HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) {
        return ::GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
    }
    DWORD code = 0;
    const bool running = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

std::uint64_t randomBits() {
    std::uint64_t random = 0;
    if (::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random), sizeof random,
                          BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
        std::abort();  // never a predictable name
    }
    return random;
}

// _O_EXCL makes it CREATE_NEW: whatever has the name, a link included, makes it fail. The
// file takes the folder's inherited access list.
int createNewFile(const std::filesystem::path& path, bool& exists) {
    const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
    exists = fd < 0 && errno == EEXIST;
    return fd;
}

OFString reopenableName(int file, const std::filesystem::path& path) {
    // _wopen shares the file for reading and writing, never for deleting or renaming.
    if (file < 0) {
        return "NUL";
    }
    // DCMTK opens narrow names in the ANSI code page, the code page of the settings the
    // image folder comes from. A character it cannot hold becomes "?", which no file name
    // holds: the open fails rather than reaching another file.
    const std::wstring wide = path.wstring();
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0,
                                         nullptr, nullptr);
    std::string ansi(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, ansi.data(), size, nullptr,
                        nullptr);
    return ansi.c_str();
}

bool flushToDisk(int file) {
    return ::_commit(file) == 0;
}

void closeFile(int file) {
    ::_close(file);
}

bool readableWithin(DcmNativeSocketType socket, long long milliseconds) {
    WSAPOLLFD entry{socket, POLLRDNORM, 0};
    return ::WSAPoll(&entry, 1, static_cast<INT>(milliseconds)) != 0;
}

void limitSendTime(DcmNativeSocketType socket, int seconds) {
    const DWORD limit = static_cast<DWORD>(seconds) * 1000;
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit),
                 sizeof limit);
}

void markTimedOut() {
    ::WSASetLastError(WSAETIMEDOUT);
    errno = ETIMEDOUT;
}

}  // namespace veltrona::standin::platform
