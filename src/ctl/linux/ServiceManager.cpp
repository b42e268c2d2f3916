#include <stdexcept>

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

void installService(const std::wstring&, bool) {
    noServices();
}

bool removeService() {
    noServices();
}

int hostService(const CtlContext&) {
    noServices();
}

std::filesystem::path thisProgram() {
    return process::programFolder() / "VeltronaCtl";
}

}  // namespace veltrona::ctl
