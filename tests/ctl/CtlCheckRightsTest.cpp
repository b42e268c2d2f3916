// `VeltronaCtl check` as root among what other accounts prepared: the place of its metrics
// file, and an image folder the server may not write, judged as the server sees it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "CtlTestSupport.h"

namespace veltrona::ctl::testing {
namespace {

using veltrona::testing::entries;
using veltrona::testing::kOtherGid;
using veltrona::testing::kOtherUid;
using Args = std::vector<std::string>;

class CtlCheckRights : public ::testing::Test {
  protected:
    ProgramFolder program;
    const std::string port = std::to_string(freePort());
    fs::path images = program.root() / "images";
    fs::path metrics = program.root() / "metrics";
    std::vector<pid_t> servers;

    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "acts for other accounts and makes devices: needs root";
        }
        const auto platform = process::createProcessPlatform();
        ASSERT_TRUE(eventually([&] {
            return !process::isProcessRunning(*platform, "ZarvoServer.exe");
        })) << "another ZarvoServer.exe runs on this machine";
        fs::create_directory(images);
        fs::create_directory(metrics);
        writeSettings(images);
        program.openToOtherUsers();
    }
    void TearDown() override {
        for (const pid_t server : servers) {
            killAndReap(server);
        }
    }

    void writeSettings(const fs::path& imageFolder) const {
        writeFile(program.settingsFile(), "-aet = ARCHIVE\r\nPort = " + port +
                                              "\r\n-od = " + imageFolder.string() + "/\r\n");
    }
    CtlResult checkInto(const fs::path& file) const {
        return program.run({"check", "--prometheus", file.string()});
    }
    // The stand-in started from the program folder as `program` (setpriv, unshare) has it.
    pid_t serve(const fs::path& launcher, std::vector<std::string> arguments) {
        servers.push_back(spawn(launcher, std::move(arguments)));
        EXPECT_TRUE(eventually([&] {
            return program.run({"status", "--json"}).out.find("\"listening\":true") !=
                   std::string::npos;
        }));
        return servers.back();
    }
    std::vector<std::string> serverArguments() const {
        return {(program.folder() / "ZarvoServer.exe").string(),
                "-dw",
                "-od",
                images.string(),
                "-aet",
                "ARCHIVE",
                port};
    }
};

struct stat lstatOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TEST_F(CtlCheckRights, WritesItsMetricsOnlyIntoARegularFileAndLeavesAnythingElseAsItWas) {
    const fs::path canary = program.root() / "canary";
    writeFile(canary, "canary");
    fs::permissions(canary, fs::perms::owner_read | fs::perms::owner_write);
    const std::vector<std::tuple<std::string, std::function<int(const char*)>, std::string>> rows =
        {
            {"link.prom", [&](const char* at) { return ::symlink(canary.c_str(), at); },
             "it is a symbolic link, not a regular file,"},
            {"full.prom", [](const char* at) { return ::mknod(at, S_IFCHR | 0666, makedev(1, 7)); },
             "it is a device, not a regular file,"},
            {"fifo.prom", [](const char* at) { return ::mkfifo(at, 0666); },
             "it is a FIFO, not a regular file,"},
            {"folder.prom", [](const char* at) { return ::mkdir(at, 0755); },
             "it is a folder, not a regular file,"},
            {"theirs.prom",
             [](const char* at) {
                 const int fd = ::open(at, O_CREAT | O_WRONLY, 0644);
                 return fd < 0 ? -1 : ::fchown(fd, kOtherUid, kOtherGid) + ::close(fd);
             },
             "it belongs to another user (uid 65534)"},
        };
    std::set<std::string> made;
    for (const auto& [name, make, why] : rows) {
        const fs::path at = metrics / name;
        ASSERT_EQ(make(at.c_str()), 0) << name;
        made.insert(name);
        const struct stat before = lstatOf(at);
        const CtlResult check = checkInto(at);
        EXPECT_EQ(check.exitCode, 3) << name;
        EXPECT_EQ(check.out, "ZARVO UNKNOWN - cannot write " + at.string() + ": " + why +
                                 " and is left as it is\n");
        const struct stat after = lstatOf(at);
        EXPECT_EQ(std::tie(after.st_ino, after.st_mode, after.st_rdev, after.st_size),
                  std::tie(before.st_ino, before.st_mode, before.st_rdev, before.st_size))
            << name;
        EXPECT_EQ(entries(metrics), made);  // no temporary file left either
    }
    EXPECT_EQ(fileContent(canary), "canary");

    // A folder of another user: root does not write into it.
    const fs::path theirs = program.root() / "theirs";
    fs::create_directory(theirs);
    ASSERT_EQ(::chown(theirs.c_str(), kOtherUid, kOtherGid), 0);
    const CtlResult refused = checkInto(theirs / "zarvo.prom");
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.out, "ZARVO UNKNOWN - cannot write " + (theirs / "zarvo.prom").string() +
                               ": \"" + theirs.string() +
                               "\" is a folder of another user (uid 65534) and is not followed\n");
    EXPECT_TRUE(fs::is_empty(theirs));
}

TEST_F(CtlCheckRights, TheMetricsFileIsReadableByAllAndWritableByItsOwnerWhateverTheMask) {
    const fs::path file = metrics / "zarvo.prom";
    for (const mode_t mask : {077, 000, 077}) {  // a new file, then twice a replaced one
        const mode_t previous = ::umask(mask);
        const CtlResult check = checkInto(file);
        ::umask(previous);
        EXPECT_EQ(check.exitCode, 2) << check.out;  // nothing serves
        EXPECT_EQ(lstatOf(file).st_mode, S_IFREG | 0644) << "umask " << mask;
    }
}

// The temporary file beside the metrics file is created by the check alone, so a link
// planted at its name is never followed, and its name cannot be guessed in advance.
TEST_F(CtlCheckRights, MakesItsTemporaryFileAloneUnderANameNoOneCanGuess) {
    const fs::path strace = "/usr/bin/strace";
    if (!fs::exists(strace)) {
        GTEST_SKIP() << "strace is missing (Debian package strace)";
    }
    const fs::path log = program.root() / "calls";
    // LeakSanitizer cannot run under ptrace: a sanitizer build's check leaves it off there.
    const int status =
        veltrona::testing::reap(spawn(strace, {"-f", "-qq", "-e", "trace=open,openat,openat2,creat",
                                               "-E", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1",
                                               "-o", log.string(), program.ctl().string(), "check",
                                               "--prometheus", (metrics / "zarvo.prom").string()}));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "status " << status << "\n"
                                                               << fileContent(log);
    std::vector<std::string> creations;
    std::istringstream calls(fileContent(log));
    for (std::string line; std::getline(calls, line);) {
        if (line.find("zarvo.prom") != std::string::npos &&
            line.find("O_CREAT") != std::string::npos) {
            creations.push_back(line);
        }
    }
    ASSERT_EQ(creations.size(), 1u) << fileContent(log);
    const std::string& call = creations.front();
    EXPECT_NE(call.find("O_EXCL"), std::string::npos) << call;
    EXPECT_NE(call.find("O_NOFOLLOW"), std::string::npos) << call;
    EXPECT_EQ(call.find("O_TRUNC"), std::string::npos) << call;
    // At least 12 letters or digits drawn at random: more than 2^70 names.
    EXPECT_TRUE(std::regex_search(call, std::regex("zarvo\\.prom[^\"]*[A-Za-z0-9]{12}[^\"]*\"")))
        << call;
    EXPECT_EQ(entries(metrics), std::set<std::string>{"zarvo.prom"});
}

// The folder is the root's, and the server runs as another account: it cannot store there.
TEST_F(CtlCheckRights, AnImageFolderTheServersAccountMayNotWriteIsCritical) {
    const std::string folder = "image folder " + images.string() + "/";
    const CtlResult alone = program.runAsOtherUser({"check"});
    EXPECT_EQ(alone.exitCode, 2) << alone.out << alone.err;
    EXPECT_NE(alone.out.find("; " + folder + " may not be written by this user (uid 65534): " +
                             "Permission denied"),
              std::string::npos)
        << alone.out;

    writeSettings(images / "new");
    EXPECT_NE(program.runAsOtherUser({"check"}).out.find(
                  "; " + folder + "new/ is missing, and this user (uid 65534) may not " +
                  "make it in " + images.string() + ": Permission denied"),
              std::string::npos);

    writeSettings(images);
    const std::vector<std::string> command = serverArguments();
    const pid_t server = serve(
        veltrona::testing::kSetpriv,
        veltrona::testing::asOtherUser(command.front(), {command.begin() + 1, command.end()}));
    const std::string byServer = folder + " may not be written by the server (process " +
                                 std::to_string(server) + ", uid 65534): Permission denied";
    const CtlResult asRoot = program.run({"check"});
    EXPECT_EQ(asRoot.out.rfind("ZARVO CRITICAL - " + byServer + "; ", 0), 0u) << asRoot.out;
    const CtlResult asServer = program.runAsOtherUser({"check"});
    EXPECT_EQ(asServer.out.rfind("ZARVO CRITICAL - " + byServer + "; ", 0), 0u) << asServer.out;
}

// Mounted read-only in the server's own mount namespace only, as a unit's ProtectSystem
// does with what it does not list as writable. The check looks through the server's root:
// as root, and as the server's account with the server's capability (without it, the
// kernel keeps that account out of the server's /proc entries).
TEST_F(CtlCheckRights, AnImageFolderReadOnlyInTheServersNamespaceIsCritical) {
    const std::vector<std::string> asServersAccount = {veltrona::testing::kSetpriv.string(),
                                                       "--reuid=65534",
                                                       "--regid=65534",
                                                       "--clear-groups",
                                                       "--inh-caps=+net_bind_service",
                                                       "--ambient-caps=+net_bind_service",
                                                       "--"};
    for (const bool account : {false, true}) {
        const uid_t uid = account ? kOtherUid : 0;
        ASSERT_EQ(::chown(images.c_str(), uid, account ? kOtherGid : 0), 0);
        std::vector<std::string> launch = {
            "-m",
            "--propagation",
            "private",
            "/bin/sh",
            "-c",
            "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && shift && "
            "exec \"$@\"",
            "sh",
            images.string()};
        if (account) {
            launch.insert(launch.end(), asServersAccount.begin(), asServersAccount.end());
        }
        const std::vector<std::string> command = serverArguments();
        launch.insert(launch.end(), command.begin(), command.end());
        const pid_t server = serve("/usr/bin/unshare", launch);

        const Args args = {"check", "--prometheus", (metrics / "zarvo.prom").string()};
        std::vector<std::string> asAccount = asServersAccount;
        asAccount.push_back(program.ctl().string());
        asAccount.push_back("check");
        const CtlResult check =
            account ? runCtl(asAccount.front(), {asAccount.begin() + 1, asAccount.end()})
                    : program.run(args);
        EXPECT_EQ(check.out.rfind("ZARVO CRITICAL - image folder " + images.string() +
                                      "/ may not be written by the server (process " +
                                      std::to_string(server) + ", uid " + std::to_string(uid) +
                                      "): Read-only file system; ",
                                  0),
                  0u)
            << check.out;
        killAndReap(server);
        servers.clear();
    }
    EXPECT_TRUE(std::regex_search(fileContent(metrics / "zarvo.prom"),
                                  std::regex("\nzarvo_image_folder_writable\\{[^}]*\\} 0\n")));
}

}  // namespace
}  // namespace veltrona::ctl::testing
