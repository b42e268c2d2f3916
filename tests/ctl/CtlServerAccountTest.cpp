// Root's VeltronaCtl in the package's folder runs the server as the server's own account.
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>

#include <fstream>
#include <map>

#include "CtlTestSupport.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

// A system account made for one test and removed after it.
class ThrowawayAccount {
  public:
    ThrowawayAccount() : name_("vlt-test-" + std::to_string(::getpid())) {
        made_ =
            veltrona::testing::reap(spawn(
                "/usr/sbin/useradd", {"--system", "--user-group", "--no-create-home", "--home-dir",
                                      "/nonexistent", "--shell", "/usr/sbin/nologin", name_})) == 0;
    }
    ~ThrowawayAccount() {
        if (made_) {
            veltrona::testing::reap(spawn("/usr/sbin/userdel", {name_}));
        }
    }
    bool made() const { return made_; }
    const std::string& name() const { return name_; }

  private:
    std::string name_;
    bool made_ = false;
};

// The "Name:\tvalue" lines of /proc/PID/status.
std::map<std::string, std::string> processStatus(long id) {
    std::map<std::string, std::string> fields;
    std::ifstream file("/proc/" + std::to_string(id) + "/status");
    for (std::string line; std::getline(file, line);) {
        const std::size_t colon = line.find(':');
        fields[line.substr(0, colon)] = line.substr(line.find_first_not_of(":\t", colon));
    }
    return fields;
}

// A port below 1024 that nothing listens on: only root's servers may bind it.
int freePrivilegedPort() {
    for (int port = 1023; port > 512; --port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (free) {
            return port;
        }
    }
    return 0;
}

class ServerAccount : public ServerFolderTest {
  protected:
    void SetUp() override {
        ServerFolderTest::SetUp();
        if (::geteuid() != 0 || !fs::exists("/usr/sbin/useradd")) {
            GTEST_SKIP() << "needs root and useradd to make the server's account";
        }
        program.openToOtherUsers();
        fs::copy_file(VELTRONA_PACKAGED_CTL, program.ctl(), fs::copy_options::overwrite_existing);
        ::setenv("VELTRONA_TEST_PACKAGE_FOLDER", program.folder().c_str(), 1);
    }
    void TearDown() override {
        ServerFolderTest::TearDown();
        ::unsetenv("VELTRONA_TEST_PACKAGE_FOLDER");
        ::unsetenv("VELTRONA_TEST_SERVER_ACCOUNT");
    }
    void serve(const std::string& imageFolder, int port) const {
        writeFile(program.settingsFile(), "-aet = A\r\nPort = " + std::to_string(port) +
                                              "\r\n-od = " + imageFolder + "\r\n");
    }
};

TEST_F(ServerAccount, RootStartsThePackagesServerAsItsAccountWithOnlyTheBindCapability) {
    ThrowawayAccount account;
    ASSERT_TRUE(account.made());
    ::setenv("VELTRONA_TEST_SERVER_ACCOUNT", account.name().c_str(), 1);
    const passwd* ids = ::getpwnam(account.name().c_str());
    ASSERT_NE(ids, nullptr);
    const std::string uid = std::to_string(ids->pw_uid);
    const std::string gid = std::to_string(ids->pw_gid);
    const int port = freePrivilegedPort();
    ASSERT_NE(port, 0);
    serve(program.root().string() + "/images/", port);

    for (const Args& start : {Args{"start", "--wait", "10"}, Args{"run"}}) {
        SCOPED_TRACE(start[0]);
        const pid_t run = start[0] == "run" ? spawn(program.ctl(), start) : 0;
        if (run == 0) {
            const CtlResult started = program.run(start);
            ASSERT_EQ(started.exitCode, 0) << started.err;
        }
        CtlResult status;
        EXPECT_TRUE(eventually([&] {
            status = program.run({"status", "--json"});
            return status.out.find("\"serverListens\":true") != std::string::npos;
        })) << status.out;  // the account's server listens on a port below 1024
        const std::string key = "\"processes\":[{\"id\":";
        const long id = std::stol(status.out.substr(status.out.find(key) + key.size()));
        const auto fields = processStatus(id);
        EXPECT_EQ(fields.at("Uid"), uid + "\t" + uid + "\t" + uid + "\t" + uid);
        EXPECT_EQ(fields.at("Gid"), gid + "\t" + gid + "\t" + gid + "\t" + gid);
        for (const char* set : {"CapPrm", "CapEff", "CapAmb", "CapBnd"}) {
            EXPECT_EQ(fields.at(set), "0000000000000400") << set;  // CAP_NET_BIND_SERVICE
        }
        EXPECT_EQ(fields.at("NoNewPrivs"), "1");
        ASSERT_EQ(program.run({"stop", "--wait", "10"}).exitCode, 0);
        if (run != 0) {
            veltrona::testing::reap(run);
        }
    }

    // What members write into the settings reaches only what the account may change.
    const fs::path underRoot = "/root/veltrona-test-" + std::to_string(::getpid());
    serve(underRoot.string() + "/x/", freePrivilegedPort());
    program.run({"start", "--wait", "5"});
    EXPECT_FALSE(fs::exists(underRoot));
    program.run({"stop", "--wait", "10"});
}

// Anyone may run the package's server program; run by another user it is that user's.
TEST_F(ServerAccount, TheFoldersProgramRunByAnotherUserNeitherBlocksNorIsEnded) {
    ThrowawayAccount account;
    ASSERT_TRUE(account.made());
    ::setenv("VELTRONA_TEST_SERVER_ACCOUNT", account.name().c_str(), 1);
    ::unsetenv("ZARVO_SERVER_ARGS_FILE");
    const pid_t other = spawn(veltrona::testing::kSetpriv,
                              veltrona::testing::asOtherUser(
                                  program.folder() / "ZarvoServer.exe",
                                  {"-dw", "-od", "/tmp", "-aet", "A", std::to_string(freePort())}));
    ::setenv("ZARVO_SERVER_ARGS_FILE", argsFile.c_str(), 1);
    const std::string named = "process " + std::to_string(other) + " (" +
                              (program.folder() / "ZarvoServer.exe").string() +
                              ", user nobody): not this folder's server";
    EXPECT_TRUE(eventually([&] {
        const CtlResult status = program.run({"status"});
        return status.exitCode == 3 && status.out.find(named) != std::string::npos;
    }));
    serve(program.root().string() + "/images/", freePrivilegedPort());
    const CtlResult start = program.run({"start", "--wait", "10"});
    EXPECT_EQ(start.exitCode, 0) << start.err;
    EXPECT_EQ(program.run({"stop", "--wait", "10"}).exitCode, 0);
    EXPECT_EQ(::kill(other, 0), 0);
    killAndReap(other);
}

TEST_F(ServerAccount, RefusesToRunThePackagesServerAsRootWithoutItsAccount) {
    ::setenv("VELTRONA_TEST_SERVER_ACCOUNT", "vlt-no-such-account", 1);
    serve(program.root().string() + "/images/", freePort());
    for (const char* command : {"start", "run"}) {
        const CtlResult result = program.run({command});
        EXPECT_EQ(result.exitCode, 1) << command;
        EXPECT_NE(result.err.find("the account \"vlt-no-such-account\" that the server runs as "
                                  "does not exist; the server is not started as root"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_FALSE(fs::exists(argsFile));
}

}  // namespace
}  // namespace veltrona::ctl::testing
