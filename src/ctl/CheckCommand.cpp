#include "CheckCommand.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "BoundedLook.h"
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

// How long past the deadline a look that ends itself there may take to hand over.
constexpr std::chrono::milliseconds kHandOver{50};

// The image folder as the server takes it: a relative one from the program folder,
// where the window's launch and the service start it.
fs::path imageFolderPath(const std::string& shown, const fs::path& programFolder) {
    const fs::path folder = systemPath(messageText(shown));
    return folder.is_absolute() ? folder : programFolder / folder;
}

struct FolderStatus {
    FolderState state = FolderState::Unnamed;
    std::string error;  // why it could not be looked at, where the reason is told below
};

FolderStatus folderStatus(const fs::path& folder) {
    std::error_code code;
    const fs::file_status status = fs::status(folder, code);
    if (status.type() == fs::file_type::not_found) {
        return {FolderState::Missing, ""};
    }
    if (code) {
        return {FolderState::Present, jsonText(code.message())};
    }
    return {
        status.type() == fs::file_type::directory ? FolderState::Present : FolderState::NotAFolder,
        ""};
}

struct FoundSpace {
    std::optional<FolderSpace> space;
    std::string error;
};

FoundSpace folderSpace(const fs::path& folder) {
    std::error_code error;
    const FolderSpace space = fileSystemSpace(folder, error);
    if (error) {
        return {std::nullopt, jsonText(error.message())};
    }
    return {space, ""};
}

// Server.INI, read under the deadline as well: the program folder may lie on a file
// system that does not answer either.
ShownSettings settingsWithin(const CtlContext& context, Clock::time_point deadline,
                             std::chrono::milliseconds timeout) {
    struct Read {
        ShownSettings settings;
        std::string warnings;
    };
    const BoundedLook<Read> look(
        [folder = context.programFolder, json = context.json, &processes = context.processes] {
            std::ostringstream out;
            std::ostringstream err;
            const Read read{readShownSettings({folder, json, processes, out, err}), err.str()};
            return read;
        });
    const std::optional<Read> read = look.answer(deadline);
    if (!read) {
        throw std::runtime_error("Server.INI could not be read within " + secondsText(timeout));
    }
    context.err << read->warnings;
    return read->settings;
}

// Every look at the file system runs on a thread of its own and is waited for until the
// deadline only; what had no answer by then is named in `figures.unanswered`.
HealthFigures probe(const CtlContext& context, const HealthLimits& limits) {
    const Clock::time_point deadline = Clock::now() + limits.timeout;
    dicom::useCommandDictionaryOnly();  // the echo is all the DICOM this process does
    const ShownSettings settings = settingsWithin(context, deadline, limits.timeout);
    HealthFigures figures;
    figures.fifoMaxMByte = settings.shown.fifoMax;
    figures.calledAeTitle = settings.shown.aeTitle;
    const auto unanswered = [&](const char* look) { figures.unanswered.emplace_back(look); };

    fs::path folder;
    std::optional<BoundedLook<FolderStatus>> status;
    if (!settings.shown.imageFolder.empty()) {
        folder = imageFolderPath(settings.shown.imageFolder, context.programFolder);
        figures.imageFolder = jsonPath(folder);
        status.emplace([folder] { return folderStatus(folder); });
    }

    const ProcessSnapshot snapshot(context.processes, context.programFolder);
    figures.servers = snapshot.servers();
    figures.elsewhere = snapshot.elsewhere();
    figures.uninspected = snapshot.uninspected();
    figures.port = checkPort(settings.shown.port, snapshot, figures.servers);
    // The echo, which may take up to the whole timeout, runs beside the looks at the
    // folder; only the server is sent DICOM, not another program that holds its port.
    std::optional<BoundedLook<dicom::EchoResult>> echo;
    if (figures.port.serverListens || (figures.port.listening && figures.port.holders.empty())) {
        const auto left =
            std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                     std::chrono::milliseconds(1));
        echo.emplace([port = *figures.port.number, called = figures.calledAeTitle, left] {
            return dicom::echo("127.0.0.1", port, called, kCallingAeTitle, left);
        });
    }

    if (status) {
        if (const std::optional<FolderStatus> found = status->answer(deadline)) {
            figures.folderState = found->state;
            figures.spaceError = found->error;
        } else {
            figures.folderState = FolderState::Unanswered;
            unanswered("status");
        }
    }
    const bool present = figures.folderState == FolderState::Present;
    // The walk is the slow look: it runs beside the others, under the same deadline.
    std::optional<BoundedLook<FolderWalk>> walk;
    if (figures.fifoMaxMByte > 0 && present) {
        walk.emplace([folder, deadline] { return walkFolder(folder, deadline); });
    }
    std::optional<BoundedLook<FoundSpace>> space;
    if (present && figures.spaceError.empty()) {
        space.emplace([folder] { return folderSpace(folder); });
    }
    std::optional<BoundedLook<std::optional<FolderWriteAccess>>> access;
    if (present || figures.folderState == FolderState::Missing) {
        const std::optional<process::ProcessEntry> server =
            figures.servers.empty() ? std::nullopt : std::optional(figures.servers.front());
        access.emplace(
            [folder, server, deadline] { return serverWriteAccess(folder, server, deadline); });
    }

    if (space) {
        if (const std::optional<FoundSpace> found = space->answer(deadline)) {
            figures.space = found->space;
            figures.spaceError = found->error;
        } else {
            unanswered("space");
        }
    }
    if (access) {
        if (const auto judged = access->answer(deadline)) {
            figures.access = *judged;
        } else {
            unanswered("access");
        }
    }
    // The walk and the echo end themselves at the deadline and then hand over their answer.
    if (walk) {
        if (const std::optional<FolderWalk> walked = walk->answer(deadline + kHandOver)) {
            figures.walk = walked;
        } else {
            unanswered("walk");
        }
    }
    if (echo) {
        figures.echo = echo->answer(deadline + kHandOver)
                           .value_or(dicom::EchoResult{dicom::EchoResult::Status::TimedOut, 0, ""});
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
