// The service's registration with the service control manager and the event log.
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "config/file/windows/SystemError.h"
#include "config/text/windows/WideText.h"
#include "ctl/ServiceCommand.h"
#include "ctl/windows/ServiceAccount.h"
#include "process/ProgramFolder.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

constexpr const wchar_t* kEventSourceKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ZarvoServer";
// ms for a running service to stop before its removal: its host gives the server 10 s to end
// on request before it ends it hard.
constexpr DWORD kStopWait = 15000;

// A handle of the service control manager, closed with the scope.
class ServiceHandle {
  public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    SC_HANDLE handle_;
};

[[noreturn]] void fail(const std::string& what, DWORD error = GetLastError()) {
    if (error == ERROR_ACCESS_DENIED) {
        throw ServiceRightsError(what +
                                 " needs administrator rights: run VeltronaCtl as an "
                                 "administrator (an elevated command prompt)");
    }
    throw std::runtime_error(what + ": " + config::systemMessage(error));
}

void registerEventSource(const std::wstring& messageFile) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return;  // the events are still written, only without a registered source
    }
    // The host's own message table gives the events their text.
    RegSetValueExW(key, L"EventMessageFile", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(messageFile.c_str()),
                   static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t)));
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                   sizeof types);
    RegCloseKey(key);
}

void restartHostOnFailure(SC_HANDLE service) {
    // Should the host itself die, the service control manager starts it again: after 1 s,
    // then 5 s, then every minute, counted afresh after ten minutes without a failure.
    SC_ACTION actions[] = {
        {SC_ACTION_RESTART, 1000}, {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 600;
    failure.cActions = sizeof actions / sizeof actions[0];
    failure.lpsaActions = actions;
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
        fail("Setting the service's failure actions");
    }
}

// Creates the service, or changes the one there, to run under `account`.
SC_HANDLE registerService(SC_HANDLE manager, std::optional<ServiceHandle>& existing,
                          const std::wstring& commandLine, DWORD start, const std::wstring& account,
                          const wchar_t* password) {
    SC_HANDLE created =
        CreateServiceW(manager, kServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, start, SERVICE_ERROR_NORMAL, commandLine.c_str(),
                       nullptr, nullptr, nullptr, account.c_str(), password);
    if (created != nullptr || GetLastError() != ERROR_SERVICE_EXISTS) {
        return created;
    }
    if (!existing) {
        existing.emplace(OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS));
        if (!*existing) {
            return nullptr;
        }
    }
    // The empty password of an account that takes none replaces one given before.
    if (!ChangeServiceConfigW(existing->get(), SERVICE_WIN32_OWN_PROCESS, start,
                              SERVICE_ERROR_NORMAL, commandLine.c_str(), nullptr, nullptr, nullptr,
                              account.c_str(), password == nullptr ? L"" : password,
                              kServiceDisplayName)) {
        return nullptr;
    }
    return existing->get();
}

}  // namespace

std::string installService(const std::wstring& commandLine, bool automaticStart,
                           const std::string& account, const std::optional<std::string>& password) {
    const ServiceHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        fail("Installing the service");
    }
    const DWORD start = automaticStart ? SERVICE_AUTO_START : SERVICE_DEMAND_START;
    std::wstring name = config::widen(account, CP_ACP);
    const std::wstring secret = password ? config::widen(*password, CP_ACP) : std::wstring();
    if (!isBuiltInServiceAccount(name)) {
        allowServiceLogon(name);
    }
    std::optional<ServiceHandle> existing;
    SC_HANDLE registered = registerService(manager.get(), existing, commandLine, start, name,
                                           password ? secret.c_str() : nullptr);
    std::string runsAs = account;
    // Systems before virtual service accounts refuse the default one: LocalService then.
    if (registered == nullptr && GetLastError() == ERROR_INVALID_SERVICE_ACCOUNT &&
        account == kVirtualAccount) {
        name = config::widen(kLocalService, CP_ACP);
        runsAs = kLocalService;
        registered = registerService(manager.get(), existing, commandLine, start, name, nullptr);
    }
    std::optional<ServiceHandle> created;
    if (registered == nullptr) {
        fail("Installing the service as " + account);
    }
    if (!existing) {
        created.emplace(registered);
    }
    SC_HANDLE service = registered;
    SERVICE_DESCRIPTIONW description{};
    std::wstring text = L"Runs the DICOM storage server " +
                        config::widen(server::kServerExecutableName, CP_UTF8) +
                        L" with the settings of Server.INI, as "
                        L"Veltrona Administration starts it, and starts it again after a crash.";
    description.lpDescription = text.data();
    ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description);
    restartHostOnFailure(service);
    registerEventSource(thisProgram().wstring());
    return runsAs;
}

std::optional<std::wstring> installedServiceCommandLine() {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        fail("Installing the service");
    }
    const ServiceHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_CONFIG));
    if (!service) {
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            return std::nullopt;
        }
        fail("Reading the installed service");
    }
    DWORD size = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (size == 0 || !QueryServiceConfigW(service.get(), config, size, &size)) {
        fail("Reading the installed service");
    }
    return std::wstring(config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : L"");
}

bool removeService() {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        fail("Removing the service");
    }
    const ServiceHandle service(
        OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) {
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            return false;
        }
        fail("Removing the service");
    }
    SERVICE_STATUS status{};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        const ULONGLONG deadline = GetTickCount64() + kStopWait;
        while (QueryServiceStatus(service.get(), &status) &&
               status.dwCurrentState != SERVICE_STOPPED && GetTickCount64() < deadline) {
            Sleep(50);
        }
        // Removed while its host still runs, the service would go only once that ends, and
        // the host's program could not be deleted meanwhile (an uninstaller relies on it).
        if (status.dwCurrentState != SERVICE_STOPPED) {
            throw std::runtime_error("The service ZarvoServer did not stop within " +
                                     std::to_string(kStopWait / 1000) +
                                     " s; it stays installed (try again, or sc stop ZarvoServer)");
        }
    }
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
        fail("Removing the service");
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
    return true;
}

std::filesystem::path thisProgram() {
    std::error_code error;
    std::filesystem::path path = process::programPath(error);
    if (error) {
        fail("Finding VeltronaCtl.exe", static_cast<DWORD>(error.value()));
    }
    return path;
}

}  // namespace veltrona::ctl
