// VeltronaCtl's settings commands where the file or its lock is at fault: each refusal names
// the file and why, in English, and leaves what the user had. Run as the built program on
// temporary program folders.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstring>

#include "CtlTestSupport.h"
#include "OtherUser.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

// Leaves a socket file at `path`, as a program that listened there would.
void bindUnixSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

class CtlSettingsFaults : public CtlOnTempFolder {};

TEST_F(CtlSettingsFaults, AFileThatCannotBeWrittenIsSaidInEnglish) {
    fs::create_symlink("gone/Server.ini", folder / "Server.ini");  // into a missing folder
    const CtlResult set = ctl({"settings", "set", "Port=104"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_EQ(set.err.rfind("File \"" + (folder / "Server.ini").string() +
                                "\" cannot be written. No such file or directory.\n",
                            0),
              0u)
        << set.err;
    EXPECT_EQ(set.out, "");
}

// Each problem with the writers' lock names the lock file and what is wrong with it.
TEST_F(CtlSettingsFaults, LockProblemsNameTheLockAndWhy) {
    VELTRONA_NEEDS_OTHER_USER();
    const fs::path lock = folder / ".Server.INI.lock";
    const std::string prefix = "File \"" + (folder / "Server.INI").string() +
                               "\" cannot be written. Its lock \"" + lock.string() + "\" ";
    writeFile(folder / "Server.INI", "Port = 104\r\n");
    const struct {
        const char* what;
        std::function<void()> plant;
        std::string reason;
    } rows[] = {
        {"folder", [&] { fs::create_directory(lock); }, "is a folder, not a regular file"},
        {"socket", [&] { bindUnixSocket(lock); }, "is a socket, not a regular file"},
        {"link", [&] { fs::create_symlink(folder / "Server.INI", lock); },
         "is a symbolic link, not a regular file"},
        {"FIFO", [&] { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); },
         "is a FIFO, not a regular file"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.plant();
        const CtlResult set = ctl({"settings", "set", "Port=105"});
        EXPECT_EQ(set.exitCode, 1);
        EXPECT_EQ(set.err, prefix + row.reason + ".\n");
        fs::remove(lock);
    }
    // The file is the other user's to write, its folder is not.
    fs::permissions(folder.path(), static_cast<fs::perms>(0755));
    fs::permissions(folder / "Server.INI", static_cast<fs::perms>(0666));
    const CtlResult other =
        runCtl(veltrona::testing::kSetpriv,
               veltrona::testing::asOtherUser(
                   kBuiltCtl, {"--folder", folder.path().string(), "settings", "set", "Port=105"}));
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_EQ(other.err, prefix + "cannot be made in the folder \"" + folder.path().string() +
                             "\": Permission denied.\n");
    EXPECT_EQ(fileContent(folder / "Server.INI"), "Port = 104\r\n");
}

// With --json every answer is one object, errors too: the exit status and the message.
TEST_F(CtlSettingsFaults, ErrorsWithJsonAreOneObject) {
    const std::string unreadable = "File \\\"" + (folder / "Server.INI").string() +
                                   "\\\" cannot be read and is left unchanged. Is a directory.";
    const struct {
        Args arguments;
        int exitCode;
        std::string error;  // as JSON
    } rows[] = {
        {{"status", "--json", "--graceful", "1"},
         2,
         "\\\"status\\\" takes no option \\\"--graceful\\\""},
        {{"run", "--json"}, 2, "--json: \\\"run\\\" has no JSON answer"},
        {{"--json", "settings", "set", "Colour=red"},
         2,
         "unknown setting \\\"Colour\\\"; nothing was written"},
        {{"--json", "echo"},
         1,
         "Port \\\"\\\" in Server.INI is no port number; give one with --port"},
        {{"--json", "settings"}, 1, unreadable},
        {{"--json", "settings", "set", "Port=1"}, 1, unreadable},
        {{"--json", "start"}, 1, unreadable},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.back());
        fs::remove_all(folder / "Server.INI");
        if (row.error == unreadable) {
            fs::create_directory(folder / "Server.INI");
        }
        const CtlResult result = ctl(row.arguments);
        EXPECT_EQ(result.exitCode, row.exitCode);
        EXPECT_EQ(result.out, "{\"exitCode\":" + std::to_string(row.exitCode) + ",\"error\":\"" +
                                  row.error + "\"}\n");
        EXPECT_FALSE(result.err.empty());
    }
}

// Empty settings in the place of a file's would be shown, and written over it.
TEST_F(CtlSettingsFaults, AFileThatCannotBeReadIsNeverReplaced) {
    VELTRONA_NEEDS_OTHER_USER();
    const std::string kept = "-aet = ARCHIVE\r\nPort = 104\r\nAdminPassword=secret\r\n";
    writeFile(folder / "Server.INI", kept);
    fs::permissions(folder / "Server.INI", static_cast<fs::perms>(0600));
    fs::permissions(folder.path(), fs::perms::all);
    for (const Args& command : {Args{"settings"}, Args{"settings", "--json"},
                                Args{"settings", "set", "Port=11112"}, Args{"start"}}) {
        Args arguments = {"--folder", folder.path().string()};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const CtlResult result = runCtl(veltrona::testing::kSetpriv,
                                        veltrona::testing::asOtherUser(kBuiltCtl, arguments));
        const std::string message = "File \"" + (folder / "Server.INI").string() +
                                    "\" cannot be read and is left unchanged. Permission denied.";
        EXPECT_EQ(result.exitCode, 1) << command.back();
        EXPECT_EQ(result.err, message + "\n") << command.back();
        if (command.back() != "--json") {
            EXPECT_EQ(result.out, "") << command.back();
        }
    }
    EXPECT_EQ(fileContent(folder / "Server.INI"), kept);
    EXPECT_EQ(veltrona::testing::entries(folder.path()).size(), 1u);
}

// A settings file far above any real one's size is refused unread by every command that needs
// its settings (status answers from the processes and leaves the port unchecked).
TEST_F(CtlSettingsFaults, AFileAboveTheLimitIsRefusedByName) {
    writeFile(folder / "Server.INI", "Port = 104\r\n");
    fs::resize_file(folder / "Server.INI", 100 << 20);
    for (const Args& command :
         {Args{"settings"}, Args{"settings", "set", "Port=11112"}, Args{"start"}}) {
        const CtlResult result = ctl(command);
        EXPECT_EQ(result.exitCode, 1) << command.back();
        EXPECT_EQ(result.err, "File \"" + (folder / "Server.INI").string() +
                                  "\" cannot be read and is left unchanged. It is larger than "
                                  "1 MiB, more than any settings file holds.\n")
            << command.back();
        EXPECT_EQ(result.out, "") << command.back();
    }
    EXPECT_EQ(fs::file_size(folder / "Server.INI"), 100u << 20);
}

}  // namespace
}  // namespace veltrona::ctl::testing
