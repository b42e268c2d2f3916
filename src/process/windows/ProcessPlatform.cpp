#include "process/windows/WindowsProcessPlatform.h"

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "config/file/windows/SystemError.h"
#include "config/text/windows/WideText.h"
#include "process/windows/GracefulEnd.h"

namespace veltrona::process {

namespace {

using config::OwnedHandle;
using config::systemMessage;

// The version record of the 8-bit interface, whatever the headers at hand call it.
constexpr DWORD kVersionRecordSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kVersionRecordSize);

constexpr DWORD kQueryAccess = 0x410;  // PROCESS_QUERY_INFORMATION | PROCESS_VM_READ
// All access rights as the oldest supported systems define them. Newer headers give the
// name a larger value, which those systems reject as a whole.
constexpr DWORD kAllAccess = 0x1F0FFF;

constexpr DWORD kPathBufferSize = 301;
constexpr std::size_t kExeFileSize = 260;
static_assert(sizeof(PROCESSENTRY32::szExeFile) == kExeFileSize);
// 296 is the record of 32-bit programs; tool help rejects a size below the record of the
// program's own width, so a 64-bit build gives its own.
constexpr DWORD kProcessEntrySize = sizeof(void*) == 4 ? 296 : sizeof(PROCESSENTRY32);
static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32) == 296);

constexpr unsigned long kFirstIdCapacity = 1024;
// A bound on the doubling in case an enumeration keeps filling any buffer it gets:
// far above the processes any system holds at once.
constexpr unsigned long kMaxIdCapacity = 1UL << 22;

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExAFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using CreateToolhelp32SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using Process32Fn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

// Process-wide and never released: a loaded library stays loaded until the program ends.
struct PsapiBinding {
    HMODULE library = nullptr;
    EnumProcessesFn enumProcesses = nullptr;
    EnumProcessModulesFn enumProcessModules = nullptr;
    GetModuleFileNameExAFn getModuleFileNameExA = nullptr;
};

struct ToolHelpBinding {
    bool bound = false;
    HMODULE kernel = nullptr;
    CreateToolhelp32SnapshotFn createSnapshot = nullptr;
    Process32Fn first = nullptr;
    Process32Fn next = nullptr;
};

std::mutex bindingMutex;
PsapiBinding psapiBinding;
ToolHelpBinding toolHelpBinding;

template <typename Fn>
Fn entryPoint(HMODULE module, const char* name) {
    // GetProcAddress returns one generic function pointer type for every export.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loads PSAPI.dll at the first use that finds it; a failed load is tried again at the
// next call. The copy returned has null entry points for whatever is not available.
PsapiBinding psapi() {
    std::lock_guard lock(bindingMutex);
    if (psapiBinding.library == nullptr) {
        HMODULE library = LoadLibraryA("PSAPI.dll");
        // Old systems answered a failed load with an error number below 32.
        if (reinterpret_cast<std::uintptr_t>(library) < 32) {
            return {};
        }
        psapiBinding.library = library;
        psapiBinding.enumProcesses = entryPoint<EnumProcessesFn>(library, "EnumProcesses");
        psapiBinding.enumProcessModules =
            entryPoint<EnumProcessModulesFn>(library, "EnumProcessModules");
        psapiBinding.getModuleFileNameExA =
            entryPoint<GetModuleFileNameExAFn>(library, "GetModuleFileNameExA");
    }
    return psapiBinding;
}

// Tool help lives in the already loaded kernel32.dll; it is looked up once.
ToolHelpBinding toolHelp() {
    std::lock_guard lock(bindingMutex);
    if (!toolHelpBinding.bound) {
        toolHelpBinding.bound = true;
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (kernel != nullptr) {
            toolHelpBinding.kernel = kernel;
            toolHelpBinding.createSnapshot =
                entryPoint<CreateToolhelp32SnapshotFn>(kernel, "CreateToolhelp32Snapshot");
            toolHelpBinding.first = entryPoint<Process32Fn>(kernel, "Process32First");
            toolHelpBinding.next = entryPoint<Process32Fn>(kernel, "Process32Next");
        }
    }
    return toolHelpBinding;
}

// The characters before the first zero byte, or all of them when there is none.
std::string textOfBuffer(const char* buffer, std::size_t size) {
    const void* zero = std::memchr(buffer, 0, size);
    return std::string(buffer, zero ? static_cast<const char*>(zero) - buffer : size);
}

// The path of the process's first module, its executable image; empty when either
// step fails.
std::optional<std::string> imagePath(const PsapiBinding& binding, HANDLE process) {
    if (binding.enumProcessModules == nullptr || binding.getModuleFileNameExA == nullptr) {
        return std::nullopt;
    }
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!binding.enumProcessModules(process, &module, sizeof module, &needed)) {
        return std::nullopt;
    }
    char buffer[kPathBufferSize];
    if (binding.getModuleFileNameExA(process, module, buffer, kPathBufferSize) == 0) {
        return std::nullopt;
    }
    return textOfBuffer(buffer, kPathBufferSize);
}

// Walks one snapshot, handing each entry to `visit` until it returns false.
template <typename Visit>
void walkSnapshot(Visit visit) {
    const ToolHelpBinding binding = toolHelp();
    if (binding.kernel == nullptr || binding.createSnapshot == nullptr) {
        return;
    }
    OwnedHandle snapshot(binding.createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid() || binding.first == nullptr) {
        return;
    }
    PROCESSENTRY32 record{};
    record.dwSize = kProcessEntrySize;
    if (!binding.first(snapshot.get(), &record)) {
        return;
    }
    do {
        if (!visit(record)) {
            return;
        }
    } while (binding.next != nullptr && binding.next(snapshot.get(), &record));
}

// The account of the process behind `process` ("DOMAIN\name", ANSI code page) from its
// token; empty where the token or the account's name cannot be had. Each account is
// looked up once per listing.
class TokenUsers {
  public:
    std::string userOf(HANDLE process) {
        HANDLE token = nullptr;
        if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
            return {};
        }
        const OwnedHandle owned(token);
        alignas(TOKEN_USER) unsigned char buffer[256];
        DWORD size = 0;
        if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
            return {};
        }
        PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
        for (const auto& [known, name] : names_) {
            if (EqualSid(const_cast<unsigned char*>(known.data()), sid)) {
                return name;
            }
        }
        char name[256];
        char domain[256];
        DWORD nameSize = sizeof name;
        DWORD domainSize = sizeof domain;
        SID_NAME_USE use;
        std::string text;
        if (LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
            text = domainSize > 0 ? std::string(domain) + "\\" + name : std::string(name);
        }
        const auto* bytes = static_cast<const unsigned char*>(sid);
        names_.emplace_back(std::vector<unsigned char>(bytes, bytes + GetLengthSid(sid)), text);
        return text;
    }

  private:
    std::vector<std::pair<std::vector<unsigned char>, std::string>> names_;
};

ProcessListing listByProcessStatus(bool withUsers) {
    ProcessListing listing;
    TokenUsers users;
    std::vector<ProcessEntry>& entries = listing.entries;
    const PsapiBinding binding = psapi();
    if (binding.enumProcesses == nullptr) {
        return listing;
    }
    const auto ids =
        collectProcessIds([&](unsigned long* ids, unsigned long bytes, unsigned long* written) {
            return binding.enumProcesses(ids, bytes, written) != FALSE;
        });
    // Every identifier is visited: nothing stops at a match.
    for (const ProcessId id : ids) {
        OwnedHandle process(OpenProcess(kQueryAccess, FALSE, id));
        if (!process.valid()) {
            // A process that ended meanwhile is refused as a bad parameter, and is no
            // refusal of a look.
            if (GetLastError() == ERROR_ACCESS_DENIED) {
                listing.uninspected.push_back({id, {}});
            }
            continue;
        }
        if (auto path = imagePath(binding, process.get())) {
            entries.push_back({id, std::move(*path), withUsers ? users.userOf(process.get()) : ""});
        }
    }
    if (!listing.uninspected.empty()) {
        // Tool help names every process without opening it.
        walkSnapshot([&](const PROCESSENTRY32& record) {
            for (ProcessEntry& refused : listing.uninspected) {
                if (refused.id == record.th32ProcessID) {
                    refused.executable = textOfBuffer(record.szExeFile, kExeFileSize);
                }
            }
            return true;
        });
    }
    return listing;
}

std::vector<ProcessEntry> listBySnapshot() {
    std::vector<ProcessEntry> entries;
    walkSnapshot([&](const PROCESSENTRY32& record) {
        entries.push_back({record.th32ProcessID, textOfBuffer(record.szExeFile, kExeFileSize)});
        return true;
    });
    return entries;
}

// Whether the process behind `process` still runs the executable `entry` names.
bool stillNames(WindowsListingRoad road, HANDLE process, const ProcessEntry& entry) {
    if (road == WindowsListingRoad::ProcessStatus) {
        const auto path = imagePath(psapi(), process);
        return path && *path == entry.executable;
    }
    bool same = false;
    walkSnapshot([&](const PROCESSENTRY32& record) {
        if (record.th32ProcessID != entry.id) {
            return true;
        }
        same = textOfBuffer(record.szExeFile, kExeFileSize) == entry.executable;
        return false;
    });
    return same;
}

// The shell's answers of 32 or less: some are its own codes, the rest system errors. Like
// systemMessage, without a closing period: the error box adds it.
std::string shellRefusal(INT_PTR result) {
    switch (result) {
        case 0:
            return "The system is out of memory or resources";
        case SE_ERR_ACCESSDENIED:
            return "Access is denied";
        case SE_ERR_ASSOCINCOMPLETE:
        case SE_ERR_NOASSOC:
            return "No program is associated with this file";
        case SE_ERR_DDEBUSY:
        case SE_ERR_DDEFAIL:
        case SE_ERR_DDETIMEOUT:
            return "The DDE transaction failed";
        case SE_ERR_DLLNOTFOUND:
            return "A required library was not found";
        case SE_ERR_SHARE:
            return "A sharing violation occurred";
        default:
            return systemMessage(static_cast<DWORD>(result));
    }
}

// While it lives, this process's standard handles are the null device, which is all that a
// program started meanwhile gets of them. The C runtime keeps its own copies, so this
// process's output goes on where it went.
class StandardHandlesOnNul {
  public:
    StandardHandlesOnNul()
        : nul_(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr)) {
        for (std::size_t i = 0; i < kKinds.size(); ++i) {
            saved_[i] = GetStdHandle(kKinds[i]);
            SetStdHandle(kKinds[i], nul_.valid() ? nul_.get() : nullptr);
        }
    }
    StandardHandlesOnNul(const StandardHandlesOnNul&) = delete;
    StandardHandlesOnNul& operator=(const StandardHandlesOnNul&) = delete;
    ~StandardHandlesOnNul() {
        for (std::size_t i = 0; i < kKinds.size(); ++i) {
            SetStdHandle(kKinds[i], saved_[i]);
        }
    }

  private:
    static constexpr std::array<DWORD, 3> kKinds{STD_INPUT_HANDLE, STD_OUTPUT_HANDLE,
                                                 STD_ERROR_HANDLE};
    OwnedHandle nul_;
    std::array<HANDLE, 3> saved_{};
};

// Opens the process `entry` names into `opened`, provided it still runs that program:
// Terminated stands for "yes, it is that program".
TerminateResult openChecked(WindowsListingRoad listing, const ProcessEntry& entry, HANDLE& opened) {
    if (listing == WindowsListingRoad::None) {
        return TerminateResult::Vanished;
    }
    opened = OpenProcess(kAllAccess, FALSE, entry.id);
    if (opened == nullptr) {
        // An identifier that names no process any more is refused as a bad parameter.
        return GetLastError() == ERROR_INVALID_PARAMETER ? TerminateResult::Vanished
                                                         : TerminateResult::Refused;
    }
    // The open handle keeps the identifier from passing to another process from here on.
    return stillNames(listing, opened, entry) ? TerminateResult::Terminated
                                              : TerminateResult::Vanished;
}

// Ends the open process with exit code 0, as the window's stop ends the server.
TerminateResult terminateOpen(HANDLE process) {
    if (TerminateProcess(process, 0)) {
        return TerminateResult::Terminated;
    }
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE) {
        return TerminateResult::Vanished;
    }
    return TerminateResult::Refused;
}

}  // namespace

WindowsListingRoad currentListingRoad() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = kVersionRecordSize;
    if (!GetVersionExA(&version)) {
        return WindowsListingRoad::None;
    }
    switch (version.dwPlatformId) {
        case VER_PLATFORM_WIN32_WINDOWS:
            return WindowsListingRoad::Snapshot;
        case VER_PLATFORM_WIN32_NT:
            return WindowsListingRoad::ProcessStatus;
        default:
            return WindowsListingRoad::None;
    }
}

std::vector<ProcessId> collectProcessIds(const ProcessIdEnumeration& enumerate) {
    std::vector<unsigned long> buffer(kFirstIdCapacity);
    for (;;) {
        const auto bytes = static_cast<unsigned long>(buffer.size() * sizeof(unsigned long));
        unsigned long written = 0;
        if (!enumerate(buffer.data(), bytes, &written)) {
            return {};
        }
        // A full buffer may have cut the list short; only a call with room to spare is
        // known to be whole.
        if (written < bytes || buffer.size() >= kMaxIdCapacity) {
            const std::size_t count = std::min<std::size_t>(written, bytes) / sizeof(unsigned long);
            return std::vector<ProcessId>(buffer.begin(), buffer.begin() + count);
        }
        buffer.assign(buffer.size() * 2, 0);
    }
}

WindowsProcessPlatform::WindowsProcessPlatform(std::optional<WindowsListingRoad> road)
    : fixedRoad_(road) {}

WindowsListingRoad WindowsProcessPlatform::road() const {
    return fixedRoad_ ? *fixedRoad_ : currentListingRoad();
}

PathSyntax WindowsProcessPlatform::pathSyntax() const {
    return PathSyntax::Windows;
}

std::vector<ProcessEntry> WindowsProcessPlatform::listProcesses() {
    // The window's poll, once a second, asks no process token.
    if (road() == WindowsListingRoad::ProcessStatus) {
        return listByProcessStatus(false).entries;
    }
    return inspectProcesses().entries;
}

ProcessListing WindowsProcessPlatform::inspectProcesses() {
    switch (road()) {
        case WindowsListingRoad::ProcessStatus:
            return listByProcessStatus(true);
        case WindowsListingRoad::Snapshot:
            return {listBySnapshot(), {}};
        case WindowsListingRoad::None:
            break;
    }
    return {};
}

TerminateResult WindowsProcessPlatform::terminate(const ProcessEntry& entry) {
    HANDLE opened = nullptr;
    const TerminateResult check = openChecked(road(), entry, opened);
    const OwnedHandle process(opened);
    if (check != TerminateResult::Terminated) {
        return check;
    }
    return terminateOpen(process.get());
}

GracefulTermination WindowsProcessPlatform::terminateGracefully(const ProcessEntry& entry,
                                                                std::chrono::milliseconds grace) {
    HANDLE opened = nullptr;
    const TerminateResult check = openChecked(road(), entry, opened);
    const OwnedHandle process(opened);
    if (check != TerminateResult::Terminated) {
        return {check, false};
    }
    const auto wait = std::clamp<std::chrono::milliseconds::rep>(grace.count(), 0, INFINITE - 1);
    if (askToEndWithin(process.get(), entry.id, static_cast<DWORD>(wait))) {
        return {TerminateResult::Terminated, false};
    }
    const TerminateResult result = terminateOpen(process.get());
    return {result, result == TerminateResult::Terminated};
}

void WindowsProcessPlatform::launch(const std::filesystem::path& program,
                                    const std::string& parameters, bool shown) {
    // The wide call names the program by its path as the module's wide name gave it, so
    // a folder outside the ANSI code page starts too. The parameters become UTF-16 just
    // as the ANSI call would convert them, so the server reads the same bytes.
    const std::wstring wideParameters = config::widen(parameters, CP_ACP);
    // The server must not get this process's standard handles: a caller's pipe, such as
    // the output of VeltronaCtl start read by a script, would stay open as long as it runs.
    const StandardHandlesOnNul onNul;
    const HINSTANCE result =
        ShellExecuteW(ownerWindow_, L"open", program.c_str(), wideParameters.c_str(), nullptr,
                      shown ? SW_SHOW : SW_HIDE);
    const auto code = reinterpret_cast<INT_PTR>(result);
    if (code <= 32) {
        throw LaunchError(shellRefusal(code));
    }
}

std::unique_ptr<ProcessPlatform> createProcessPlatform() {
    return std::make_unique<WindowsProcessPlatform>();
}

}  // namespace veltrona::process
