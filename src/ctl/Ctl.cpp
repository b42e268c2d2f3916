#include "Ctl.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "BoundedLook.h"
#include "CheckCommand.h"
#include "CheckLine.h"
#include "CtlCommand.h"
#include "CtlOutput.h"
#include "EchoCommand.h"
#include "RunCommand.h"
#include "ServiceCommand.h"
#include "SettingsCommand.h"
#include "StartCommand.h"
#include "StatusCommand.h"
#include "StopCommand.h"
#include "config/file/FileAccess.h"
#include "process/ProgramFolder.h"

namespace veltrona::ctl {

namespace {

namespace fs = std::filesystem;

// The folder --folder names, absolute and ending with a separator, as the window holds
// its own.
fs::path namedFolder(const std::string& name) {
    const fs::path folder = systemPath(name);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw UsageError("--folder: \"" + name + "\" is not a folder");
    }
    return fs::absolute(folder).lexically_normal() / "";
}

int run(const CtlCommand& command, const CtlContext& context,
        std::chrono::steady_clock::time_point started) {
    switch (command.kind) {
        case CommandKind::Status:
            return runStatus(context, command.wait);
        case CommandKind::Start:
            return runStart(context, command.verbose, command.wait);
        case CommandKind::Stop:
            return runStop(context, command.wait, command.graceful);
        case CommandKind::Settings:
            return runSettings(context);
        case CommandKind::SettingsSet:
            return runSettingsSet(context, command.assignments, command.dryRun);
        case CommandKind::SettingsCheck:
            return runSettingsCheck(context);
        case CommandKind::Echo:
            return runEcho(context, {command.host, command.port, command.aeTitle, command.timeout});
        case CommandKind::Check:
            return runCheck(context, {{command.timeout, command.echoWarn, command.diskWarn,
                                       command.diskCrit, command.inodeWarn, command.inodeCrit},
                                      command.verbose,
                                      {command.json, command.prometheus, "", started}});
        case CommandKind::Run:
            return runRun(context);
        case CommandKind::ServiceInstall:
            return runServiceInstall(
                context, {command.automaticStart, command.account.value_or(kVirtualAccount),
                          command.password, command.replace, command.log});
        case CommandKind::ServiceRemove:
            return runServiceRemove(context);
        case CommandKind::ServiceHost:
            return runServiceHost(context, command.log);
        case CommandKind::Help:
        case CommandKind::Version:
            break;
    }
    return kUsage;
}

// How a command that did not get to its answer ends: `message` on the error stream and,
// with --json, the error object as the one answer on standard output (unless the command
// had written its answer already).
int fail(const CtlContext& context, const ShownTextBuffer& out, int exitCode,
         const std::string& message, const std::string& more = {}) {
    context.err << message << "\n" << more;
    if (context.json && out.written() == 0) {
        context.out << errorJson(exitCode, message).str() << "\n";
    }
    return exitCode;
}

}  // namespace

int runCtl(const std::vector<std::string>& arguments, process::ProcessPlatform& processes,
           std::ostream& rawOut, std::ostream& rawErr) {
    const auto started = std::chrono::steady_clock::now();
    // Every answer goes out with its control characters shown, never sent to the terminal.
    ShownTextBuffer outBuffer(rawOut.rdbuf());
    ShownTextBuffer errBuffer(rawErr.rdbuf());
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);

    CtlCommand command;
    fs::path folder;
    try {
        command = parseCommandLine(arguments);
        if (command.checkHelp) {
            out << checkHelpText();
            return kSuccess;
        }
        if (command.kind == CommandKind::Help) {
            out << helpText();
            return kSuccess;
        }
        if (command.kind == CommandKind::Version) {
            out << "VeltronaCtl " << VELTRONA_VERSION << "\n";
            return kSuccess;
        }
        folder = command.folder ? namedFolder(*command.folder) : process::programFolder();
    } catch (const UsageError& error) {
        if (error.command == CommandKind::Check || command.kind == CommandKind::Check) {
            // A monitoring plugin's usage error.
            return refuseCheck(out, error.what(), checkAnswerNamed(arguments, started));
        }
        command.json = command.json || error.json;
        return fail({folder, command.json, processes, out, err}, outBuffer, kUsage, error.what(),
                    usageText());
    } catch (const std::exception& error) {
        if (command.kind == CommandKind::Check) {
            return refuseCheck(out, error.what(), checkAnswerNamed(arguments, started));
        }
        return fail({folder, command.json, processes, out, err}, outBuffer, kFailure, error.what());
    }

    const CtlContext context{folder, command.json, processes, out, err};
    try {
        return run(command, context, started);
    } catch (const CtlError& error) {
        return fail(context, outBuffer, error.exitCode(), error.what());
    } catch (const config::FileError& error) {
        return fail(context, outBuffer, kFailure, fileErrorText(error));
    } catch (const std::exception& error) {
        return fail(context, outBuffer, kFailure, error.what());
    }
}

int endCtl(int status) {
    std::cout.flush();
    std::cerr.flush();
    if (looksStillRunning()) {
        std::_Exit(status);
    }
    return status;
}

}  // namespace veltrona::ctl
