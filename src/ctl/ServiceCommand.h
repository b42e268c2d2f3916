#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CtlOutput.h"

namespace veltrona::ctl {

// The Windows service that runs the server of a program folder, hosted by VeltronaCtl.exe.
inline constexpr const wchar_t* kServiceName = L"ZarvoServer";
inline constexpr const wchar_t* kServiceDisplayName = L"Zarvo DICOM storage server";

// The system refused to change its services for lack of rights (exit kNoPrivilege).
class ServiceRightsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The account the service runs under by default: its own virtual account, which holds no
// rights but those granted to it; LocalService where the system has no virtual accounts.
inline constexpr const char* kVirtualAccount = "NT SERVICE\\ZarvoServer";
inline constexpr const char* kLocalService = "NT AUTHORITY\\LocalService";

// What `service install` is asked for.
struct ServiceInstall {
    bool automaticStart = true;
    std::string account = kVirtualAccount;  // as given, in the system code page
    bool passwordOnInput = false;           // --password: read from standard input
    bool replace = false;                   // --replace: also the service of another folder
    std::optional<std::string> log;         // --log FILE: the server's output log, as given
};

// The command line the service manager starts the host with: `program` quoted, then
// "service host", then `--folder` with the program folder when it is not the program's
// own (without its closing separator, which would escape the closing quote).
// With `log`, then `--log` with that file.
std::wstring serviceCommandLine(const std::filesystem::path& program,
                                const std::optional<std::filesystem::path>& folder,
                                const std::optional<std::filesystem::path>& log = std::nullopt);

// The file the service keeps the server's output in: `log` (from the program folder when
// relative), else logs\ZarvoServer.log in the program folder.
std::filesystem::path serviceLogFile(const std::optional<std::string>& log,
                                     const std::filesystem::path& programFolder);

// The program folder whose server a service command line runs: its --folder, or the folder
// of its program; with a closing separator.
std::filesystem::path serviceFolder(const std::wstring& commandLine);

// `service install`, `service remove` and the host the service runs.
int runServiceInstall(const CtlContext& context, const ServiceInstall& request);
int runServiceRemove(const CtlContext& context);
int runServiceHost(const CtlContext& context, const std::optional<std::string>& log);

// What the operating system does for them; one implementation per OS, each throwing
// ServiceRightsError or std::runtime_error. Only Windows has such services: elsewhere each
// throws std::runtime_error saying so.
//
// Registers the service (or updates the one there) with `commandLine`, started at boot or
// by hand, under `account` (with `password` for an account of its own), restarted by the
// service manager should the host itself die, and its event source. Returns the account it
// runs under: `account`, or LocalService where the default virtual account cannot be had.
std::string installService(const std::wstring& commandLine, bool automaticStart,
                           const std::string& account, const std::optional<std::string>& password);
// Makes each of `writable` that is missing, and refuses a folder among them and
// `programFolder` that a link leads elsewhere (which grantServiceAccess refuses as well).
void prepareServiceFolders(const std::vector<std::filesystem::path>& writable,
                           const std::filesystem::path& programFolder);
// Lets `account` change files in each of `writable`, and read and run
// the programs of `programFolder` (an entry inherited by what is in them, added to theirs).
void grantServiceAccess(const std::string& account,
                        const std::vector<std::filesystem::path>& writable,
                        const std::filesystem::path& programFolder);
// The command line of the installed service, when there is one.
std::optional<std::wstring> installedServiceCommandLine();
// Stops the service when it runs and unregisters it with its event source; false when
// there was none.
bool removeService();
// Who besides administrators may change the file or folder `path`, or the files in the
// folder (the rule of ProgramFolderAcl.h on its permissions; the administrator asking counts
// as one), named as the system names them.
std::vector<std::string> nonAdministratorWritersOf(const std::filesystem::path& path);
// Runs as the service's process until the service manager or the server ends it.
// Keeps the server's output in `logFile`.
int hostService(const CtlContext& context, const std::filesystem::path& logFile);
// The running program's own path.
std::filesystem::path thisProgram();

}  // namespace veltrona::ctl
