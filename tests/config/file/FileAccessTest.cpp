#include "config/file/FileAccess.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "TempFolder.h"
#include "config/file/linux/FileAccessSeam.h"

namespace veltrona::config {
namespace {

namespace fs = std::filesystem;
using testing::entries;
using testing::fileContent;
using testing::TempFolder;
using testing::writeFile;

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// The facts of a failed write: `"<path>": <reason>`.
std::string cannotCreate(const fs::path& path, int error) {
    return "\"" + path.string() + "\": " + std::strerror(error);
}

// The FileError text of replaceFile, empty when it succeeded.
std::string replaceError(const fs::path& path, std::string_view bytes) {
    try {
        replaceFile(path, bytes);
    } catch (const FileError& e) {
        EXPECT_EQ(e.action(), FileAction::Write);
        return e.what();
    }
    return {};
}

constexpr int kCannotDropRoot = 2;

// Runs replaceFile in a child process that gives up root first, since root may write
// anywhere and so never meets a read-only folder or file. Returns its FileError text, or
// nothing when root's rights cannot be given up here (a user namespace without "nobody").
std::optional<std::string> replaceErrorAsOtherUser(const fs::path& path, std::string_view bytes,
                                                   std::optional<gid_t> group = std::nullopt) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        constexpr uid_t kNobody = 65534;
        const gid_t groups[] = {group.value_or(kNobody)};
        if (::geteuid() == 0 && (::setgroups(group ? 1 : 0, groups) != 0 ||
                                 ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(kCannotDropRoot);
        }
        const std::string error = replaceError(path, bytes);
        const bool sent =
            ::write(pipeFds[1], error.data(), error.size()) == static_cast<ssize_t>(error.size());
        ::_exit(sent ? 0 : 3);
    }
    ::close(pipeFds[1]);
    std::string error;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        error.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotDropRoot) {
        return std::nullopt;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return error;
}

// Puts a write function into replaceFile for the life of the object.
class WriteSeam {
  public:
    explicit WriteSeam(ssize_t (*write)(int, const void*, std::size_t)) {
        seam::replaceFileWrite = write;
    }
    ~WriteSeam() { seam::replaceFileWrite = ::write; }
};

std::size_t writeBudget = 0;  // bytes the failing write still lets through
int writeCalls = 0;

// Writes at most the rest of the budget, then fails as a full disk does.
ssize_t writeUntilDiskFull(int fd, const void* data, std::size_t size) {
    if (writeBudget == 0) {
        errno = ENOSPC;
        return -1;
    }
    const std::size_t n = std::min(size, writeBudget);
    writeBudget -= n;
    return ::write(fd, data, n);
}

// Writes three bytes at a time and is interrupted every other call, as a slow device may.
ssize_t writeInSmallPieces(int fd, const void* data, std::size_t size) {
    if (++writeCalls % 2 == 0) {
        errno = EINTR;
        return -1;
    }
    return ::write(fd, data, std::min<std::size_t>(size, 3));
}

fs::path temporaryFileFolder;  // where the file being written lay during the write

ssize_t writeNotingTheFolder(int fd, const void* data, std::size_t size) {
    temporaryFileFolder = fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).parent_path();
    return ::write(fd, data, size);
}

class ReplaceFile : public ::testing::Test {
  protected:
    TempFolder temp;
    const fs::path target = temp / "Server.ini";
    const std::string oldContent = "#Server Settings\r\nPort = 104\r\n";
    const std::string newContent = "#Server Settings\r\n\r\n-aet = \r\nPort = 11112\r\n";
};

// The file holds the admin password: a new one is for its owner and group only, whatever
// the file mask would let others have.
TEST_F(ReplaceFile, CreatesAMissingFileForOwnerAndGroupOnly) {
    const mode_t previous = ::umask(022);
    replaceFile(target, newContent);
    ::umask(previous);
    EXPECT_EQ(fileContent(target), newContent);
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(entries(temp.path()), std::set<std::string>{"Server.ini"});
}

TEST_F(ReplaceFile, ReplacesContentAndKeepsMode) {
    const mode_t modes[] = {0600, 0604, 0640, 0755};
    for (const mode_t mode : modes) {
        writeFile(target, oldContent + oldContent);
        fs::permissions(target, static_cast<fs::perms>(mode));
        replaceFile(target, newContent);
        EXPECT_EQ(fileContent(target), newContent) << std::oct << mode;
        EXPECT_EQ(modeOf(target), mode) << std::oct << mode;
        EXPECT_EQ(entries(temp.path()), std::set<std::string>{"Server.ini"}) << std::oct << mode;
    }
}

// Only a file in the target's own folder is sure to be on its file system, where the
// rename that puts it in place cannot fail with EXDEV.
TEST_F(ReplaceFile, WritesTheTemporaryFileInTheTargetsFolder) {
    WriteSeam seam(writeNotingTheFolder);
    replaceFile(target, newContent);
    EXPECT_EQ(temporaryFileFolder, fs::canonical(temp.path()));
    EXPECT_EQ(fileContent(target), newContent);
}

TEST_F(ReplaceFile, EmptyContentGivesEmptyFile) {
    writeFile(target, oldContent);
    replaceFile(target, "");
    EXPECT_EQ(fileContent(target), "");
}

TEST_F(ReplaceFile, WritesEveryByteThroughShortAndInterruptedWrites) {
    WriteSeam seam(writeInSmallPieces);
    std::string bytes(1000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    replaceFile(target, bytes);
    EXPECT_EQ(fileContent(target), bytes);
}

TEST_F(ReplaceFile, LinksStayLinksAndTheirTargetIsReplaced) {
    const struct {
        const char* name;
        const char* link;      // the path written, a link
        const char* pointsTo;  // what the link holds
        const char* real;      // the file that must get the content
        bool realExists;
    } cases[] = {
        {"Relative", "Server.ini", "data/real.ini", "data/real.ini", true},
        {"Absolute", "Server.ini", "", "data/real.ini", true},  // "" is the absolute path of real
        {"Chain", "Server.ini", "hop.ini", "data/real.ini", true},
        {"Dangling", "Server.ini", "data/new.ini", "data/new.ini", false},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        fs::create_directory(folder / "data");
        const fs::path real = folder / c.real;
        if (c.realExists) {
            writeFile(real, oldContent);
            fs::permissions(real, static_cast<fs::perms>(0604));
        }
        std::string pointsTo = c.pointsTo;
        if (pointsTo.empty()) {
            pointsTo = real.string();
        } else if (pointsTo == "hop.ini") {
            fs::create_symlink("data/real.ini", folder / "hop.ini");
        }
        fs::create_symlink(pointsTo, folder / c.link);

        replaceFile(folder / c.link, newContent);

        EXPECT_TRUE(fs::is_symlink(folder / c.link)) << c.name;
        EXPECT_EQ(fs::read_symlink(folder / c.link), pointsTo) << c.name;
        EXPECT_EQ(fileContent(real), newContent) << c.name;
        if (c.realExists) {
            EXPECT_EQ(modeOf(real), 0604u) << c.name;
        }
        EXPECT_EQ(entries(folder / "data"), std::set<std::string>{real.filename().string()})
            << c.name;
    }
}

// Each failure names the file and the system's reason, leaves the previous file whole
// and leaves no temporary file behind. The tests run as root, which ignores permissions,
// so these failures are ones that stop root as well.
TEST_F(ReplaceFile, FailuresKeepThePreviousFileAndLeaveNothingBehind) {
    writeFile(target, oldContent);
    fs::create_directory(temp / "Folder.ini");
    writeFile(temp / "plain", "x");
    const auto before = entries(temp.path());

    EXPECT_EQ(replaceError(temp / "Folder.ini", newContent),
              cannotCreate(temp / "Folder.ini", EISDIR));
    EXPECT_EQ(replaceError(temp / "plain" / "Server.ini", newContent),
              cannotCreate(temp / "plain" / "Server.ini", ENOTDIR));
    EXPECT_EQ(replaceError(temp / "missing" / "Server.ini", newContent),
              cannotCreate(temp / "missing" / "Server.ini", ENOENT));
    {
        writeBudget = newContent.size() / 2;
        WriteSeam seam(writeUntilDiskFull);
        EXPECT_EQ(replaceError(target, newContent), cannotCreate(target, ENOSPC));
    }

    EXPECT_EQ(fileContent(target), oldContent);
    EXPECT_EQ(entries(temp.path()), before);
    EXPECT_TRUE(fs::is_empty(temp / "Folder.ini"));
}

TEST_F(ReplaceFile, ErrorNamesTheFullPath) {
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());
    const std::string error = replaceError("missing/Server.ini", newContent);
    fs::current_path(previous);
    EXPECT_EQ(error, cannotCreate(temp / "missing" / "Server.ini", ENOENT));
}

// Permissions only bind a user without root's rights; the write runs as such a user.
TEST_F(ReplaceFile, ReadOnlyFolderOrFileIsNotReplaced) {
    const struct {
        const char* name;
        fs::perms folder;
        fs::perms file;
    } cases[] = {
        {"ReadOnlyFolder", static_cast<fs::perms>(0555), static_cast<fs::perms>(0666)},
        {"ReadOnlyFileInWritableFolder", static_cast<fs::perms>(0777),
         static_cast<fs::perms>(0444)},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const fs::path file = folder / "Server.ini";
        writeFile(file, oldContent);
        fs::permissions(file, c.file);
        fs::permissions(folder.path(), c.folder);

        const auto error = replaceErrorAsOtherUser(file, newContent);
        if (!error) {
            GTEST_SKIP() << "cannot run as another user here";
        }
        EXPECT_EQ(*error, cannotCreate(file, EACCES)) << c.name;

        EXPECT_EQ(fileContent(file), oldContent) << c.name;
        EXPECT_EQ(entries(folder.path()), std::set<std::string>{"Server.ini"}) << c.name;
        EXPECT_EQ(fs::status(file).permissions(), c.file) << c.name;
    }
}

TEST_F(ReplaceFile, OtherUserMayReplaceInWritableFolder) {
    fs::permissions(temp.path(), static_cast<fs::perms>(0777));
    writeFile(target, oldContent);
    fs::permissions(target, static_cast<fs::perms>(0666));
    const auto error = replaceErrorAsOtherUser(target, newContent);
    if (!error) {
        GTEST_SKIP() << "cannot run as another user here";
    }
    EXPECT_EQ(*error, "");
    EXPECT_EQ(fileContent(target), newContent);
    EXPECT_EQ(modeOf(target), 0666u);
}

// Root follows no link or folder that another user could have planted to send a write
// (or a read) onto any file of the system, such as a link at the settings file's name in
// a folder that a group may write.
TEST_F(ReplaceFile, FollowsNoLinkOrFolderThatAnotherUserOwns) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    constexpr uid_t kOther = 65534;
    const fs::path victim = temp / "victim";
    writeFile(victim, "root only");
    fs::create_directory(temp / "theirs");
    fs::create_symlink(victim, temp / "theirs" / "Server.ini");
    fs::create_symlink(victim, temp / "Server.ini");
    ASSERT_EQ(::lchown((temp / "Server.ini").c_str(), kOther, kOther), 0);
    ASSERT_EQ(::chown((temp / "theirs").c_str(), kOther, kOther), 0);
    const struct {
        const char* name;
        fs::path path;
        std::string planted;
    } cases[] = {
        {"Link", target, "\"" + target.string() + "\" is a symbolic link of another user"},
        {"Folder", temp / "theirs" / "Server.ini",
         "\"" + (temp / "theirs").string() + "\" is a folder of another user"},
    };
    for (const auto& c : cases) {
        const std::string error = replaceError(c.path, newContent);
        EXPECT_EQ(error.rfind("\"" + c.path.string() + "\": " + c.planted +
                                  " (uid 65534) and is not followed",
                              0),
                  0u)
            << c.name << ": " << error;
        EXPECT_EQ(readWholeFile(c.path).status, FileReadResult::Status::Failed) << c.name;
        EXPECT_THROW(FileLock lock(c.path), FileError) << c.name;
    }
    EXPECT_EQ(fileContent(victim), "root only");
}

struct FileIdentity {
    uid_t owner;
    gid_t group;
    mode_t mode;
    std::string attribute;  // user.veltrona
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity identityOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    char value[64] = {};
    const ssize_t n = ::getxattr(path.c_str(), "user.veltrona", value, sizeof value);
    return {st.st_uid, st.st_gid, st.st_mode & 07777, n > 0 ? std::string(value, n) : ""};
}

// A file shared by a group keeps its owner, group, mode and attributes whoever writes it:
// root by a rename of a file given all of them, a member of the group (who may not give
// a file to its owner) and any writer of a file with several names by a rewrite in place.
TEST_F(ReplaceFile, KeepsOwnerGroupModeAndAttributesWhoeverWrites) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to set up a file of another owner";
    }
    constexpr gid_t kGroup = 4242;
    const struct {
        const char* name;
        uid_t owner;
        bool asMember;
        bool hardLink;
    } cases[] = {
        {"RootWritesAnothersFile", 1000, false, false},
        {"MemberWritesRootsFile", 0, true, false},
        {"RootWritesAFileWithTwoNames", 1000, false, true},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const fs::path file = folder / "Server.ini";
        writeFile(file, oldContent);
        ASSERT_EQ(::setxattr(file.c_str(), "user.veltrona", "kept", 4, 0), 0) << c.name;
        ASSERT_EQ(::chown(file.c_str(), c.owner, kGroup), 0);
        ASSERT_EQ(::chmod(file.c_str(), 0660), 0);
        ASSERT_EQ(::chown(folder.path().c_str(), 0, kGroup), 0);
        ASSERT_EQ(::chmod(folder.path().c_str(), 0770), 0);
        if (c.hardLink) {
            fs::create_hard_link(file, folder / "other-name");
        }
        const FileIdentity before = identityOf(file);
        const auto error = c.asMember ? replaceErrorAsOtherUser(file, newContent, kGroup)
                                      : std::optional(replaceError(file, newContent));
        if (!error) {
            GTEST_SKIP() << "cannot run as another user here";
        }
        EXPECT_EQ(*error, "") << c.name;
        EXPECT_EQ(fileContent(file), newContent) << c.name;
        EXPECT_EQ(identityOf(file), before) << c.name;
        if (c.hardLink) {
            EXPECT_EQ(fileContent(folder / "other-name"), newContent) << c.name;
        }
        EXPECT_EQ(entries(folder.path()).size(), c.hardLink ? 2u : 1u) << c.name;
    }
}

// Writers serialise on a lock beside the file; one that cannot have it in time says so.
TEST(FileLock, WaitsForAnotherWriterAndGivesUpInTime) {
    TempFolder temp;
    const fs::path file = temp / "Server.ini";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const FileLock lock(file);
        ::close(ready[0]);
        ::write(ready[1], "x", 1);
        ::usleep(600 * 1000);
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    try {
        const FileLock lock(file, std::chrono::milliseconds(100));
        ADD_FAILURE() << "the lock was taken twice";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("Another program is writing it: its lock \"" +
                                             (temp / ".Server.ini.lock").string() +
                                             "\" was held for 0.1 s"),
                  std::string::npos)
            << e.what();
    }
    // What a writer killed half-way left: its new file goes, a copy of the old content stays.
    writeFile(temp / ".Server.ini.new-abcdefABCDEF", "AdminPassword=old");
    writeFile(temp / ".Server.ini.previous-abcdefABCDEF", "AdminPassword=old");
    const FileLock lock(file, std::chrono::seconds(5));  // waits for the holder to end
    int status = 0;
    ::waitpid(holder, &status, 0);
    EXPECT_EQ(lock.lockFile(), temp / ".Server.ini.lock");
    EXPECT_EQ(entries(temp.path()),
              std::set<std::string>({".Server.ini.lock", ".Server.ini.previous-abcdefABCDEF"}));
}

}  // namespace
}  // namespace veltrona::config
