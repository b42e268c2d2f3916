#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace veltrona::ctl {

// What the service's server prints, kept in a log file: the server's standard output and
// error are the write end of a pipe that one thread of the host drains into `file`. When
// the file reaches `maxBytes` it becomes NAME.1.EXT, the older ones NAME.2.EXT and so on,
// up to kOldFiles, the oldest dropped. The pipe is always drained: what cannot be written
// (a full disk, a file that cannot be opened) is lost, told once to `warn`, and never holds
// up the server.
class ServiceLog {
  public:
    static constexpr int kOldFiles = 5;
    static constexpr std::uint64_t kMaxBytes = 10 * 1024 * 1024;

    // Throws std::runtime_error when the pipe cannot be made.
    ServiceLog(std::filesystem::path file, std::uint64_t maxBytes,
               std::function<void(const std::string&)> warn);
    ServiceLog(const ServiceLog&) = delete;
    ServiceLog& operator=(const ServiceLog&) = delete;
    // Closes the pipe and waits a moment for the last lines.
    ~ServiceLog();

    // The handle to give the server as its standard output and error; inheritable.
    HANDLE output() const { return write_; }

    // The size the log rotates at: kMaxBytes, or, for tests, the number of bytes
    // VELTRONA_SERVICE_LOG_BYTES names in the host's environment.
    static std::uint64_t maxBytesFromEnvironment();

  private:
    void drain();
    void closeLog();
    void keep(const char* data, DWORD size);
    bool open();
    void rotate();
    void lost(const std::string& why);
    std::filesystem::path numbered(int number) const;

    std::filesystem::path file_;
    std::uint64_t maxBytes_;
    std::function<void(const std::string&)> warn_;
    HANDLE read_ = nullptr;
    HANDLE write_ = nullptr;
    HANDLE log_ = INVALID_HANDLE_VALUE;
    std::uint64_t size_ = 0;
    bool losing_ = false;
    HANDLE reader_ = nullptr;
};

}  // namespace veltrona::ctl
