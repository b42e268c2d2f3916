#include <windows.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "config/file/windows/SystemError.h"
#include "ctl/CtlPlatform.h"

namespace veltrona::ctl {

// The shell starts the server and hands back no process: its end cannot be learnt here.
LaunchWatch::LaunchWatch() = default;

std::optional<std::string> LaunchWatch::ended() {
    return std::nullopt;
}

namespace {

// The wide name of a process that has ended can no longer be asked: a name once learnt is
// kept, so that a stop reports the path of what it ended. Keyed by the identifier and the
// listed path together, the name of a later process with the same identifier is learnt anew.
std::mutex learntMutex;
std::map<std::pair<process::ProcessId, std::string>, WidePath> learnt;

std::optional<WidePath> askWideExecutable(const process::ProcessEntry& entry) {
    const config::OwnedHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(entry.id)));
    if (!process.valid()) {
        return std::nullopt;
    }
    std::vector<wchar_t> wide(32768);
    DWORD size = static_cast<DWORD>(wide.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, wide.data(), &size) || size == 0) {
        return std::nullopt;
    }
    const auto convert = [&](UINT codePage, DWORD flags, const char* substitute) {
        const int bytes = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(size),
                                              nullptr, 0, substitute, nullptr);
        std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes > 0) {
            WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(size), text.data(),
                                bytes, substitute, nullptr);
        }
        return text;
    };
    // The same name as listed, so the same process: its identifier was not passed on.
    if (convert(CP_ACP, 0, nullptr) != entry.executable) {
        return std::nullopt;
    }
    return WidePath{convert(CP_UTF8, 0, nullptr), convert(CP_ACP, WC_NO_BEST_FIT_CHARS, "?")};
}

}  // namespace

std::optional<WidePath> wideExecutable(const process::ProcessEntry& entry) {
    if (entry.executable.empty()) {
        return std::nullopt;
    }
    const std::pair key{entry.id, entry.executable};
    const std::lock_guard lock(learntMutex);
    if (const auto known = learnt.find(key); known != learnt.end()) {
        return known->second;
    }
    std::optional<WidePath> wide = askWideExecutable(entry);
    if (wide) {
        learnt.emplace(key, *wide);
    }
    return wide;
}

}  // namespace veltrona::ctl
