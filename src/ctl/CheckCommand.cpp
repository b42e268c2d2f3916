#include "CheckCommand.h"

#include <filesystem>
#include <thread>

#include "EchoCommand.h"
#include "FolderAccess.h"
#include "FolderWalk.h"
#include "MetricsFile.h"
#include "ProcessSnapshot.h"
#include "ShownSettings.h"
#include "config/text/CodePage.h"

namespace veltrona::ctl {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using FolderState = HealthFigures::FolderState;

// The image folder as the server takes it: a relative one from the program folder,
// where the window's launch and the service start it.
fs::path imageFolderPath(const std::string& shown, const fs::path& programFolder) {
    const fs::path folder = systemPath(messageText(shown));
    return folder.is_absolute() ? folder : programFolder / folder;
}

FolderState folderState(const fs::path& folder, std::string& error) {
    std::error_code code;
    const fs::file_status status = fs::status(folder, code);
    if (status.type() == fs::file_type::not_found) {
        return FolderState::Missing;
    }
    if (code) {
        error = jsonText(code.message());  // looked at below, where the reason is told
        return FolderState::Present;
    }
    return status.type() == fs::file_type::directory ? FolderState::Present
                                                     : FolderState::NotAFolder;
}

HealthFigures probe(const CtlContext& context, const HealthLimits& limits) {
    const Clock::time_point deadline = Clock::now() + limits.timeout;
    dicom::useCommandDictionaryOnly();  // the echo is all the DICOM this process does
    const ShownSettings settings = readShownSettings(context);
    HealthFigures figures;
    figures.fifoMaxMByte = settings.shown.fifoMax;
    figures.calledAeTitle = settings.shown.aeTitle;

    fs::path folder;
    if (!settings.shown.imageFolder.empty()) {
        folder = imageFolderPath(settings.shown.imageFolder, context.programFolder);
        figures.imageFolder = jsonPath(folder);
        figures.folderState = folderState(folder, figures.spaceError);
    }
    // The walk is the slow look: it runs beside the other looks, under the same deadline.
    std::thread walker;
    FolderWalk walk;
    struct Joiner {
        std::thread& thread;
        ~Joiner() {
            if (thread.joinable()) {
                thread.join();
            }
        }
    } joiner{walker};
    const bool walking = figures.fifoMaxMByte > 0 && figures.folderState == FolderState::Present;
    if (walking) {
        walker = std::thread([&] { walk = walkFolder(folder, deadline); });
    }

    const ProcessSnapshot snapshot(context.processes, context.programFolder);
    figures.servers = snapshot.servers();
    figures.elsewhere = snapshot.elsewhere();
    figures.uninspected = snapshot.uninspected();
    // Before the echo, which may take up to the whole timeout.
    const bool named =
        figures.folderState == FolderState::Present || figures.folderState == FolderState::Missing;
    if (named) {
        const std::optional<process::ProcessEntry> server =
            figures.servers.empty() ? std::nullopt : std::optional(figures.servers.front());
        figures.access = serverWriteAccess(folder, server, deadline);
    }
    figures.port = checkPort(settings.shown.port, snapshot, figures.servers);
    // Only the server is sent DICOM: not another program that holds its port.
    if (figures.port.serverListens || (figures.port.listening && figures.port.holders.empty())) {
        figures.echo = dicom::echo("127.0.0.1", *figures.port.number, figures.calledAeTitle,
                                   kCallingAeTitle, limits.timeout);
    }

    if (figures.folderState == FolderState::Present && figures.spaceError.empty()) {
        std::error_code error;
        const fs::space_info space = fs::space(folder, error);
        if (error) {
            figures.spaceError = jsonText(error.message());
        } else {
            figures.space = FolderSpace{space.capacity, space.available};
        }
    }
    if (walking) {
        walker.join();
        figures.walk = walk;
    }
    return figures;
}

}  // namespace

int runCheck(const CtlContext& context, const CheckOptions& options) {
    HealthFigures figures;
    try {
        figures = probe(context, options.limits);
    } catch (const config::FileError& error) {
        return refuseCheck(context.out, fileErrorText(error));
    } catch (const std::exception& error) {
        return refuseCheck(context.out, error.what());
    }
    const HealthVerdict verdict = judgeHealth(figures, options.limits);
    if (options.prometheusFile) {
        try {
            writeMetricsFile(systemPath(*options.prometheusFile), prometheusText(figures, verdict));
        } catch (const std::exception& error) {
            return refuseCheck(context.out, error.what());
        }
    }
    if (context.json) {
        context.out << healthJson(figures, options.limits, verdict)
                           .text("folder", jsonPath(context.programFolder))
                           .str()
                    << "\n";
    } else {
        context.out << messageText(pluginLine(figures, options.limits, verdict));
    }
    return static_cast<int>(verdict.health);
}

int refuseCheck(std::ostream& out, const std::string& reason) {
    out << unknownLine(reason);
    return static_cast<int>(Health::Unknown);
}

}  // namespace veltrona::ctl
