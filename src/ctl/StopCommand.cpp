#include "StopCommand.h"

#include <algorithm>
#include <cstdint>
#include <thread>

#include "ProcessSnapshot.h"
#include "process/ServerDetection.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using process::ProcessEntry;
using process::TerminateResult;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPollInterval{50};
// A killed process is gone within moments; without --wait this long is allowed for it.
constexpr std::chrono::milliseconds kKillGrace{2000};

struct Ending {
    ProcessEntry entry;
    process::GracefulTermination how;
};

// Ends the servers, all at the same time: with `graceful` each is given that long.
std::vector<Ending> endAll(process::ProcessPlatform& processes,
                           const std::vector<ProcessEntry>& servers,
                           std::optional<std::chrono::milliseconds> graceful) {
    std::vector<Ending> endings;
    for (const ProcessEntry& entry : servers) {
        endings.push_back({entry, {}});
    }
    if (!graceful) {
        for (Ending& ending : endings) {
            ending.how.result = processes.terminate(ending.entry);
            ending.how.killed = true;
        }
        return endings;
    }
    std::vector<std::thread> waits;
    for (Ending& ending : endings) {
        waits.emplace_back([&processes, &ending, grace = *graceful] {
            ending.how = processes.terminateGracefully(ending.entry, grace);
        });
    }
    for (std::thread& wait : waits) {
        wait.join();
    }
    return endings;
}

bool anyListed(const ProcessSnapshot& snapshot, const std::vector<ProcessEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [&](const ProcessEntry& entry) {
        const auto now = snapshot.find(entry.id);
        return now && now->executable == entry.executable;
    });
}

}  // namespace

int runStop(const CtlContext& context, std::optional<std::chrono::milliseconds> wait,
            std::optional<std::chrono::milliseconds> graceful) {
    const ProcessSnapshot before(context.processes, context.programFolder);
    for (const ProcessEntry& other : before.elsewhere()) {
        context.err << "Left alone, " << server::kServerExecutableName
                    << " elsewhere: " << elsewhereText(other) << "\n";
    }
    if (!before.serverRunning()) {
        const bool unseen = before.serverMayRunUnseen();
        if (unseen) {
            context.err << unseenServerText(before.uninspected()) << "; nothing was stopped\n";
        }
        if (context.json) {
            context.out << JsonObject()
                               .array("ended", {})
                               .array("refused", {})
                               .array("running", {})
                               .array("elsewhere", elsewhereJson(before.elsewhere()))
                               .integer("uninspected",
                                        static_cast<std::int64_t>(before.uninspected()))
                               .str()
                        << "\n";
        } else if (!unseen) {
            context.out << server::kServerExecutableName << " is not running\n";
        }
        return unseen ? kNoPrivilege : kSuccess;
    }

    // The window's stop ends a process whose file name is the server's byte for byte; so
    // does this one, but only the program folder's.
    const auto syntax = context.processes.pathSyntax();
    std::vector<ProcessEntry> chosen;
    for (const ProcessEntry& entry : before.servers()) {
        if (process::fileNamePart(entry.executable, syntax) == server::kServerExecutableName) {
            chosen.push_back(entry);
        }
    }
    std::vector<ProcessEntry> ended;
    std::vector<JsonObject> endedJson;
    std::vector<ProcessEntry> refused;
    for (const Ending& ending : endAll(context.processes, chosen, graceful)) {
        const ProcessEntry& entry = ending.entry;
        if (ending.how.result == TerminateResult::Terminated) {
            ended.push_back(entry);
            endedJson.push_back(
                processJson(entry).text("how", ending.how.killed ? "killed" : "graceful"));
            if (context.json) {
                continue;
            }
            if (!graceful) {
                context.out << "Ended " << describe(entry) << "\n";
            } else if (ending.how.killed) {
                context.out << "Killed " << describe(entry) << ": it had not ended "
                            << secondsText(*graceful) << " after it was asked to\n";
            } else {
                context.out << "Ended " << describe(entry) << " gracefully\n";
            }
        } else if (ending.how.result == TerminateResult::Refused) {
            refused.push_back(entry);
            context.err << "Server cannot be stopped, access denied: " << describe(entry) << "\n";
        }
    }

    // Until the processes are gone: all of them with --wait, else the ones just ended.
    const auto deadline = Clock::now() + wait.value_or(kKillGrace);
    std::vector<ProcessEntry> left;
    std::size_t uninspected = 0;
    for (;;) {
        const ProcessSnapshot now(context.processes, context.programFolder);
        left = now.servers();
        uninspected = now.uninspected();
        const bool waiting = wait ? !left.empty() : anyListed(now, ended);
        if (!waiting || Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }

    for (const ProcessEntry& entry : left) {
        const bool caseVariant =
            process::fileNamePart(entry.executable, syntax) != server::kServerExecutableName;
        context.err << server::kServerExecutableName << " is still running: " << describe(entry)
                    << (caseVariant ? "; its file name differs in letter case, and the window "
                                      "does not stop such a process either"
                                    : "")
                    << "\n";
    }
    if (context.json) {
        JsonObject json = JsonObject()
                              .array("ended", endedJson)
                              .array("refused", processesJson(refused))
                              .array("running", processesJson(left))
                              .array("elsewhere", elsewhereJson(before.elsewhere()))
                              .integer("uninspected", static_cast<std::int64_t>(uninspected));
        if (!left.empty()) {
            json.append(errorJson(kFailure, std::string(server::kServerExecutableName) +
                                                " is still running: " + describe(left)));
        }
        context.out << json.str() << "\n";
    } else if (left.empty()) {
        context.out << server::kServerExecutableName << " is no longer running\n";
    }
    return left.empty() ? kSuccess : kFailure;
}

}  // namespace veltrona::ctl
