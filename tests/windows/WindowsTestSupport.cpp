#include "WindowsTestSupport.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

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

namespace {

// One row of the system's handle table (information class 16). The owner is 32 bits in
// Wine; Windows splits them into the owner's low 16 bits and a trace index.
struct HandleTableEntry {
    ULONG owner;
    UCHAR objectType;
    UCHAR flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

// Counted from the system's table of all handles: Wine's GetProcessHandleCount answers 0.
unsigned handlesInSystemTable() {
    const auto query = reinterpret_cast<NtQuerySystemInformationFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return 0;
    }
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 20);
    LONG status = 0;
    ULONG length = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), &length)) == kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return 0;
    }
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof count);
    const auto* entries = reinterpret_cast<const HandleTableEntry*>(buffer.data() + sizeof(void*));
    const ULONG self = GetCurrentProcessId() & 0xFFFF;
    unsigned own = 0;
    for (ULONG i = 0; i < count; ++i) {
        own += (entries[i].owner & 0xFFFF) == self;
    }
    return own;
}

}  // namespace

unsigned ownHandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) {
        return count;
    }
    return handlesInSystemTable();
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
