#include "PortCheck.h"

#include <algorithm>

#include "ShownSettings.h"
#include "process/PortTable.h"

namespace veltrona::ctl {

using process::ProcessEntry;

PortCheck checkPort(const std::string& configured, const ProcessSnapshot& snapshot,
                    const std::vector<ProcessEntry>& servers) {
    PortCheck check;
    check.configured = configured;
    check.number = portNumber(configured);
    if (!check.number) {
        return check;
    }
    std::vector<process::ProcessId> candidates;
    candidates.reserve(snapshot.entries().size() + servers.size());
    for (const ProcessEntry& server : servers) {
        candidates.push_back(server.id);
    }
    for (const ProcessEntry& entry : snapshot.entries()) {
        if (std::none_of(servers.begin(), servers.end(),
                         [&](const ProcessEntry& s) { return s.id == entry.id; })) {
            candidates.push_back(entry.id);
        }
    }
    const process::PortListeners listeners = process::findPortListeners(*check.number, candidates);
    check.listening = listeners.listening;
    check.unnamedHolder = listeners.unnamedHolder;
    for (const process::ProcessId id : listeners.holders) {
        check.holders.push_back(snapshot.find(id).value_or(ProcessEntry{id, {}}));
        check.serverListens =
            check.serverListens || std::any_of(servers.begin(), servers.end(),
                                               [id](const ProcessEntry& s) { return s.id == id; });
    }
    return check;
}

JsonObject portJson(const PortCheck& check) {
    JsonObject json;
    json.text("configured", check.configured);
    if (check.number) {
        json.integer("number", *check.number);
    } else {
        json.null("number");
    }
    return json.boolean("listening", check.listening)
        .array("holders", processesJson(check.holders))
        .boolean("serverListens", check.serverListens);
}

std::string portHolderText(const PortCheck& check) {
    return check.holders.empty() ? "a process that cannot be looked into (another user's)"
                                 : describe(check.holders);
}

}  // namespace veltrona::ctl
