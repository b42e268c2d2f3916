// The walk along a path on Linux, one descriptor at a time.
#include "config/file/linux/FileTarget.h"

#include <fcntl.h>

#include <deque>
#include <system_error>

namespace veltrona::config::detail {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;  // as the kernel follows at most

// A link or folder on the way must belong to the administrator or to the writer: any
// other owner could have planted it, or can swap what lies below it.
bool trustedOwner(uid_t owner) {
    return owner == 0 || owner == ::geteuid();
}

PathFailure planted(const fs::path& path, const char* what, uid_t owner) {
    return PathFailure(0, "\"" + path.string() + "\" is a " + what + " of another user (uid " +
                              std::to_string(owner) + ") and is not followed");
}

std::deque<std::string> components(const fs::path& path) {
    std::deque<std::string> names;
    for (const fs::path& part : path.relative_path()) {
        if (!part.empty() && part != ".") {
            names.push_back(part.string());
        }
    }
    return names;
}

void startAtRoot(Location& at) {
    at.folder = Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    at.folderPath = "/";
    if (!at.folder.valid()) {
        throw PathFailure(errno);
    }
}

}  // namespace

std::string describe(int error) {
    return std::error_code(error, std::generic_category()).message();
}

Location locate(const fs::path& path, LastLink last) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) {
        throw PathFailure(ec.value());
    }
    Location at;
    startAtRoot(at);
    std::deque<std::string> rest = components(absolute);
    int links = 0;
    // Each turn takes one name; the last one is the file, which need not exist.
    while (!rest.empty()) {
        std::string name = std::move(rest.front());
        rest.pop_front();
        if (name == "..") {
            if (rest.empty()) {
                throw PathFailure(EISDIR);
            }
            Descriptor parent(::openat(at.folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!parent.valid()) {
                throw PathFailure(errno);
            }
            at.folder = std::move(parent);
            at.folderPath = at.folderPath.parent_path();
            continue;
        }
        const fs::path shown = at.folderPath / name;
        struct stat st {};
        if (::fstatat(at.folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && rest.empty()) {
                at.name = std::move(name);
                return at;
            }
            throw PathFailure(errno);
        }
        if (S_ISLNK(st.st_mode) && !(rest.empty() && last == LastLink::Keep)) {
            if (!trustedOwner(st.st_uid)) {
                throw planted(shown, "symbolic link", st.st_uid);
            }
            if (++links > kMaxLinks) {
                throw PathFailure(ELOOP);
            }
            std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1,
                               '\0');
            const ssize_t length =
                ::readlinkat(at.folder.get(), name.c_str(), target.data(), target.size());
            if (length < 0) {
                throw PathFailure(errno);
            }
            target.resize(static_cast<std::size_t>(length));
            const fs::path next(target);
            const std::deque<std::string> spliced = components(next);
            rest.insert(rest.begin(), spliced.begin(), spliced.end());
            if (next.is_absolute()) {
                startAtRoot(at);
            }
            continue;
        }
        if (rest.empty()) {
            at.name = std::move(name);
            at.exists = true;
            at.st = st;
            return at;
        }
        Descriptor folder(
            ::openat(at.folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        // The owner of what was opened, not of what was looked at before.
        if (!folder.valid() || ::fstat(folder.get(), &st) != 0) {
            throw PathFailure(errno);
        }
        if (!trustedOwner(st.st_uid)) {
            throw planted(shown, "folder", st.st_uid);
        }
        at.folder = std::move(folder);
        at.folderPath = shown;
    }
    throw PathFailure(EISDIR);  // the path, or a link on it, names "/"
}

std::string kindOf(mode_t mode) {
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    return S_ISSOCK(mode) ? "a socket" : "no regular file";
}

PathFailure notAFile(const Location& at) {
    if (S_ISDIR(at.st.st_mode)) {
        return PathFailure(EISDIR);
    }
    return PathFailure(0, "\"" + (at.folderPath / at.name).string() + "\" is no regular file");
}

int readAll(int fd, std::string& content, std::uintmax_t limit) {
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return 0;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        offset += n;
        if (content.size() > limit) {
            return EFBIG;
        }
    }
}

FileError cannotCreate(const fs::path& path, const std::string& reason) {
    std::error_code ec;
    fs::path shown = fs::absolute(path, ec);
    if (ec) {
        shown = path;
    }
    return FileError(FileAction::Write, shown, reason);
}

}  // namespace veltrona::config::detail
