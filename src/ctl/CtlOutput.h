#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "config/file/FileAccess.h"
#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

// How VeltronaCtl ends, for scripts and service managers.
enum ExitCode {
    kSuccess = 0,
    kFailure = 1,     // refused, failed, or not answered
    kUsage = 2,       // the command line is wrong; nothing was done
    kNotRunning = 3,  // status: the server does not run
    // status, stop: some processes could not be inspected, so the answer is not known
    // (the init-script convention for insufficient privilege)
    kNoPrivilege = 4,
};

// A command that refuses or fails: the message (system code page, one line, no closing
// period) and the exit status. The one guard in runCtl shows it on the error stream and,
// with --json, as the one object on standard output.
class CtlError : public std::runtime_error {
  public:
    CtlError(int exitCode, const std::string& message)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

  private:
    int exitCode_;
};

// What every command works with: where the server lives, how to answer, and the
// processes of this machine.
struct CtlContext {
    std::filesystem::path programFolder;  // ends with a separator
    bool json = false;                    // answer with one JSON object on standard output
    process::ProcessPlatform& processes;
    std::ostream& out;
    std::ostream& err;
};

// A JSON object, written as one line. Keys and texts are UTF-8.
class JsonObject {
  public:
    JsonObject& text(std::string_view key, std::string_view value);
    JsonObject& integer(std::string_view key, std::int64_t value);
    JsonObject& number(std::string_view key, double value);
    JsonObject& boolean(std::string_view key, bool value);
    JsonObject& null(std::string_view key);
    JsonObject& object(std::string_view key, const JsonObject& value);
    JsonObject& array(std::string_view key, const std::vector<JsonObject>& values);
    // The members of `other`, after those of this object.
    JsonObject& append(const JsonObject& other);

    std::string str() const { return "{" + members_ + "}"; }

  private:
    void key(std::string_view name);
    std::string members_;
};

// The answer of --json to an error: {"exitCode": N, "error": "<message>"}, `message` in the
// system code page. Every command that fails with --json says so with these members.
JsonObject errorJson(int exitCode, std::string_view message);

// A file error in VeltronaCtl's English, in the system code page, with its closing period:
// `File "<path>" cannot be written. <reason>.`, `... cannot be read and is left unchanged.
// <reason>.`, `... cannot be opened. <reason>.`
std::string fileErrorText(const config::FileError& error);

// Text for a terminal: control characters, which could move the cursor, overwrite what was
// shown or end the line, are shown as \xNN. Every human-readable answer goes through it.
std::string withoutControls(std::string_view text);

// A stream buffer that passes what is written on to `target` with every control character
// but the line end shown as withoutControls shows it, and counts what it passed on.
class ShownTextBuffer : public std::streambuf {
  public:
    explicit ShownTextBuffer(std::streambuf* target) : target_(target) {}
    std::size_t written() const { return written_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override { return target_->pubsync(); }

  private:
    std::streambuf* target_;
    std::size_t written_ = 0;
};

// UTF-8 for JSON from text in the system code page (paths, command-line values); bytes
// that are no text there are replaced, so the JSON stays valid.
std::string jsonText(std::string_view systemBytes);

// A path for JSON (UTF-8) and for a message (the system code page). The narrow form of a
// path is not the system code page everywhere: the Windows build's library gives UTF-8.
std::string jsonPath(const std::filesystem::path& path);
std::string messagePath(const std::filesystem::path& path);

// A path a command line names (system code page).
std::filesystem::path systemPath(const std::string& text);

// UTF-8 text (the messages of config::FileError) for a message in the system code page.
std::string messageText(std::string_view utf8);

// A process as one JSON object: {"id": ..., "executable": ...}.
JsonObject processJson(const process::ProcessEntry& entry);

// A process in a message: "process 1234 (/opt/x/ZarvoServer.exe)".
std::string describe(const process::ProcessEntry& entry);
// The path of `entry` as messages show it (in the system code page), from the system's
// wide name where it has one.
std::string shownExecutable(const process::ProcessEntry& entry);
// Several, separated by commas; an executable the listing did not know is "unknown".
std::string describe(const std::vector<process::ProcessEntry>& entries);
std::vector<JsonObject> processesJson(const std::vector<process::ProcessEntry>& entries);

// A duration in seconds, as a number.
double inSeconds(std::chrono::milliseconds duration);
// A number as short as it goes: "5", "0.25", "7.5".
std::string shortestNumber(double value);
// A duration in a short message: "5 s", "0.25 s".
std::string secondsText(std::chrono::milliseconds duration);
// A duration in a sentence: "1 second", "2.5 seconds".
std::string secondsInWords(std::chrono::milliseconds duration);

}  // namespace veltrona::ctl
