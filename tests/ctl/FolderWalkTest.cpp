// The image folder's bounded walk over real trees in a temporary folder.
#include <gtest/gtest.h>

#include "TempFolder.h"
#include "ctl/FolderWalk.h"

namespace veltrona::ctl {
namespace {

namespace fs = std::filesystem;
using veltrona::testing::TempFolder;
using veltrona::testing::writeFile;
using Clock = std::chrono::steady_clock;

Clock::time_point later() {
    return Clock::now() + std::chrono::seconds(30);
}

TEST(FolderWalk, AddsUpTheFilesOfTheTreeAndNothingOutsideIt) {
    TempFolder temp;
    const fs::path images = temp / "images";
    fs::create_directories(images / "patient" / "study" / "series");
    writeFile(images / "a.dcm", std::string(1000, 'a'));
    writeFile(images / "patient" / "study" / "series" / "b.dcm", std::string(2345, 'b'));
    fs::create_hard_link(images / "a.dcm", images / "patient" / "a-again.dcm");  // counts once
    fs::create_directory(images / "empty");

    fs::create_directory(temp / "elsewhere");
    writeFile(temp / "elsewhere" / "big", std::string(100000, 'x'));
    fs::create_directory_symlink(temp / "elsewhere", images / "patient" / "linked-folder");
    fs::create_symlink(temp / "elsewhere" / "big", images / "linked-file");
    fs::create_directory_symlink(images, images / "patient" / "loop");

    const FolderWalk walk = walkFolder(images, later());
    EXPECT_TRUE(walk.complete) << walk.error;
    EXPECT_FALSE(walk.timedOut);
    EXPECT_EQ(walk.bytes, 3345u);
    EXPECT_EQ(walk.files, 2u);

    // The folder itself may be named through a link.
    fs::create_directory_symlink(images, temp / "images-link");
    EXPECT_EQ(walkFolder(temp / "images-link", later()).bytes, 3345u);
}

TEST(FolderWalk, StopsAtTheDeadlineAndSaysSo) {
    TempFolder temp;
    for (int folder = 0; folder < 4; ++folder) {
        const fs::path sub = temp / std::to_string(folder);
        fs::create_directory(sub);
        for (int file = 0; file < 100; ++file) {
            writeFile(sub / std::to_string(file), "12345");
        }
    }
    const FolderWalk over = walkFolder(temp.path(), Clock::now() - std::chrono::seconds(1));
    EXPECT_TRUE(over.timedOut);
    EXPECT_FALSE(over.complete);
    EXPECT_LT(over.files, 400u);

    const FolderWalk whole = walkFolder(temp.path(), later());
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(whole.files, 400u);
    EXPECT_EQ(whole.bytes, 2000u);

    const FolderWalk missing = walkFolder(temp / "nothing", later());
    EXPECT_FALSE(missing.complete);
    EXPECT_NE(missing.error.find("No such file or directory"), std::string::npos) << missing.error;
}

}  // namespace
}  // namespace veltrona::ctl
