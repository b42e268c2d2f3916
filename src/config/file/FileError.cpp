#include <utility>

#include "config/file/FileAccess.h"

namespace veltrona::config {

namespace {

std::string facts(const std::filesystem::path& path, const std::string& reason) {
    const std::u8string shown = path.u8string();
    return "\"" + std::string(shown.begin(), shown.end()) + "\": " + reason;
}

}  // namespace

FileError::FileError(FileAction action, std::filesystem::path path, std::string reason)
    : std::runtime_error(facts(path, reason)),
      action_(action),
      path_(std::move(path)),
      reason_(std::move(reason)) {}

}  // namespace veltrona::config
