// Whole-file reads and the crash-safe replacement on Windows, on real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "WindowsTestSupport.h"
#include "config/file/FileAccess.h"
#include "ctl/Ctl.h"

namespace veltrona::config {
namespace {

using testing::TempFolder;

std::string contentOf(const std::filesystem::path& path) {
    const auto result = readWholeFile(path);
    EXPECT_EQ(result.status, FileReadResult::Status::Ok) << result.reason;
    return result.content;
}

std::size_t entriesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

// Opens the file the way an editor or a scanner does that lets others read and write
// but not delete or rename it.
HANDLE holdOpen(const std::filesystem::path& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

TEST(WindowsReadWholeFile, TellsMissingFromReadable) {
    TempFolder folder;
    const auto file = folder.path() / L"Server.INI";
    const std::string bytes("AE=ARCHIVE\r\n\0\xE4\r\nlast", 20);
    { std::ofstream(file, std::ios::binary) << bytes; }
    struct Row {
        const char* name;
        std::filesystem::path path;
        FileReadResult::Status status;
    };
    const Row rows[] = {
        {"file", file, FileReadResult::Status::Ok},
        {"other letter case", folder.path() / L"server.ini", FileReadResult::Status::Ok},
        {"missing file", folder.path() / L"Custom.ini", FileReadResult::Status::Missing},
        {"missing folder", folder.path() / L"no" / L"Custom.ini", FileReadResult::Status::Missing},
        {"folder", folder.path(), FileReadResult::Status::Failed},
        {"above the limit", folder.path() / L"big.ini", FileReadResult::Status::TooBig},
    };
    // Sparse where the file system allows it: a size the read refuses before reading.
    { std::ofstream(folder.path() / L"big.ini", std::ios::binary) << "x"; }
    std::filesystem::resize_file(folder.path() / L"big.ini", 100 << 20);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = readWholeFile(row.path);
        EXPECT_EQ(result.status, row.status) << result.reason;
        if (row.status == FileReadResult::Status::Ok) {
            EXPECT_EQ(result.content, bytes);
        }
    }
}

TEST(WindowsReplaceFile, CreatesAndReplacesLeavingNothingBehind) {
    TempFolder folder;
    const auto file = folder.path() / L"Server.INI";
    replaceFile(file, "first\r\n");
    EXPECT_EQ(contentOf(file), "first\r\n");
    replaceFile(file, std::string("x\0y", 3));
    EXPECT_EQ(contentOf(file), std::string("x\0y", 3));
    replaceFile(file, "");
    EXPECT_EQ(contentOf(file), "");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(WindowsReplaceFile, KeepsTheAttributesOfTheFileItReplaces) {
    TempFolder folder;
    const auto file = folder.path() / L"Server.INI";
    replaceFile(file, "old");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    replaceFile(file, "new");
    EXPECT_EQ(contentOf(file), "new");
    EXPECT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST(WindowsReplaceFile, WaitsForAProgramThatHoldsTheFileForAMoment) {
    TempFolder folder;
    const auto file = folder.path() / L"Server.INI";
    replaceFile(file, "old");
    HANDLE held = holdOpen(file);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // Without a retry the rename fails while the file is held; make sure it does here.
    const auto probe = folder.path() / L"probe.tmp";
    { std::ofstream(probe) << "probe"; }
    const bool blocked = !MoveFileExW(probe.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    DeleteFileW(probe.c_str());
    if (!blocked) {
        CloseHandle(held);
        GTEST_SKIP() << "this system renames over a file that another program holds open";
    }
    std::thread release([held] {
        Sleep(400);
        CloseHandle(held);
    });
    replaceFile(file, "new");
    release.join();
    EXPECT_EQ(contentOf(file), "new");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(WindowsReplaceFile, ReportsFailureAndKeepsTheOldFileWhole) {
    TempFolder folder;
    const auto file = folder.path() / L"Server.INI";
    replaceFile(file, "old");

    struct Row {
        const char* name;
        std::filesystem::path path;
        std::function<void()> arrange;
        std::function<void()> undo;
    };
    HANDLE held = INVALID_HANDLE_VALUE;
    const Row rows[] = {
        {"read-only file", file, [&] { SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY); },
         [&] { SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL); }},
        {"held for longer than the retry", file, [&] { held = holdOpen(file); },
         [&] { CloseHandle(held); }},
        {"missing folder", folder.path() / L"gone" / L"Server.INI", [] {}, [] {}},
        {"folder in the way", folder.path(), [] {}, [] {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.arrange();
        try {
            replaceFile(row.path, "new");
            ADD_FAILURE() << "no FileError";
        } catch (const FileError& error) {
            EXPECT_EQ(error.action(), FileAction::Write);
            EXPECT_EQ(error.path(), row.path);
            EXPECT_FALSE(error.reason().empty()) << "no reason";
            EXPECT_NE(error.reason().back(), '.') << "the error box adds the period";
        }
        row.undo();
        EXPECT_EQ(contentOf(file), "old");
        EXPECT_EQ(entriesIn(folder.path()), 1u) << "a temporary file was left behind";
    }
}

TEST(WindowsReplaceFile, ReplacesTheTargetOfASymbolicLink) {
    TempFolder folder;
    const auto target = folder.path() / L"Real.INI";
    const auto link = folder.path() / L"Server.INI";
    replaceFile(target, "old");
    // Some systems answer success without making a link (Wine 8 among them).
    const bool made = CreateSymbolicLinkW(link.c_str(), target.c_str(), 0);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (!made || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        GTEST_SKIP() << "no symbolic links here";
    }
    replaceFile(link, "new");
    EXPECT_EQ(contentOf(target), "new");
    EXPECT_TRUE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(entriesIn(folder.path()), 2u);
}

// settings set writes into the file that is there, under the name it has on disk; a new
// file is Server.ini.
TEST(WindowsSettingsFile, SetKeepsTheFilesSpelling) {
    for (const wchar_t* name : {L"server.ini", L"SERVER.INI", L""}) {
        TempFolder folder;
        if (*name) {
            replaceFile(folder.path() / name, "Port = 11112\r\n");
        }
        const auto processes = process::createProcessPlatform();
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(ctl::runCtl({"--folder", folder.ansi(), "settings", "set", "Port=104"},
                              *processes, out, err),
                  0)
            << err.str();
        std::vector<std::wstring> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            names.push_back(entry.path().filename().wstring());
        }
        EXPECT_EQ(names, std::vector<std::wstring>{*name ? name : L"Server.ini"}) << out.str();
    }
}

// Writers take turns on a lock file beside the target, which the last one removes.
TEST(WindowsFileLock, AnotherWriterWaitsAndGivesUpInTime) {
    TempFolder folder;
    const auto file = folder.path() / L"Server.INI";
    {
        const FileLock first(file);
        EXPECT_EQ(first.lockFile(), folder.path() / L".Server.INI.lock");
        try {
            const FileLock second(file, std::chrono::milliseconds(100));
            ADD_FAILURE() << "the lock was taken twice";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("Another program is writing it"),
                      std::string::npos)
                << error.what();
        }
    }
    EXPECT_EQ(entriesIn(folder.path()), 0u);
    const FileLock again(file, std::chrono::milliseconds(100));
}

// A folder in the lock file's place is named, not told as "Access is denied".
TEST(WindowsFileLock, AFolderAtTheLockIsNamed) {
    TempFolder folder;
    const auto file = folder.path() / L"Server.INI";
    std::filesystem::create_directory(folder.path() / L".Server.INI.lock");
    try {
        const FileLock lock(file, std::chrono::milliseconds(100));
        ADD_FAILURE() << "a folder was taken as the lock";
    } catch (const FileError& error) {
        EXPECT_EQ(error.reason(), "Its lock \"" + (folder.path() / L".Server.INI.lock").string() +
                                      "\" is a folder, not a regular file");
    }
}

}  // namespace
}  // namespace veltrona::config
