// The metrics file on Windows: a new file under a name no one can guess, made by this
// writer alone (CREATE_NEW never opens what is there, a link included), then moved over
// the old one.
#include "ctl/MetricsFile.h"

#include <windows.h>

#include <random>
#include <stdexcept>

#include "config/file/windows/SystemError.h"
#include "ctl/CtlOutput.h"

namespace veltrona::ctl {

namespace fs = std::filesystem;

void writeMetricsFile(const fs::path& file, const std::string& text) {
    const auto failure = [&file](const std::string& reason) {
        return std::runtime_error("cannot write " + messagePath(file) + ": " + reason);
    };
    const auto systemFailure = [&failure](DWORD code) {
        return failure(messageText(config::systemMessage(code)));
    };
    std::error_code error;
    const fs::file_status status = fs::symlink_status(file, error);
    if (!error && status.type() != fs::file_type::regular &&
        status.type() != fs::file_type::not_found) {
        throw failure("it is no regular file and is left as it is");
    }
    std::random_device random;
    std::wstring name = L".";
    for (int i = 0; i < 4; ++i) {
        name += std::to_wstring(random());
    }
    fs::path temporary = file;
    temporary.replace_filename(L"." + file.filename().wstring() + name + L".tmp");
    config::OwnedHandle out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        throw systemFailure(GetLastError());
    }
    DWORD written = 0;
    const bool whole =
        WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && FlushFileBuffers(out.get());
    const DWORD code = GetLastError();
    if (!out.close() || !whole ||
        !MoveFileExW(temporary.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD last = whole ? GetLastError() : code;
        DeleteFileW(temporary.c_str());
        throw systemFailure(last);
    }
}

}  // namespace veltrona::ctl
