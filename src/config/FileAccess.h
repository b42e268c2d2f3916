#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veltrona::config {

// An error about a file, with the text the user sees (UTF-8).
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The entry of `folder` whose name equals `name` when ASCII letter case is ignored, as
// file names compare on the platform the tool was made for. An exact match wins over
// others; with none, `folder / name` (which need not exist). `name` may start with "../".
std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name);

struct FileReadResult {
    enum class Status { Ok, Missing, Failed };
    Status status = Status::Missing;
    std::string content;  // the whole file, when Ok
    std::string reason;   // the system's description of the failure, when Failed
};

// Reads a whole file. Missing: there is no regular file at `path` (a folder does not
// count). Failed: it exists but cannot be opened or read.
FileReadResult readWholeFile(const std::filesystem::path& path);

// Replaces the file's content with `bytes`, or creates it: a temporary file beside it is
// written and flushed, then renamed over the target, so a failure at any point leaves
// the previous file whole and no temporary file behind. An existing file keeps its
// permissions; a symbolic link stays a link and its target is replaced. Throws FileError
// `Datei "<path>" kann nicht erstellt werden. <reason>` when it fails.
void replaceFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace veltrona::config
