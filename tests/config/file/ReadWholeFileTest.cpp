// Reading a whole settings or translation file: what is missing, what is no file, and what
// is too big to be one, told apart from the content.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "TempFolder.h"
#include "config/file/FileAccess.h"

namespace veltrona::config {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::writeFile;

TEST(ReadWholeFile, ReportsMissingFailedOrTheWholeContent) {
    TempFolder temp;
    const std::string bytes("#Server\r\n\xF6\0\x81 end", 13);
    writeFile(temp / "file", bytes);
    writeFile(temp / "empty", "");
    fs::create_directory(temp / "folder");
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
    fs::create_symlink("nowhere", temp / "dangling");
    fs::create_symlink("loop", temp / "loop");

    using Status = FileReadResult::Status;
    const struct {
        const char* name;
        fs::path path;
        Status status;
        std::string content;
        std::string reason;
    } cases[] = {
        {"Regular", temp / "file", Status::Ok, bytes, ""},
        {"Empty", temp / "empty", Status::Ok, "", ""},
        {"Absent", temp / "none", Status::Missing, "", ""},
        // There, but no file: reported, so that no one takes it for an empty file.
        {"FolderIsNoFile", temp / "folder", Status::Failed, "", std::strerror(EISDIR)},
        {"FifoIsNoFile", temp / "fifo", Status::Failed, "",
         "\"" + (temp / "fifo").string() + "\" is no regular file"},
        {"DanglingLink", temp / "dangling", Status::Missing, "", ""},
        {"ParentIsAFile", temp / "file" / "x", Status::Missing, "", ""},
        {"LinkLoop", temp / "loop", Status::Failed, "", std::strerror(ELOOP)},
    };
    for (const auto& c : cases) {
        const FileReadResult result = readWholeFile(c.path);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.content, c.content) << c.name;
        EXPECT_EQ(result.reason, c.reason) << c.name;
    }
}

// A file above the limit is refused without being read: a sparse 100 MB file costs no
// read at all, and a file whose size says nothing (the kernel's own files say 0) is cut
// off by the read itself.
TEST(ReadWholeFile, RefusesAFileAboveTheLimitUnread) {
    TempFolder temp;
    writeFile(temp / "limit", std::string(kReadLimit, 'x'));
    writeFile(temp / "above", std::string(kReadLimit + 1, 'x'));
    writeFile(temp / "huge", "");
    fs::resize_file(temp / "huge", 100 << 20);
    const FileReadResult limit = readWholeFile(temp / "limit");
    EXPECT_EQ(limit.status, FileReadResult::Status::Ok);
    EXPECT_EQ(limit.content.size(), kReadLimit);
    for (const fs::path& path : {temp / "above", temp / "huge"}) {
        const FileReadResult result = readWholeFile(path);
        EXPECT_EQ(result.status, FileReadResult::Status::TooBig) << path;
        EXPECT_EQ(result.content, "") << path;
    }
    EXPECT_EQ(readWholeFile("/proc/self/maps", 16).status, FileReadResult::Status::TooBig);
    EXPECT_EQ(readWholeFile("/proc/self/maps").status, FileReadResult::Status::Ok);
}

}  // namespace
}  // namespace veltrona::config
