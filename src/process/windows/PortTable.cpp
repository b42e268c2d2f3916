// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "process/PortTable.h"

namespace veltrona::process {

namespace {

// The table keeps ports in network byte order in the low 16 bits.
std::uint16_t hostPort(DWORD networkPort) {
    return static_cast<std::uint16_t>(((networkPort & 0xFF) << 8) | ((networkPort >> 8) & 0xFF));
}

// The listening rows of one address family, with their owners; the table is asked again
// when it grew between the size query and the read.
template <typename Table>
std::vector<char> listenerTable(ULONG family) {
    std::vector<char> buffer(sizeof(Table));
    for (int attempt = 0; attempt < 5; ++attempt) {
        auto size = static_cast<DWORD>(buffer.size());
        const DWORD result = GetExtendedTcpTable(buffer.data(), &size, FALSE, family,
                                                 TCP_TABLE_OWNER_PID_LISTENER, 0);
        if (result == NO_ERROR) {
            return buffer;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        buffer.resize(size + 16 * sizeof(MIB_TCP6ROW_OWNER_PID));
    }
    return {};
}

template <typename Table>
void collect(ULONG family, std::uint16_t port, PortListeners& result) {
    const std::vector<char> buffer = listenerTable<Table>(family);
    if (buffer.empty()) {
        return;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const auto& row = table->table[i];
        if (hostPort(row.dwLocalPort) != port) {
            continue;
        }
        result.listening = true;
        // Process 0, the idle process, holds no socket: a table that names it (Wine's names
        // it for every socket) does not know the holder.
        const auto id = static_cast<ProcessId>(row.dwOwningPid);
        if (id == 0) {
            result.unnamedHolder = true;
            continue;
        }
        if (std::find(result.holders.begin(), result.holders.end(), id) == result.holders.end()) {
            result.holders.push_back(id);
        }
    }
}

}  // namespace

PortListeners findPortListeners(std::uint16_t port, const std::vector<ProcessId>& /*candidates*/) {
    PortListeners result;
    collect<MIB_TCPTABLE_OWNER_PID>(AF_INET, port, result);
    collect<MIB_TCP6TABLE_OWNER_PID>(AF_INET6, port, result);
    return result;
}

}  // namespace veltrona::process
