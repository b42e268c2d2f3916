#include "ServiceCommand.h"

#include <algorithm>
#include <cwctype>
#include <iostream>
#include <utility>

#include "ShownSettings.h"
#include "StartLock.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace fs = std::filesystem;

std::wstring serviceCommandLine(const fs::path& program, const std::optional<fs::path>& folder,
                                const std::optional<fs::path>& log) {
    std::wstring line = L"\"" + program.wstring() + L"\" service host";
    if (folder) {
        std::wstring name = folder->wstring();
        while (name.size() > 1 && (name.back() == L'\\' || name.back() == L'/')) {
            name.pop_back();
        }
        line += L" --folder \"" + name + L"\"";
    }
    if (log) {
        line += L" --log \"" + log->wstring() + L"\"";
    }
    return line;
}

fs::path serviceLogFile(const std::optional<std::string>& log, const fs::path& programFolder) {
    if (!log) {
        return programFolder / "logs" / "ZarvoServer.log";
    }
    const fs::path file = systemPath(*log);
    return (file.is_absolute() ? file : programFolder / file).lexically_normal();
}

fs::path serviceFolder(const std::wstring& commandLine) {
    constexpr std::wstring_view kFolder = L" --folder \"";
    const std::size_t folder = commandLine.find(kFolder);
    if (folder != std::wstring::npos) {
        const std::size_t begin = folder + kFolder.size();
        return fs::path(commandLine.substr(begin, commandLine.find(L'"', begin) - begin)) / "";
    }
    const bool quoted = commandLine.starts_with(L'"');
    const std::size_t end = commandLine.find(quoted ? L'"' : L' ', quoted ? 1 : 0);
    const std::wstring program = commandLine.substr(quoted ? 1 : 0, end - (quoted ? 1 : 0));
    return fs::path(program).parent_path() / "";
}

namespace {

// A folder of Server.INI as the server takes it: a relative one from the program folder,
// where the service starts it.
fs::path settingsFolder(const std::string& shown, const fs::path& programFolder) {
    const fs::path folder = systemPath(messageText(shown));
    return (folder.is_absolute() ? folder : programFolder / folder).lexically_normal();
}

// Text to compare as Windows compares paths: letter case and the separator's form ignored.
std::wstring lowered(std::wstring text) {
    for (wchar_t& c : text) {
        c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

// A service command line without its --log, which comes last: the same service with another
// log file.
std::wstring withoutLog(const std::wstring& commandLine) {
    return commandLine.substr(0, commandLine.find(L" --log \""));
}

// Whether `outer` is `inner` or a folder above it, in the system's letter case rules.
bool holds(const fs::path& outer, const fs::path& inner) {
    auto key = [](const fs::path& path) {
        return lowered((path / "").lexically_normal().wstring());
    };
    return key(inner).starts_with(key(outer));
}

// The image and database folders the service's account may write: never one that holds
// the programs, which that account would then be able to change.
std::vector<fs::path> writableFolders(const CtlContext& context) {
    const ShownSettings settings = readShownSettings(context);
    std::vector<fs::path> folders;
    for (const auto& [name, shown] : {std::pair{"image folder -od", settings.shown.imageFolder},
                                      std::pair{"database folder -db", settings.shown.database}}) {
        if (shown.empty()) {
            continue;
        }
        const fs::path folder = settingsFolder(shown, context.programFolder);
        if (holds(folder, context.programFolder)) {
            throw std::runtime_error(std::string("The ") + name + " " + messagePath(folder) +
                                     " holds the program folder: the service's account would "
                                     "be able to change its programs. Give it a folder of its "
                                     "own (VeltronaCtl settings set -od=...)");
        }
        if (folders.empty() || !holds(folders.front(), folder)) {
            folders.push_back(folder);
        }
    }
    return folders;
}

// The first of the programs the service would run, and their folders, that others than
// administrators may change, with who may: they could make the service run what they like.
std::optional<std::pair<fs::path, std::vector<std::string>>> changeableProgram(
    const fs::path& program, const fs::path& programFolder) {
    for (const fs::path& path : {program.parent_path() / "", program, programFolder,
                                 programFolder / server::kServerExecutableName}) {
        std::error_code missing;
        if (!fs::exists(path, missing)) {
            continue;  // a server that is not there yet is judged by its folder
        }
        std::vector<std::string> writers = nonAdministratorWritersOf(path);
        if (!writers.empty()) {
            return std::pair{path, std::move(writers)};
        }
    }
    return std::nullopt;
}

std::string listed(const std::vector<fs::path>& folders) {
    std::string text;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        text += (i == 0 ? "" : " and ") + messagePath(folders[i]);
    }
    return text;
}

}  // namespace

int runServiceInstall(const CtlContext& context, const ServiceInstall& request) {
    for (const std::wstring system :
         {L"localsystem", L".\\localsystem", L"system", L"nt authority\\system"}) {
        if (lowered(fs::path(request.account).wstring()) == system) {
            context.err << "The service does not run as LocalSystem, who may do anything on "
                           "this machine: leave --account out (NT SERVICE\\ZarvoServer) or name "
                           "an account with only the rights it needs\n";
            return kFailure;
        }
    }
    const fs::path program = thisProgram();
    // The folder VeltronaCtl found for itself, unless --folder named another.
    const bool ownFolder =
        (program.parent_path() / "").lexically_normal() == context.programFolder.lexically_normal();
    const fs::path logFile = serviceLogFile(request.log, context.programFolder);
    const std::wstring commandLine =
        serviceCommandLine(program, ownFolder ? std::nullopt : std::optional(context.programFolder),
                           request.log ? std::optional(logFile) : std::nullopt);
    // One service: the one of another folder is re-pointed here only when asked to.
    if (const auto installed = installedServiceCommandLine();
        installed && !request.replace &&
        lowered(withoutLog(*installed)) != lowered(withoutLog(commandLine))) {
        context.err << "Service ZarvoServer runs the server of "
                    << messagePath(serviceFolder(*installed))
                    << "; remove it there first (VeltronaCtl service remove), or give --replace "
                       "to run the server of "
                    << messagePath(context.programFolder) << " instead\n";
        return kFailure;
    }
    if (const auto changeable = changeableProgram(program, context.programFolder)) {
        std::string who;
        for (const std::string& writer : changeable->second) {
            who += (who.empty() ? "" : ", ") + writer;
        }
        std::string folder =
            messagePath(fs::is_directory(changeable->first) ? changeable->first
                                                            : changeable->first.parent_path());
        if (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) {
            folder.pop_back();  // before a closing quote it would escape it
        }
        context.err << messagePath(changeable->first) << " can be changed by " << who
                    << ", who are no administrators: the service would run what they put there. "
                       "Let only administrators change it (icacls \""
                    << folder
                    << "\" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F "
                       "*S-1-5-32-545:(OI)(CI)RX), as the installer does\n";
        return kNoPrivilege;
    }
    std::vector<fs::path> writable = writableFolders(context);
    // The log's folder, the one folder the account may write among the programs.
    const fs::path logFolder = logFile.parent_path();
    if (holds(logFolder, context.programFolder)) {
        context.err << "The log's folder " << messagePath(logFolder)
                    << " holds the program folder: the service's account would be able to "
                       "change its programs. Name a file in a folder of its own (--log)\n";
        return kFailure;
    }
    if (std::none_of(writable.begin(), writable.end(),
                     [&](const fs::path& folder) { return holds(folder, logFolder); })) {
        writable.push_back(logFolder);
    }
    prepareServiceFolders(writable, context.programFolder);
    // The start lock is made now, by an administrator: the service's account may only read
    // the program folder, and takes the lock on the file that is there.
    try {
        StartLock(context.programFolder).release();
    } catch (const StartLockError& error) {
        context.err << error.what() << "\n";
        return kFailure;
    }
    std::optional<std::string> password;
    if (request.passwordOnInput) {
        password.emplace();
        std::getline(std::cin, *password);
        if (!password->empty() && password->back() == '\r') {
            password->pop_back();
        }
    }
    std::string account;
    try {
        account = installService(commandLine, request.automaticStart, request.account, password);
    } catch (const ServiceRightsError& refused) {
        context.err << refused.what() << "\n";
        return kNoPrivilege;
    }
    context.out << "Service ZarvoServer installed, started "
                << (request.automaticStart ? "at boot" : "by hand") << ": " << messagePath(program)
                << " runs " << messagePath(context.programFolder / server::kServerExecutableName)
                << " as " << account << "\n";
    grantServiceAccess(account, writable, context.programFolder);
    context.out << account << " may change files in "
                << (writable.empty() ? std::string("no folder") : listed(writable))
                << ", and read and run those of " << messagePath(context.programFolder) << "\n";
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

int runServiceHost(const CtlContext& context, const std::optional<std::string>& log) {
    return hostService(context, serviceLogFile(log, context.programFolder));
}

}  // namespace veltrona::ctl
