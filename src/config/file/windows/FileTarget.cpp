// The file a path finally names on Windows. Paths go to the wide-character functions as
// std::filesystem::path holds them, so no name is bent by a code page.
#include "config/file/windows/FileTarget.h"

#include "config/text/windows/WideText.h"

namespace veltrona::config::detail {

namespace {

using GetFinalPathNameByHandleWFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

}  // namespace

std::string pathText(const std::filesystem::path& path) {
    return narrow(path.native(), CP_UTF8);
}

[[noreturn]] void throwCannotCreate(const std::filesystem::path& path, DWORD code) {
    throw FileError(FileAction::Write, path, systemMessage(code));
}

bool isMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH || code == ERROR_INVALID_DRIVE;
}

bool isTransient(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ||
           code == ERROR_LOCK_VIOLATION;
}

std::filesystem::path finalTarget(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return path;
    }
    // Looked up by name: systems without links do not have it.
    const auto getFinalPath = reinterpret_cast<GetFinalPathNameByHandleWFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (getFinalPath == nullptr) {
        return path;
    }
    OwnedHandle file(CreateFileW(path.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) {
        return path;
    }
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = getFinalPath(file.get(), buffer.data(),
                                          static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length + 1, L'\0');
    }
}

}  // namespace veltrona::config::detail
