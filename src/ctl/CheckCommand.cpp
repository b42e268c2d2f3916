#include "CheckCommand.h"

#include <filesystem>
#include <thread>

#include "EchoCommand.h"
#include "FolderAccess.h"
#include "FolderWalk.h"
#include "MetricsFile.h"
#include "ProcessSnapshot.h"
#include "ShownSettings.h"
#include "SpaceLook.h"
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
        const FolderSpace space = fileSystemSpace(folder, error);
        if (error) {
            figures.spaceError = jsonText(error.message());
        } else {
            figures.space = space;
        }
    }
    if (walking) {
        walker.join();
        figures.walk = walk;
    }
    return figures;
}

CheckTiming timingSince(Clock::time_point started) {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return {std::chrono::duration<double>(since).count(),
            std::chrono::duration<double>(Clock::now() - started).count()};
}

MetricLabels labelsOf(const HealthFigures& figures, const std::string& folder) {
    const PortCheck& port = figures.port;
    return {folder, figures.calledAeTitle,
            port.number ? std::to_string(*port.number) : port.configured};
}

}  // namespace

int runCheck(const CtlContext& context, const CheckOptions& options) {
    CheckAnswer answer = options.answer;
    answer.folder = jsonPath(context.programFolder);
    HealthFigures figures;
    try {
        figures = probe(context, options.limits);
    } catch (const config::FileError& error) {
        return refuseCheck(context.out, fileErrorText(error), answer);
    } catch (const std::exception& error) {
        return refuseCheck(context.out, error.what(), answer);
    }
    const HealthVerdict verdict = judgeHealth(figures, options.limits);
    if (answer.prometheusFile) {
        try {
            writeMetricsFile(systemPath(*answer.prometheusFile),
                             prometheusText(figures, verdict, labelsOf(figures, answer.folder),
                                            timingSince(answer.started)));
        } catch (const std::exception& error) {
            answer.prometheusFile.reset();  // that file is the one that cannot be written
            return refuseCheck(context.out, error.what(), answer);
        }
    }
    if (answer.json) {
        context.out
            << healthJson(figures, options.limits, verdict).text("folder", answer.folder).str()
            << "\n";
    } else {
        context.out << messageText(pluginLine(figures, options.limits, verdict));
        if (options.verbose) {
            context.out << messageText(itemLines(verdict));
        }
    }
    return static_cast<int>(verdict.health);
}

int refuseCheck(std::ostream& out, const std::string& reason, const CheckAnswer& answer) {
    std::string problem = reason;
    if (answer.prometheusFile) {
        try {
            writeMetricsFile(
                systemPath(*answer.prometheusFile),
                unknownPrometheusText({answer.folder, "", ""}, timingSince(answer.started)));
        } catch (const std::exception& error) {
            problem += "; " + std::string(error.what());
        }
    }
    if (answer.json) {
        JsonObject json = JsonObject()
                              .text("status", healthName(Health::Unknown))
                              .append(errorJson(static_cast<int>(Health::Unknown), problem));
        if (!answer.folder.empty()) {
            json.text("folder", answer.folder);  // as the check's own answer names it
        }
        out << json.str() << "\n";
    } else {
        out << unknownLine(problem);
    }
    return static_cast<int>(Health::Unknown);
}

}  // namespace veltrona::ctl
