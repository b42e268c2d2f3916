#include "LinuxPortTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <string>

#include "process/PortTable.h"

namespace veltrona::process {

namespace {

constexpr std::string_view kListenState = "0A";  // TCP_LISTEN as the tables write it
constexpr std::size_t kInodeField = 9;

// The whitespace-separated fields of one table line, as many as `fields` holds.
std::size_t splitFields(std::string_view line, std::array<std::string_view, 10>& fields) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (count < fields.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i == line.size()) {
            break;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        fields[count++] = line.substr(start, i - start);
    }
    return count;
}

template <typename Number>
bool parseWhole(std::string_view text, Number& value, int base) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// Closes a descriptor on every way out of a scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// A whole file of /proc, whose size the kernel does not tell in advance; empty when it
// cannot be read.
std::string readProcFile(const char* path) {
    std::string content;
    const Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return content;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

constexpr std::uint8_t kTcpListen = 10;  // TCP_LISTEN of the kernel's state numbers

// Asks the kernel's socket diagnostics for the listening TCP sockets of one address
// family and adds those on `port`. False when the interface is missing or refuses.
bool diagnoseListeners(int netlink, std::uint8_t family, std::uint16_t port,
                       std::vector<std::uint64_t>& inodes) {
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = 1U << kTcpListen;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) != static_cast<ssize_t>(sizeof message)) {
        return false;
    }
    alignas(nlmsghdr) char reply[32768];
    for (;;) {
        ssize_t got = ::recv(netlink, reply, sizeof reply, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        auto length = static_cast<unsigned int>(got);
        for (auto* header = reinterpret_cast<nlmsghdr*>(reply); NLMSG_OK(header, length);
             header = NLMSG_NEXT(header, length)) {
            if (header->nlmsg_type == NLMSG_DONE) {
                return true;
            }
            if (header->nlmsg_type == NLMSG_ERROR ||
                header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) {
                return false;
            }
            const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            if (socket->idiag_state == kTcpListen && ntohs(socket->id.idiag_sport) == port &&
                socket->idiag_inode != 0) {
                inodes.push_back(socket->idiag_inode);
            }
        }
    }
}

// Marks the sockets among `inodes` that process `id` holds; true when it holds one.
bool holdsAny(int procFd, ProcessId id, const std::vector<std::uint64_t>& inodes,
              std::vector<bool>& found) {
    const std::string fdFolder = std::to_string(id) + "/fd";
    const Descriptor folder(::openat(procFd, fdFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        return false;  // ended, or another user's
    }
    bool holds = false;
    alignas(dirent64) char records[8192];
    char link[64];  // socket links are short; anything longer is no socket
    for (;;) {
        const ssize_t filled = ::getdents64(folder.get(), records, sizeof records);
        if (filled <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < filled;) {
            const auto* record = reinterpret_cast<const dirent64*>(records + offset);
            offset += record->d_reclen;
            if (record->d_name[0] == '.') {
                continue;
            }
            const ssize_t length = ::readlinkat(folder.get(), record->d_name, link, sizeof link);
            if (length <= 0 || static_cast<std::size_t>(length) == sizeof link) {
                continue;
            }
            const auto inode =
                parseSocketLink(std::string_view(link, static_cast<std::size_t>(length)));
            if (!inode) {
                continue;
            }
            const auto at = std::lower_bound(inodes.begin(), inodes.end(), *inode);
            if (at != inodes.end() && *at == *inode) {
                found[static_cast<std::size_t>(at - inodes.begin())] = true;
                holds = true;
            }
        }
    }
    return holds;
}

}  // namespace

std::vector<std::uint64_t> parseListeningSockets(std::string_view table, std::uint16_t port) {
    std::vector<std::uint64_t> inodes;
    while (!table.empty()) {
        const std::size_t end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        table = end == std::string_view::npos ? std::string_view() : table.substr(end + 1);

        std::array<std::string_view, 10> fields;
        if (splitFields(line, fields) <= kInodeField || fields[3] != kListenState) {
            continue;
        }
        // "ADDRESS:PORT", the port in four hexadecimal digits.
        const std::string_view local = fields[1];
        const std::size_t colon = local.rfind(':');
        std::uint16_t localPort = 0;
        std::uint64_t inode = 0;
        if (colon == std::string_view::npos ||
            !parseWhole(local.substr(colon + 1), localPort, 16) || localPort != port ||
            !parseWhole(fields[kInodeField], inode, 10) || inode == 0) {
            continue;
        }
        inodes.push_back(inode);
    }
    return inodes;
}

std::optional<std::uint64_t> parseSocketLink(std::string_view link) {
    constexpr std::string_view prefix = "socket:[";
    if (!link.starts_with(prefix) || !link.ends_with(']')) {
        return std::nullopt;
    }
    std::uint64_t inode = 0;
    if (!parseWhole(link.substr(prefix.size(), link.size() - prefix.size() - 1), inode, 10)) {
        return std::nullopt;
    }
    return inode;
}

std::optional<std::vector<std::uint64_t>> listeningSockets(std::uint16_t port,
                                                           SocketSource source) {
    std::vector<std::uint64_t> inodes;
    if (source == SocketSource::Diagnostics) {
        const Descriptor netlink(
            ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
        if (netlink.get() < 0 || !diagnoseListeners(netlink.get(), AF_INET, port, inodes) ||
            !diagnoseListeners(netlink.get(), AF_INET6, port, inodes)) {
            return std::nullopt;
        }
    } else {
        const std::string v4 = readProcFile("/proc/net/tcp");
        const std::string v6 = readProcFile("/proc/net/tcp6");
        if (v4.empty() && v6.empty()) {
            return std::nullopt;
        }
        inodes = parseListeningSockets(v4, port);
        const std::vector<std::uint64_t> more = parseListeningSockets(v6, port);
        inodes.insert(inodes.end(), more.begin(), more.end());
    }
    std::sort(inodes.begin(), inodes.end());
    inodes.erase(std::unique(inodes.begin(), inodes.end()), inodes.end());
    return inodes;
}

PortListeners findPortListeners(std::uint16_t port, const std::vector<ProcessId>& candidates) {
    PortListeners result;
    auto found = listeningSockets(port, SocketSource::Diagnostics);
    if (!found) {
        found = listeningSockets(port, SocketSource::ProcTables);
    }
    if (!found || found->empty()) {
        return result;  // nothing listens: no process needs to be looked into
    }
    const std::vector<std::uint64_t>& inodes = *found;
    result.listening = true;

    const Descriptor proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (proc.get() < 0) {
        return result;
    }
    std::vector<bool> held(inodes.size(), false);
    for (const ProcessId id : candidates) {
        if (std::find(result.holders.begin(), result.holders.end(), id) != result.holders.end()) {
            continue;
        }
        if (holdsAny(proc.get(), id, inodes, held)) {
            result.holders.push_back(id);
            if (std::all_of(held.begin(), held.end(), [](bool h) { return h; })) {
                break;
            }
        }
    }
    return result;
}

}  // namespace veltrona::process
