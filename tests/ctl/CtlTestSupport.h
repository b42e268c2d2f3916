#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ListeningSocket.h"
#include "OtherUser.h"
#include "TempFolder.h"
#include "process/ProcessPlatform.h"
#include "process/ServerDetection.h"

namespace veltrona::ctl::testing {

namespace fs = std::filesystem;
using veltrona::testing::eventually;
using veltrona::testing::fileContent;
using veltrona::testing::killAndReap;
using veltrona::testing::ListeningSocket;
using veltrona::testing::spawn;
using veltrona::testing::TempFolder;
using veltrona::testing::writeFile;

inline const fs::path kBuiltCtl = fs::path(VELTRONA_PROGRAM_DIR) / "VeltronaCtl";
inline const fs::path kBuiltServer = fs::path(VELTRONA_PROGRAM_DIR) / "ZarvoServer.exe";

struct CtlResult {
    int exitCode = -1;  // -1: it did not end by itself
    std::string out;
    std::string err;
};

// Runs VeltronaCtl (or a copy, or a link to it) to its end; one that hangs is killed
// after 60 seconds.
inline CtlResult runCtl(const fs::path& program, const std::vector<std::string>& arguments) {
    TempFolder capture;
    CtlResult result;
    const pid_t pid = spawn(program, arguments, capture / "out", capture / "err");
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            killAndReap(pid);
            ADD_FAILURE() << program << " did not end";
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = fileContent(capture / "out");
    result.err = fileContent(capture / "err");
    return result;
}

// A port nothing listens on right now.
inline std::uint16_t freePort() {
    return ListeningSocket().port();
}

// Tests of the built VeltronaCtl on a temporary folder of its own (`--folder`).
class CtlOnTempFolder : public ::testing::Test {
  protected:
    TempFolder folder;

    CtlResult ctl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--folder", folder.path().string()});
        return runCtl(kBuiltCtl, arguments);
    }
};

// A temporary program folder holding copies of the built VeltronaCtl and stand-in server.
class ProgramFolder {
  public:
    ProgramFolder() {
        fs::create_directory(folder());
        fs::copy_file(kBuiltCtl, ctl());
        fs::copy_file(kBuiltServer, folder() / "ZarvoServer.exe");
    }
    fs::path root() const { return temp_.path(); }
    fs::path folder() const { return temp_.path() / "program"; }
    fs::path ctl() const { return folder() / "VeltronaCtl"; }
    fs::path settingsFile() const { return folder() / "Server.INI"; }

    CtlResult run(const std::vector<std::string>& arguments) const {
        return withoutOthers(runCtl(ctl(), arguments));
    }

    // Lets an ordinary user run the copies and write beside them (the argument record).
    // The start lock is made as the package makes it, so that user may take it by reading.
    void openToOtherUsers() const {
        fs::permissions(root(), fs::perms::all);
        fs::permissions(folder(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
        writeFile(folder() / ".ZarvoServer.lock", "");
        fs::permissions(folder() / ".ZarvoServer.lock",
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    }
    CtlResult runAsOtherUser(const std::vector<std::string>& arguments) const {
        return withoutOthers(
            runCtl(veltrona::testing::kSetpriv, veltrona::testing::asOtherUser(ctl(), arguments)));
    }

    // The answer without what it says of servers outside this test's folders (other test
    // runs on the machine): their notes, lines and JSON entries.
    CtlResult withoutOthers(CtlResult result) const {
        std::string mine;  // this test's folder, as a regular expression
        for (const char c : root().string()) {
            mine += std::string(std::strchr(".^$|()[]{}*+?\\/", c) != nullptr ? "\\" : "") + c;
        }
        const std::string other =
            "process [0-9]+ \\((?!" + mine + ")[^)]*\\): not this folder's server";
        const std::regex line(
            "(note: ZarvoServer.exe runs elsewhere and is left alone: |"
            "ZarvoServer.exe runs elsewhere: |"
            "Left alone, ZarvoServer.exe elsewhere: )" +
            other + "\n");
        const std::regex inline_("(; ZarvoServer.exe elsewhere: |, )" + other);
        const std::regex json(",?\\{\"id\":[0-9]+,\"executable\":\"(?!" + mine +
                              ")[^\"]*\",\"user\":\"[^\"]*\"\\}");
        for (std::string* text : {&result.out, &result.err}) {
            *text = std::regex_replace(*text, line, "");
            *text = std::regex_replace(*text, inline_, "");
            *text = std::regex_replace(*text, json, "");
            *text = std::regex_replace(*text, std::regex("\"elsewhere\":\\[,"), "\"elsewhere\":[");
        }
        return result;
    }

  private:
    TempFolder temp_;
};

// A test with a program folder of its own. VeltronaCtl counts only the folder's own
// ZarvoServer.exe as the server, so servers elsewhere on the machine (started by hand, or
// by a test run outside this one) do not disturb it. The stand-in records its arguments in
// `argsFile`; whatever a test left running in its folder goes with it.
class ServerFolderTest : public ::testing::Test {
  protected:
    ProgramFolder program;
    fs::path argsFile = program.root() / "arguments.txt";

    void SetUp() override { ::setenv("ZARVO_SERVER_ARGS_FILE", argsFile.c_str(), 1); }

    void TearDown() override {
        ::unsetenv("ZARVO_SERVER_ARGS_FILE");
        for (const process::ProcessEntry& entry :
             process::createProcessPlatform()->listProcesses()) {
            if (entry.executable.rfind(program.root().string(), 0) == 0) {
                killAndReap(static_cast<pid_t>(entry.id));
            }
        }
    }
};

}  // namespace veltrona::ctl::testing
