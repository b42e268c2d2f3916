#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace veltrona::process {

// Where the Linux port table learns which sockets listen: the kernel's socket
// diagnostics over netlink, which visit the listening sockets alone; or, where those are
// missing, the tables /proc/net/tcp and /proc/net/tcp6, which the kernel builds by walking
// every socket of the machine each time they are read.
enum class SocketSource { Diagnostics, ProcTables };

// The inodes of the sockets in the LISTEN state on local port `port`, over IPv4 and IPv6,
// sorted; nothing when the source cannot be read.
std::optional<std::vector<std::uint64_t>> listeningSockets(std::uint16_t port, SocketSource source);

// The parsers behind the tables of /proc: pure functions of the kernel's text, so they
// can be tried on any text.

// The inodes of the sockets in the LISTEN state on local port `port`, from the text of
// /proc/net/tcp or /proc/net/tcp6. The heading and lines that do not parse are skipped.
std::vector<std::uint64_t> parseListeningSockets(std::string_view table, std::uint16_t port);

// The inode of the socket a descriptor link names ("socket:[4711]"); nothing for any
// other link (files, pipes, anonymous inodes).
std::optional<std::uint64_t> parseSocketLink(std::string_view link);

}  // namespace veltrona::process
