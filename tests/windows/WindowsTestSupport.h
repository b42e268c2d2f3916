#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace veltrona::testing {

// The folder that holds the stand-in server, in Windows syntax with a closing backslash
// (a build folder on the Linux host is reached through Wine's drive Z:).
std::string programFolder();

// A fresh folder under the system's temporary folder, removed with all it holds.
class TempFolder {
  public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return path_; }
    // The path in the system's 8-bit form, as the tool hands names to the system.
    std::string ansi() const;

  private:
    std::filesystem::path path_;
};

// The number of handles this process holds open.
unsigned ownHandleCount();

// Polls `condition` until it holds or `timeout` has passed; returns its last answer.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace veltrona::testing
