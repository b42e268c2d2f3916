#include "StartCommand.h"

#include <cstdint>
#include <thread>

#include "CtlPlatform.h"
#include "PortCheck.h"
#include "ServerAccount.h"
#include "ShownSettings.h"
#include "config/text/CodePage.h"
#include "server/ServerLaunch.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using process::ProcessEntry;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPollInterval{50};

// "process 12" or "processes 12, 13".
std::string processIds(const std::vector<ProcessEntry>& servers) {
    std::string text = servers.size() == 1 ? "process " : "processes ";
    for (std::size_t i = 0; i < servers.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(servers[i].id);
    }
    return text;
}

}  // namespace

std::string startFailure(const std::exception& error) {
    return std::string(server::kServerExecutableName) + " could not be started: " + error.what();
}

int refuseStart(const CtlContext& context, const std::string& message, const JsonObject& details) {
    context.err << message << "\n";
    if (context.json) {
        context.out << errorJson(kFailure, message).boolean("started", false).append(details).str()
                    << "\n";
    }
    return kFailure;
}

std::optional<int> refuseWhileServing(const CtlContext& context, const ShownSettings& settings) {
    const ProcessSnapshot snapshot(context.processes, context.programFolder);
    for (const ProcessEntry& other : snapshot.elsewhere()) {
        context.err << "note: " << server::kServerExecutableName
                    << " runs elsewhere and is left alone: " << elsewhereText(other) << "\n";
    }
    if (snapshot.serverRunning()) {
        const std::vector<ProcessEntry>& servers = snapshot.servers();
        return refuseStart(context,
                           std::string(server::kServerExecutableName) +
                               " is already running: " + describe(servers),
                           JsonObject().array("processes", processesJson(servers)));
    }
    const PortCheck port = checkPort(settings.shown.port, snapshot, {});
    if (port.listening) {
        return refuseStart(context,
                           "Port " + std::to_string(*port.number) + " is held by " +
                               portHolderText(port) + "; the server was not started",
                           JsonObject().object("port", portJson(port)));
    }
    return std::nullopt;
}

namespace {

// What the wait saw when it ended.
struct StartOutcome {
    bool up = false;
    std::vector<ProcessEntry> servers;
    std::optional<PortCheck> listened;
    std::optional<std::string> ended;  // how the launched process ended, when it did
};

// Launches the server, as the folder's server account where it has one.
void launchServer(const CtlContext& context, const ShownSettings& settings,
                  const server::ServerLaunch& launch) {
    if (const std::optional<process::LaunchAccount> account =
            serverLaunchAccount(context.programFolder, settings.shown.port)) {
        context.processes.launchAs(launch.program, launch.parameters, launch.shown, *account);
    } else {
        context.processes.launch(launch.program, launch.parameters, launch.shown);
    }
}

// Up, ended at once, or neither in time. Up means listening on the configured port
// (lockForStart refused a start without one): a server that runs but cannot open its port
// (taken meanwhile, or a privileged port for an ordinary user) serves nothing.
StartOutcome waitUntilUp(const CtlContext& context, const ShownSettings& settings,
                         LaunchWatch& watch, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    StartOutcome outcome;
    std::vector<ProcessEntry>& servers = outcome.servers;
    std::optional<PortCheck>& listened = outcome.listened;
    std::optional<std::string>& ended = outcome.ended;
    bool& up = outcome.up;
    for (;;) {
        if (!ended) {
            ended = watch.ended();
        }
        const ProcessSnapshot now(context.processes, context.programFolder);
        servers = now.servers();
        if (ended && servers.empty()) {
            break;  // it ended, and no process of its own took its place
        }
        const auto time = Clock::now();
        if (!servers.empty()) {
            listened = checkPort(settings.shown.port, now, servers);
            // Nothing listened before the start: a listener the system does not name (Wine
            // names none) that came up beside the new server is that server.
            up = listened->serverListens || (listened->unnamedHolder && listened->holders.empty());
        }
        if (up || time >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return outcome;
}

// Tells what the wait saw; kSuccess when the server came up.
int reportStart(const CtlContext& context, JsonObject& json, const StartOutcome& outcome,
                std::chrono::milliseconds wait) {
    const std::vector<ProcessEntry>& servers = outcome.servers;
    const std::optional<PortCheck>& listened = outcome.listened;
    const std::optional<std::string>& ended = outcome.ended;
    const bool up = outcome.up;
    json.boolean("running", !servers.empty()).array("processes", processesJson(servers));
    if (listened) {
        json.object("port", portJson(*listened));
    }
    std::string message;
    if (up) {
        if (!context.json) {
            for (const ProcessEntry& server : servers) {
                context.out << server::kServerExecutableName << " is running: " << describe(server)
                            << "\n";
            }
            if (listened) {
                context.out << "The server listens on port " << *listened->number << "\n";
            }
        }
    } else if (!servers.empty() && listened) {
        message = std::string(server::kServerExecutableName) + " runs (" + processIds(servers) +
                  ") but does not listen on port " + std::to_string(*listened->number) + " after " +
                  secondsInWords(wait);
        if (listened->listening) {
            message += ": it is held by " + portHolderText(*listened);
        }
    } else if (ended) {
        message = std::string(server::kServerExecutableName) + " exited at once with " + *ended;
        json.text("exited", jsonText(*ended));
    } else {
        message = std::string(server::kServerExecutableName) + " did not come up within " +
                  secondsInWords(wait);
    }
    if (!message.empty()) {
        context.err << message << "\n";
        json.append(errorJson(kFailure, message));
    }
    if (context.json) {
        context.out << json.str() << "\n";
    }
    return up ? kSuccess : kFailure;
}

}  // namespace

std::optional<std::string> portlessStart(const CtlContext& context, const ShownSettings& settings) {
    if (portNumber(settings.shown.port)) {
        return std::nullopt;
    }
    const std::string port = config::CodePage::system().fromUtf8(settings.shown.port);
    if (!settings.document.path) {
        return "There is no Server.INI in " + messagePath(context.programFolder.parent_path()) +
               ", so the server would listen on no port; it was not started";
    }
    if (port.empty()) {
        return std::string(
            "Server.INI sets no Port, so the server would listen on no port; it was not started");
    }
    return "Port \"" + port + "\" in Server.INI is no port number; the server was not started";
}

std::optional<int> lockForStart(const CtlContext& context, const ShownSettings& settings,
                                std::optional<StartLock>& lock) {
    if (const std::optional<std::string> refused = portlessStart(context, settings)) {
        return refuseStart(context, *refused);
    }
    try {
        lock.emplace(context.programFolder);
    } catch (const StartLockError& error) {
        return refuseStart(context, error.what());
    }
    return refuseWhileServing(context, settings);
}

int runStart(const CtlContext& context, bool verbose,
             std::optional<std::chrono::milliseconds> wait) {
    const ShownSettings settings = readShownSettings(context);
    std::optional<StartLock> lock;
    if (const std::optional<int> refused = lockForStart(context, settings, lock)) {
        return *refused;
    }

    const server::ServerLaunch launch =
        server::makeServerLaunch(settings.shown, verbose, context.programFolder);
    std::optional<LaunchWatch> watch;
    if (wait) {
        watch.emplace();
    }
    try {
        launchServer(context, settings, launch);
    } catch (const std::exception& error) {
        return refuseStart(context, startFailure(error));
    }
    // The launch returns once the server runs its program, so every listing from now on
    // sees it: the next start refuses.
    lock->release();
    JsonObject json = JsonObject()
                          .boolean("started", true)
                          .text("program", jsonText(server::systemPathText(launch.program)))
                          .text("parameters", jsonText(launch.parameters))
                          .boolean("shown", launch.shown);
    if (!context.json) {
        context.out << server::kServerExecutableName
                    << " started: " << server::systemPathText(launch.program) << launch.parameters
                    << "\n";
    }
    if (!wait) {
        if (context.json) {
            context.out << json.str() << "\n";
        }
        return kSuccess;
    }
    return reportStart(context, json, waitUntilUp(context, settings, *watch, *wait), *wait);
}

}  // namespace veltrona::ctl
