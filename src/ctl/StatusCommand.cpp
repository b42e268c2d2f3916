#include "StatusCommand.h"

#include <cstdint>
#include <optional>
#include <thread>

#include "PortCheck.h"
#include "ShownSettings.h"
#include "config/text/CodePage.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using process::ProcessEntry;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPollInterval{100};

// Whether the server serves, as runStatus's `wait` counts it.
bool serves(const ProcessSnapshot& snapshot, const PortCheck& port) {
    if (!port.number) {
        return snapshot.serverRunning();
    }
    if (port.serverListens) {
        return true;
    }
    if (!port.listening || !port.holders.empty()) {
        return false;
    }
    // The listener's holder is not known. Beside a server in sight it is that server only
    // where the system names no holder at all (Wine); where the server may run unseen, the
    // holder is hidden as the server is.
    return snapshot.serverRunning() ? port.unnamedHolder : snapshot.serverMayRunUnseen();
}

// One line about the port, told from the server's side when it runs.
std::string portLine(const PortCheck& check, bool running) {
    if (!check.number) {
        return "Port \"" + config::CodePage::system().fromUtf8(check.configured) +
               "\" in Server.INI is no port number; no port was checked";
    }
    const std::string port = std::to_string(*check.number);
    if (check.serverListens) {
        return "The server listens on port " + port + ": " + describe(check.holders);
    }
    const std::string holder = portHolderText(check);
    if (running) {
        return "The server does not listen on port " + port + ": " +
               (check.listening ? "it is held by " + holder : "nothing listens there");
    }
    return check.listening ? "Port " + port + " is held by " + holder
                           : "Nothing listens on port " + port;
}

}  // namespace

// Whether the server runs is told from the processes alone; a settings file that cannot
// be read (another user's folder, say) leaves only its port unknown. The answer then keeps
// the exit status of what was seen: 0 runs, 3 not, 4 not known. Waiting for the server to
// listen needs its port, so there an unreadable file is refused.
int runStatus(const CtlContext& context, std::optional<std::chrono::milliseconds> wait) {
    std::optional<ShownSettings> settings;
    std::string unreadable;
    try {
        settings = readShownSettings(context);
    } catch (const config::FileError& error) {
        if (wait) {
            throw;
        }
        unreadable = fileErrorText(error);
    }
    const auto deadline = Clock::now() + wait.value_or(std::chrono::milliseconds(0));
    std::optional<ProcessSnapshot> look;
    std::optional<PortCheck> port;
    for (;;) {
        look.emplace(context.processes, context.programFolder);
        if (settings) {
            port = checkPort(settings->shown.port, *look, look->servers());
        }
        if (!wait || serves(*look, *port) || Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    const ProcessSnapshot& snapshot = *look;
    const bool running = snapshot.serverRunning();
    const bool unseen = snapshot.serverMayRunUnseen();
    const std::vector<ProcessEntry>& servers = snapshot.servers();

    if (context.json) {
        JsonObject json = JsonObject()
                              .text("folder", jsonPath(context.programFolder))
                              .boolean("running", running)
                              .array("processes", processesJson(servers))
                              .array("elsewhere", elsewhereJson(snapshot.elsewhere()));
        if (port) {
            json.object("port", portJson(*port));
        } else {
            json.null("port").text("settingsError", jsonText(unreadable));
        }
        context.out
            << json.integer("uninspected", static_cast<std::int64_t>(snapshot.uninspected())).str()
            << "\n";
    } else {
        if (unseen) {
            context.out << unseenServerText(snapshot.uninspected()) << "\n";
        } else if (!running) {
            context.out << server::kServerExecutableName << " is not running\n";
        }
        for (const ProcessEntry& server : servers) {
            context.out << server::kServerExecutableName << " is running: " << describe(server)
                        << "\n";
        }
        for (const ProcessEntry& other : snapshot.elsewhere()) {
            context.out << server::kServerExecutableName
                        << " runs elsewhere: " << elsewhereText(other) << "\n";
        }
        if (port) {
            context.out << portLine(*port, running) << "\n";
        }
    }
    if (!port) {
        context.err << unreadable << " The port was not checked.\n";
    }
    if (wait) {
        if (serves(snapshot, *port)) {
            return kSuccess;
        }
        context.err << server::kServerExecutableName << " does not serve"
                    << (port->number ? " on port " + std::to_string(*port->number) : std::string())
                    << " after " << secondsInWords(*wait) << "\n";
        return kNotRunning;
    }
    if (unseen) {
        return kNoPrivilege;
    }
    return running ? kSuccess : kNotRunning;
}

}  // namespace veltrona::ctl
