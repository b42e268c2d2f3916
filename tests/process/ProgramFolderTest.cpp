#include "process/ProgramFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace veltrona::process {
namespace {

namespace fs = std::filesystem;

// The tests and the probe are built into the same folder.
TEST(ProgramFolder, IsTheRealFolderOfTheExecutableEvenWhenStartedThroughALink) {
    const std::string expected = fs::canonical(VELTRONA_PROCESS_TESTS_DIR).string() + "/";
    EXPECT_EQ(programFolder().string(), expected);

    testing::TempFolder temp;
    fs::create_symlink(VELTRONA_PROGRAM_FOLDER_PROBE, temp / "probe");
    ASSERT_EQ(testing::reap(testing::spawn(temp / "probe", {}, temp / "out")), 0);
    std::ostringstream out;
    out << std::ifstream(temp / "out").rdbuf();
    EXPECT_EQ(out.str(), expected);
}

}  // namespace
}  // namespace veltrona::process
