#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

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

// The command line the service manager starts the host with: `program` quoted, then
// "service host", then `--folder` with the program folder when it is not the program's
// own (without its closing separator, which would escape the closing quote).
std::wstring serviceCommandLine(const std::filesystem::path& program,
                                const std::optional<std::filesystem::path>& folder);

// `service install`, `service remove` and the host the service runs.
int runServiceInstall(const CtlContext& context, bool automaticStart);
int runServiceRemove(const CtlContext& context);
int runServiceHost(const CtlContext& context);

// What the operating system does for them; one implementation per OS, each throwing
// ServiceRightsError or std::runtime_error. Only Windows has such services: elsewhere each
// throws std::runtime_error saying so.
//
// Registers the service (or updates the one there) with `commandLine`, started at boot or
// by hand, restarted by the service manager should the host itself die, and its event
// source.
void installService(const std::wstring& commandLine, bool automaticStart);
// Stops the service when it runs and unregisters it with its event source; false when
// there was none.
bool removeService();
// Runs as the service's process until the service manager or the server ends it.
int hostService(const CtlContext& context);
// The running program's own path.
std::filesystem::path thisProgram();

}  // namespace veltrona::ctl
