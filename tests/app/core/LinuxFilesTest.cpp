// The program folder's files as Linux has them: file modes, other users, UTF-8 text.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>

#include "CoreFixture.h"

namespace veltrona::app::testing {
namespace {

namespace fs = std::filesystem;
using LinuxFiles = CoreFormTest;

TEST_F(LinuxFiles, UnwritableSettingsAreReportedAndTheNextCloseTriesAgain) {
    // A link into a folder that is not there: nothing to read, and no place to write,
    // even for root.
    fs::create_symlink("gone/Server.ini", programFolder / "Server.ini");
    create();
    EXPECT_EQ(dialogs.infos, std::vector<std::string>{});
    EXPECT_FALSE(form->FormClose());
    ASSERT_EQ(dialogs.errors.size(), 1u);
    const std::string& error = dialogs.errors[0];
    EXPECT_TRUE(error.starts_with("Datei \"" + (programFolder / "Server.ini").string() +
                                  "\" kann nicht erstellt werden. "))
        << error;
    EXPECT_TRUE(error.ends_with("."));

    fs::create_directory(programFolder / "gone");
    EXPECT_TRUE(form->FormClose());
    EXPECT_EQ(readBytes(programFolder / "gone" / "Server.ini"), kEmptyFolderFile);
}

// A settings file that is there but cannot be read would come back as an empty window's
// settings: the window says so once and its close leaves the file alone.
TEST_F(LinuxFiles, ASettingsFileThatCannotBeReadIsSaidAndNeverReplaced) {
    const fs::path file = programFolder / "Server.INI";
    const struct {
        const char* name;
        std::function<void()> make;
        std::string reason;
    } cases[] = {
        {"Folder", [&] { fs::create_directory(file); }, "Is a directory"},
        {"Fifo", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         "\"" + file.string() + "\" is no regular file"},
        {"LinkLoop", [&] { fs::create_symlink("Server.INI", file); },
         "Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        c.make();
        dialogs = {};
        create();
        EXPECT_EQ(
            dialogs.infos,
            Texts({"Datei \"" + file.string() +
                   "\" kann nicht gelesen werden und bleibt unver\u00e4ndert. " + c.reason + "."}))
            << c.name;
        EXPECT_TRUE(form->FormClose()) << c.name;
        EXPECT_EQ(dialogs.errors, std::vector<std::string>{}) << c.name;
        EXPECT_EQ(namesIn(programFolder), std::set<std::string>({"Server.INI"})) << c.name;
        EXPECT_NE(fs::symlink_status(file).type(), fs::file_type::regular) << c.name;
        fs::remove(file);
    }
}

// A settings or translation file holds a few kilobytes; a far larger one is neither
// read nor used, said once at start-up, and the close leaves the settings file alone.
TEST_F(LinuxFiles, FilesAboveTheLimitAreSaidOnceAndLeftAlone) {
    const fs::path file = programFolder / "Server.INI";
    writeSettings("Port = 104\r\n");
    fs::resize_file(file, 100 << 20);
    writeTranslation(std::string(config::kReadLimit + 1, '#'));
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    create();
    EXPECT_EQ(dialogs.infos,
              Texts({"Datei \"" + file.string() +
                     "\" kann nicht gelesen werden und bleibt unver\u00e4ndert. Sie ist "
                     "gr\u00f6\u00dfer als 1 MiB."}));
    EXPECT_EQ(dialogs.errors, Texts({"Datei " + (programFolder / "../Custom.ini").string() +
                                     " kann nicht geöffnet werden. Sie ist gr\u00f6\u00dfer "
                                     "als 1 MiB."}));
    EXPECT_EQ(view->windowCaption(), "Zarvo Server Einstellungen");
    view->setText("Edit2", "11112");
    EXPECT_TRUE(form->FormClose());
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(namesIn(programFolder), std::set<std::string>({"Server.INI"}));
}

TEST_F(LinuxFiles, CloseKeepsTheSettingsFilesMode) {
    writeSettings("Port = 104\r\n");
    ::chmod((programFolder / "Server.INI").c_str(), 0640);
    create();
    view->setText("Edit2", "11112");
    EXPECT_TRUE(form->FormClose());
    struct stat info {};
    ASSERT_EQ(::stat((programFolder / "Server.INI").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_NE(readBytes(programFolder / "Server.INI").find("Port = 11112\r\n"), std::string::npos);
}

TEST_F(LinuxFiles, Utf8SettingsFileStaysUtf8) {
    const std::string file =
        "#Server Settings\r\n\r\n-aet = ARCHIV\r\nPort = 104\r\nFIFOMax = 0\r\nFIFOMin = 0\r\n"
        "-od = /srv/R\xC3\xB6ntgen/\r\n-db = /srv/db\r\n";
    writeSettings(file);
    create();
    EXPECT_EQ(text("Edit3"), "/srv/Röntgen/");
    EXPECT_TRUE(form->FormClose());
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
}

TEST_F(LinuxFiles, UnreadableTranslationIsReportedAndStartUpGoesOnWithBuiltInTexts) {
    writeTranslation("[ServerAdminForm]\r\nServerAdminForm.Caption=Never\r\n");
    writeSettings("Port = 104\r\n");
    // The path as built from the program folder, not normalised.
    const std::filesystem::path custom = programFolder / "../Custom.ini";
    ::chmod(custom.c_str(), 0);
    // Root reads any file, so the start-up runs as an ordinary user for this test.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ::chmod(root.c_str(), 0755);
        ::chmod(programFolder.c_str(), 0755);
        ::chmod((programFolder / "Server.INI").c_str(), 0644);
        ASSERT_EQ(::seteuid(65534), 0);
    }
    create();
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(
        dialogs.errors[0].starts_with("Datei " + custom.string() + " kann nicht geöffnet werden. "))
        << dialogs.errors[0];
    EXPECT_EQ(view->windowCaption(), "Zarvo Server Einstellungen");
    EXPECT_EQ(text("Edit2"), "104");
    EXPECT_EQ(statusLines().size(), 1u);
}

}  // namespace
}  // namespace veltrona::app::testing
