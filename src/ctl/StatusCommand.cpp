#include "StatusCommand.h"

#include <cstdint>
#include <optional>

#include "PortCheck.h"
#include "ShownSettings.h"
#include "config/text/CodePage.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using process::ProcessEntry;

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
// the exit status of what was seen: 0 runs, 3 not, 4 not known.
int runStatus(const CtlContext& context) {
    std::optional<ShownSettings> settings;
    std::string unreadable;
    try {
        settings = readShownSettings(context);
    } catch (const config::FileError& error) {
        unreadable = fileErrorText(error);
    }
    const ProcessSnapshot snapshot(context.processes, context.programFolder);
    const bool running = snapshot.serverRunning();
    const bool unseen = snapshot.serverMayRunUnseen();
    const std::vector<ProcessEntry>& servers = snapshot.servers();
    std::optional<PortCheck> port;
    if (settings) {
        port = checkPort(settings->shown.port, snapshot, servers);
    }

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
    if (unseen) {
        return kNoPrivilege;
    }
    return running ? kSuccess : kNotRunning;
}

}  // namespace veltrona::ctl
