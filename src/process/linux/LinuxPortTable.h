#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace veltrona::process {

// The parsers behind the Linux port table: pure functions of the kernel's text, so they
// can be tried on any text.

// The inodes of the sockets in the LISTEN state on local port `port`, from the text of
// /proc/net/tcp or /proc/net/tcp6. The heading and lines that do not parse are skipped.
std::vector<std::uint64_t> parseListeningSockets(std::string_view table, std::uint16_t port);

// The inode of the socket a descriptor link names ("socket:[4711]"); nothing for any
// other link (files, pipes, anonymous inodes).
std::optional<std::uint64_t> parseSocketLink(std::string_view link);

}  // namespace veltrona::process
