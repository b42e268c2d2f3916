// The pieces that the Windows file layer's parts share: the file a path finally names,
// and how its failures are told.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "config/file/FileAccess.h"
#include "config/file/windows/SystemError.h"

namespace veltrona::config::detail {

// The path in UTF-8, for messages.
std::string pathText(const std::filesystem::path& path);

// Throws FileError (Write) with the system's text.
[[noreturn]] void throwCannotCreate(const std::filesystem::path& path, DWORD code);

// Whether `code` says that nothing is there.
bool isMissing(DWORD code);

// The holder of the file may let go at any moment.
bool isTransient(DWORD code);

// The file a symbolic link (or a chain of them) finally names, so that the replacement
// lands there and the link stays a link. The path itself when it is no link, or when
// the link points nowhere.
std::filesystem::path finalTarget(const std::filesystem::path& path);

}  // namespace veltrona::config::detail
