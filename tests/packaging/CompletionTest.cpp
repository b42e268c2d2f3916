// The bash completion the package installs for veltronactl, run by bash itself.
#include <gtest/gtest.h>

#include <fstream>

#include "ChildProcess.h"
#include "TempFolder.h"
#include "ctl/CtlCommand.h"

namespace veltrona::testing {
namespace {

using Words = std::vector<std::string>;

// What bash prints for `script`, run with the completion file sourced and `words` as "$@".
Words bashLines(const std::string& script, const Words& words = {}) {
    TempFolder folder;
    Words arguments = {"-c", "source \"$0\" && " + script, VELTRONA_COMPLETION_FILE};
    arguments.insert(arguments.end(), words.begin(), words.end());
    const int status = reap(spawn("/bin/bash", arguments, folder / "out"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << script;
    Words lines;
    std::ifstream out(folder / "out");
    for (std::string line; std::getline(out, line);) {
        lines.push_back(line);
    }
    return lines;
}

// What the completion offers for `words`, the last one the word being completed.
Words offered(const Words& words) {
    return bashLines(
        "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _veltronactl; "
        "[ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\\n' \"${COMPREPLY[@]}\"",
        words);
}

TEST(Completion, OffersTheCommandsTheirOptionsAndTheSettingNames) {
    EXPECT_EQ(bashLines("complete -p veltronactl"), Words{"complete -F _veltronactl veltronactl"});
    EXPECT_EQ(offered({"veltronactl", ""}),
              Words({"status", "start", "stop", "settings", "echo", "check", "run", "--folder",
                     "--json", "--help", "--version"}));
    EXPECT_EQ(offered({"veltronactl", "st"}), Words({"status", "start", "stop"}));
    EXPECT_EQ(offered({"veltronactl", "--json", "status", "--w"}), Words{"--wait"});
    EXPECT_EQ(offered({"veltronactl", "check", "--disk-"}), Words({"--disk-warn", "--disk-crit"}));
    EXPECT_EQ(offered({"veltronactl", "start", "--wait", ""}), Words{});
    EXPECT_EQ(offered({"veltronactl", "settings", ""}), Words{"set"});
    EXPECT_EQ(offered({"veltronactl", "settings", "set", "Port=104", "Tr"}),
              Words{"TransferSyntax="});
    // Bash splits "NAME=VALUE" at the "=" into words of their own.
    EXPECT_EQ(offered({"veltronactl", "settings", "set", "TransferSyntax", "=", "+x"}),
              Words({"+x=", "+xs", "+xy", "+xi"}));
    EXPECT_EQ(offered({"veltronactl", "settings", "set", "-dhl", "=", ""}),
              Words({"true", "false"}));
}

// An option offered that veltronactl refuses would only earn a usage error.
TEST(Completion, EveryOptionOfferedIsOneTheCommandTakes) {
    for (const std::string& command : offered({"veltronactl", ""})) {
        if (command.starts_with("--")) {
            continue;
        }
        for (const std::string& option : offered({"veltronactl", command, "--"})) {
            SCOPED_TRACE(command + " " + option);
            for (const Words& line : {Words{command, option}, Words{command, option, "1"}}) {
                try {
                    ctl::parseCommandLine(line);
                } catch (const ctl::UsageError& error) {
                    const std::string message = error.what();
                    EXPECT_EQ(message.find("takes no option"), std::string::npos) << message;
                    EXPECT_EQ(message.find("unknown option"), std::string::npos) << message;
                }
            }
        }
    }
}

}  // namespace
}  // namespace veltrona::testing
