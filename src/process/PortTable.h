#pragma once

#include <cstdint>
#include <vector>

#include "ProcessPlatform.h"

namespace veltrona::process {

// Who listens on a local TCP port of this machine, over IPv4 or IPv6.
struct PortListeners {
    bool listening = false;  // some socket is in the LISTEN state on the port
    // Processes found holding such a socket, each once. Can be empty while `listening` is
    // true: where the holders are found by looking into processes, one the tool may not
    // look into (another user's) stays unknown.
    std::vector<ProcessId> holders;
    // Some listening socket has a holder the system itself does not name (Wine's table names
    // none); not set where a holder is only hidden from this user.
    bool unnamedHolder = false;
};

// Looks up who listens on `port`. Linux finds the listening sockets in the kernel's TCP
// tables and then looks for them among the descriptors of `candidates`, in their order,
// until every socket has a holder: put the likely holders first. Windows asks the
// system's TCP table, which names the holders itself, and ignores `candidates`. Never
// throws: a table that cannot be read counts as having no listener.
PortListeners findPortListeners(std::uint16_t port, const std::vector<ProcessId>& candidates);

}  // namespace veltrona::process
