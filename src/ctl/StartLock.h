#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdexcept>

namespace veltrona::ctl {

// The lock a start could not take; the text says what the lock is and why (one line).
class StartLockError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// How long a start waits for another one to have started its server.
inline constexpr std::chrono::milliseconds kStartLockWait{10000};

// The lock that makes one start of a folder's server win when several race (`run`,
// `start`, the service): a start holds it from its look whether the server runs until
// the server it started is seen, so the next start sees that server and refuses. It is
// the file ".ZarvoServer.lock" in the folder of the settings file (Server.INI followed as
// the settings are: for the Debian package /etc/veltrona). The file is made when missing
// and kept; an existing one that this user may not write is opened for reading, which is
// all a lock needs; a link there is never followed. Released when the object goes, or by
// release(). Throws StartLockError.
class StartLock {
  public:
    explicit StartLock(const std::filesystem::path& programFolder,
                       std::chrono::milliseconds wait = kStartLockWait);
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;
    ~StartLock() { release(); }

    void release();
    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path file_;
    std::intptr_t handle_ = -1;  // a descriptor or a handle, as the platform has it
};

}  // namespace veltrona::ctl
