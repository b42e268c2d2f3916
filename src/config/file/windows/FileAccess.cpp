// Whole-file reads on Windows; the replacement and the writers' lock are in
// FileReplacement.cpp and FileLock.cpp.
#include "config/file/windows/FileTarget.h"

namespace veltrona::config {

using namespace detail;

FileReadResult readWholeFile(const std::filesystem::path& path, std::uintmax_t limit) {
    FileReadResult result;
    // A file that is not there is Missing; any other failure is reported with its reason.
    const auto failed = [&result](DWORD code) {
        if (!isMissing(code)) {
            result.status = FileReadResult::Status::Failed;
            result.reason = systemMessage(code);
        }
        return result;
    };
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return failed(GetLastError());
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return failed(ERROR_DIRECTORY);  // there, but no file that could be read
    }
    // Others may read the file meanwhile, but not write it: a file that another program
    // holds open for writing is not read, so no half-written text is taken.
    OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        return failed(GetLastError());
    }
    // The size is checked before anything is read, and the read stops past the limit too:
    // the file may grow meanwhile.
    const auto tooBig = [&result] {
        result.status = FileReadResult::Status::TooBig;
        return result;
    };
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && static_cast<std::uintmax_t>(size.QuadPart) > limit) {
        return tooBig();
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
            result.status = FileReadResult::Status::Failed;
            result.reason = systemMessage(GetLastError());
            return result;
        }
        if (read == 0) {
            break;
        }
        content.append(buffer, read);
        if (content.size() > limit) {
            return tooBig();
        }
    }
    result.status = FileReadResult::Status::Ok;
    result.content = std::move(content);
    return result;
}

}  // namespace veltrona::config
