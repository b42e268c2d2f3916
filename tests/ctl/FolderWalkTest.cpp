// The image folder's bounded walk over real trees in a temporary folder.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <iterator>

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

// A folder in memory where this process may mount one: on a disk that discards what is
// freed, removing tens of thousands of folders takes minutes.
class MemoryFolder {
  public:
    explicit MemoryFolder(const fs::path& at) : at_(at) {
        fs::create_directory(at);
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64m") == 0;
    }
    MemoryFolder(const MemoryFolder&) = delete;
    MemoryFolder& operator=(const MemoryFolder&) = delete;
    ~MemoryFolder() {
        if (mounted_) {
            ::umount2(at_.c_str(), MNT_DETACH);
        }
    }

  private:
    fs::path at_;
    bool mounted_ = false;
};

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

    // Empty folders hold no entries to count, and yet reading them takes time: opening and
    // reading 50,000 folders takes far longer than the 5 ms the walk is given here.
    const fs::path empty = temp / "empty";
    const MemoryFolder memory(empty);
    for (int folder = 0; folder < 50000; ++folder) {
        fs::create_directory(empty / std::to_string(folder));
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(5);
    const FolderWalk emptyOver = walkFolder(empty, deadline);
    EXPECT_LT(Clock::now(), deadline + std::chrono::milliseconds(250));  // a busy machine, too
    EXPECT_TRUE(emptyOver.timedOut);
    EXPECT_FALSE(emptyOver.complete);

    const FolderWalk missing = walkFolder(temp / "nothing", later());
    EXPECT_FALSE(missing.complete);
    EXPECT_NE(missing.error.find("No such file or directory"), std::string::npos) << missing.error;
}

}  // namespace
}  // namespace veltrona::ctl
