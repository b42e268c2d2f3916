#include "LinuxPortTable.h"

#include <dirent.h>
#include <fcntl.h>
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

PortListeners findPortListeners(std::uint16_t port, const std::vector<ProcessId>& candidates) {
    PortListeners result;
    std::vector<std::uint64_t> inodes = parseListeningSockets(readProcFile("/proc/net/tcp"), port);
    const std::vector<std::uint64_t> v6 =
        parseListeningSockets(readProcFile("/proc/net/tcp6"), port);
    inodes.insert(inodes.end(), v6.begin(), v6.end());
    if (inodes.empty()) {
        return result;  // nothing listens: no process needs to be looked into
    }
    result.listening = true;
    std::sort(inodes.begin(), inodes.end());
    inodes.erase(std::unique(inodes.begin(), inodes.end()), inodes.end());

    const Descriptor proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (proc.get() < 0) {
        return result;
    }
    std::vector<bool> found(inodes.size(), false);
    for (const ProcessId id : candidates) {
        if (std::find(result.holders.begin(), result.holders.end(), id) != result.holders.end()) {
            continue;
        }
        if (holdsAny(proc.get(), id, inodes, found)) {
            result.holders.push_back(id);
            if (std::all_of(found.begin(), found.end(), [](bool f) { return f; })) {
                break;
            }
        }
    }
    return result;
}

}  // namespace veltrona::process
