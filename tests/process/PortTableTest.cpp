#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ListeningSocket.h"
#include "process/PortTable.h"
#include "process/linux/LinuxPortTable.h"

namespace veltrona::process {
namespace {

using Inodes = std::vector<std::uint64_t>;

// As the kernel writes the tables: a heading, then one line per socket.
constexpr std::string_view kTcp =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
    "timeout inode\n"
    "   0: 00000000:0068 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
    "4711 1 0000000000000000 100 0 0 10 0\n"
    "   1: 0100007F:2B67 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 "
    "4712 1 0000000000000000 100 0 0 10 0\n"
    "   2: 0100007F:0068 0100007F:D431 01 00000000:00000000 00:00000000 00000000  1000        0 "
    "4713 1 0000000000000000 20 4 30 10 -1\n"
    "   3: 0100007F:0068 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
    "0 1 0000000000000000 100 0 0 10 0\n"
    "   4: garbage\n"
    "   5: 0100007F:ZZZZ 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
    "4714 1 0000000000000000 100 0 0 10 0";

constexpr std::string_view kTcp6 =
    "  sl  local_address                         remote_address                        st "
    "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
    "   0: 00000000000000000000000000000000:0068 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000     0        0 5001 1 0000000000000000 100 0 0 10 "
    "0\n"
    "   1: 00000000000000000000000001000000:2B67 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000     0        0 5002 1 0000000000000000 100 0 0 10 "
    "0\n";

TEST(ProcNetTcp, FindsTheListeningSocketsOfOnePort) {
    // Port 104 is 0x0068, 11111 is 0x2B67. Connected sockets, inode 0 (a socket being
    // torn down) and lines that do not parse are left out.
    EXPECT_EQ(parseListeningSockets(kTcp, 104), Inodes({4711}));
    EXPECT_EQ(parseListeningSockets(kTcp, 11111), Inodes({4712}));
    EXPECT_EQ(parseListeningSockets(kTcp6, 104), Inodes({5001}));
    EXPECT_EQ(parseListeningSockets(kTcp6, 11111), Inodes({5002}));
    EXPECT_EQ(parseListeningSockets(kTcp, 105), Inodes());
    EXPECT_EQ(parseListeningSockets("", 104), Inodes());
}

TEST(ProcNetTcp, ReadsSocketLinksOnly) {
    EXPECT_EQ(parseSocketLink("socket:[4711]"), 4711u);
    EXPECT_EQ(parseSocketLink("socket:[18446744073709551615]"), 18446744073709551615u);
    for (const char* other : {"pipe:[4711]", "/tmp/socket:[4711]", "socket:[]", "socket:[47x]",
                              "socket:[4711", "anon_inode:[eventfd]"}) {
        EXPECT_EQ(parseSocketLink(other), std::nullopt) << other;
    }
}

TEST(LinuxPortTable, NamesThisProcessAsTheHolderOfItsListeningSocket) {
    testing::ListeningSocket socket;
    const auto self = static_cast<ProcessId>(::getpid());
    struct stat info {};
    ASSERT_EQ(::fstat(socket.fd(), &info), 0);
    for (const SocketSource source : {SocketSource::Diagnostics, SocketSource::ProcTables}) {
        EXPECT_EQ(listeningSockets(socket.port(), source), Inodes({info.st_ino}));
    }

    const PortListeners found = findPortListeners(socket.port(), {1, self});
    EXPECT_TRUE(found.listening);
    EXPECT_EQ(found.holders, std::vector<ProcessId>({self}));

    // Not among the candidates: listening, holder unknown.
    const PortListeners unknown = findPortListeners(socket.port(), {1});
    EXPECT_TRUE(unknown.listening);
    EXPECT_EQ(unknown.holders, std::vector<ProcessId>{});

    socket.close();
    EXPECT_FALSE(findPortListeners(socket.port(), {self}).listening);
    for (const SocketSource source : {SocketSource::Diagnostics, SocketSource::ProcTables}) {
        EXPECT_EQ(listeningSockets(socket.port(), source), Inodes());
    }
}

}  // namespace
}  // namespace veltrona::process
