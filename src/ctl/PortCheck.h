#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CtlOutput.h"
#include "ProcessSnapshot.h"

namespace veltrona::ctl {

// Who listens on the port of the settings.
struct PortCheck {
    std::string configured;               // the Port setting, UTF-8
    std::optional<std::uint16_t> number;  // when the setting is a port number
    bool listening = false;
    // The holders found; an executable the listing does not know is empty.
    std::vector<process::ProcessEntry> holders;
    bool serverListens = false;  // one of the holders is a server process
    bool unnamedHolder = false;  // the system does not name some listener's holder
};

// Looks up the configured port. `servers` are looked into first, the rest of the
// listing after them; nothing is looked into when no socket listens on the port.
PortCheck checkPort(const std::string& configured, const ProcessSnapshot& snapshot,
                    const std::vector<process::ProcessEntry>& servers);

JsonObject portJson(const PortCheck& check);

// Who holds the port in a message: the holders, or "a process that cannot be looked into
// (another user's)" where the listing names none.
std::string portHolderText(const PortCheck& check);

}  // namespace veltrona::ctl
