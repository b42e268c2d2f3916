#include "WindowsTestSupport.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace veltrona::testing {

std::string programFolder() {
    std::string folder = VELTRONA_PROGRAM_DIR;
    if (!folder.empty() && folder.front() == '/') {
        folder.insert(0, "Z:");
    }
    std::replace(folder.begin(), folder.end(), '/', '\\');
    if (folder.empty() || folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    path_ = std::filesystem::path(base) /
            (L"veltrona-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount()));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::ansi() const {
    const std::wstring& wide = path_.native();
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace veltrona::testing
