#include "ServiceCommand.h"

#include <ostream>

namespace veltrona::ctl {

namespace fs = std::filesystem;

std::wstring serviceCommandLine(const fs::path& program, const std::optional<fs::path>& folder) {
    std::wstring line = L"\"" + program.wstring() + L"\" service host";
    if (folder) {
        std::wstring name = folder->wstring();
        while (name.size() > 1 && (name.back() == L'\\' || name.back() == L'/')) {
            name.pop_back();
        }
        line += L" --folder \"" + name + L"\"";
    }
    return line;
}

int runServiceInstall(const CtlContext& context, bool automaticStart) {
    const fs::path program = thisProgram();
    // The folder VeltronaCtl found for itself, unless --folder named another.
    const bool ownFolder =
        (program.parent_path() / "").lexically_normal() == context.programFolder.lexically_normal();
    try {
        installService(
            serviceCommandLine(program,
                               ownFolder ? std::nullopt : std::optional(context.programFolder)),
            automaticStart);
    } catch (const ServiceRightsError& refused) {
        context.err << refused.what() << "\n";
        return kNoPrivilege;
    }
    context.out << "Service ZarvoServer installed, started "
                << (automaticStart ? "at boot" : "by hand") << ": " << messagePath(program)
                << " runs " << messagePath(context.programFolder / "ZarvoServer.exe") << "\n";
    return kSuccess;
}

int runServiceRemove(const CtlContext& context) {
    try {
        if (!removeService()) {
            context.out << "Service ZarvoServer is not installed\n";
            return kSuccess;
        }
    } catch (const ServiceRightsError& refused) {
        context.err << refused.what() << "\n";
        return kNoPrivilege;
    }
    context.out << "Service ZarvoServer removed\n";
    return kSuccess;
}

int runServiceHost(const CtlContext& context) {
    return hostService(context);
}

}  // namespace veltrona::ctl
