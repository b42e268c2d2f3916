// The walk lists each folder with FindFirstFileExW in large fetches, which bring every
// entry's size along, so no file is opened. Junctions and symbolic links (reparse points)
// are not followed, so the walk never leaves the tree. The listing tells no link counts:
// a file with several hard links counts once for each name.
#include <windows.h>

#include <string>
#include <system_error>

#include "ctl/CtlOutput.h"
#include "ctl/FolderWalk.h"

namespace veltrona::ctl {

namespace {

using Clock = std::chrono::steady_clock;

bool isDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

class Walker {
  public:
    Walker(FolderWalk& result, Clock::time_point deadline) : result_(result), deadline_(deadline) {}

    void walk(const std::wstring& folder) {
        WIN32_FIND_DATAW data;
        const HANDLE find =
            ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                               FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                note(folder, error);
            }
            return;
        }
        do {
            if (isDotOrDotDot(data.cFileName)) {
                continue;
            }
            if (Clock::now() >= deadline_) {
                result_.timedOut = true;
                break;
            }
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                continue;  // a junction or a link to a folder: elsewhere
            }
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                walk(folder + L"\\" + data.cFileName);
                if (result_.timedOut) {
                    break;
                }
                continue;
            }
            ++result_.files;
            result_.bytes += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                             static_cast<std::uint64_t>(data.nFileSizeLow);
        } while (::FindNextFileW(find, &data));
        if (!result_.timedOut && ::GetLastError() != ERROR_NO_MORE_FILES) {
            note(folder, ::GetLastError());
        }
        ::FindClose(find);
    }

    bool incomplete() const { return incomplete_; }

  private:
    void note(const std::wstring& folder, DWORD error) {
        incomplete_ = true;
        if (result_.error.empty()) {
            result_.error =
                "cannot read " + jsonPath(std::filesystem::path(folder)) + ": " +
                jsonText(
                    std::error_code(static_cast<int>(error), std::system_category()).message());
        }
    }

    FolderWalk& result_;
    Clock::time_point deadline_;
    bool incomplete_ = false;
};

}  // namespace

FolderWalk walkFolder(const std::filesystem::path& folder, Clock::time_point deadline) {
    FolderWalk result;
    std::wstring start = folder.wstring();
    while (start.size() > 1 && (start.back() == L'\\' || start.back() == L'/')) {
        start.pop_back();
    }
    Walker walker(result, deadline);
    walker.walk(start);
    result.complete = !result.timedOut && !walker.incomplete();
    return result;
}

}  // namespace veltrona::ctl
