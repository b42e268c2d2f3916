#include <stdexcept>
#include <system_error>

#include "ctl/ServiceCommand.h"
#include "process/ProgramFolder.h"

namespace veltrona::ctl {

namespace {

[[noreturn]] void noServices() {
    throw std::runtime_error(
        "Windows services exist on Windows only; here the systemd unit zarvo-server.service "
        "runs the server (systemctl enable --now zarvo-server)");
}

}  // namespace

std::string installService(const std::wstring&, bool, const std::string&,
                           const std::optional<std::string>&) {
    noServices();
}

void prepareServiceFolders(const std::vector<std::filesystem::path>&,
                           const std::filesystem::path&) {
    noServices();
}

void grantServiceAccess(const std::string&, const std::vector<std::filesystem::path>&,
                        const std::filesystem::path&) {
    noServices();
}

std::optional<std::wstring> installedServiceCommandLine() {
    noServices();
}

bool removeService() {
    noServices();
}

std::vector<std::string> nonAdministratorWritersOf(const std::filesystem::path&) {
    noServices();
}

int hostService(const CtlContext&, const std::filesystem::path&) {
    noServices();
}

std::filesystem::path thisProgram() {
    std::error_code error;
    std::filesystem::path path = process::programPath(error);
    if (error) {
        throw std::runtime_error("cannot find the program folder: /proc/self/exe: " +
                                 error.message());
    }
    return path;
}

}  // namespace veltrona::ctl
