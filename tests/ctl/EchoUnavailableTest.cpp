// Where the build has no DICOM network support, VeltronaCtl's echo fails as a failed echo
// does, and says so in one line.
#include <gtest/gtest.h>

#include <sstream>

#include "ctl/Ctl.h"

namespace veltrona::ctl {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome echo(std::vector<std::string> arguments) {
    const auto processes = process::createProcessPlatform();
    std::ostringstream out;
    std::ostringstream err;
    arguments.insert(arguments.begin(), {"--folder", VELTRONA_TEST_DATA_DIR, "echo"});
    const int status = runCtl(arguments, *processes, out, err);
    return {status, out.str(), err.str()};
}

TEST(EchoWithoutDicomSupport, FailsWithOneLineThatSaysWhy) {
    const Outcome plain = echo({"--port", "104", "--aet", "ARCHIVE"});
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.out, "");
    EXPECT_EQ(plain.err.rfind("C-ECHO to ARCHIVE at 127.0.0.1:104 cannot be sent", 0), 0u)
        << plain.err;
    EXPECT_EQ(plain.err.find('\n'), plain.err.size() - 1) << plain.err;
    const std::string reason = "no DICOM network support";
    const std::size_t first = plain.err.find(reason);
    EXPECT_NE(first, std::string::npos) << plain.err;
    EXPECT_EQ(plain.err.find(reason, first + 1), std::string::npos) << plain.err;

    const Outcome json = echo({"--json", "--port", "104"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("\"status\":\"unavailable\""), std::string::npos) << json.out;
}

}  // namespace
}  // namespace veltrona::ctl
