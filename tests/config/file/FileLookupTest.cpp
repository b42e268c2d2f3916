#include <gtest/gtest.h>

#include "TempFolder.h"
#include "config/file/FileAccess.h"

namespace veltrona::config {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

TEST(FileLookup, FindsNamesIgnoringAsciiCase) {
    const struct {
        const char* name;
        std::vector<std::string> files;  // created in "bin/"; a trailing "/" makes a folder
        std::string lookup;
        std::string found;  // relative to the temporary folder
    } cases[] = {
        {"Exact", {"Server.INI"}, "Server.INI", "bin/Server.INI"},
        {"OtherCase", {"server.ini"}, "Server.INI", "bin/server.ini"},
        {"ExactWinsOverOthers",
         {"SERVER.INI", "Server.INI", "server.ini"},
         "server.ini",
         "bin/server.ini"},
        {"FirstInByteOrderWhenNoExact",
         {"setup.CFG", "Setup.Cfg", "SETUP.cfg"},
         "Setup.cfg",
         "bin/SETUP.cfg"},
        {"MissingGivesNameAsAsked", {"other.ini"}, "Server.INI", "bin/Server.INI"},
        {"LengthMustMatch", {"Server.INI.bak"}, "Server.INI", "bin/Server.INI"},
        {"OnlyAsciiFolded", {"\xC3\xA4.ini"}, "\xC3\x84.ini", "bin/\xC3\x84.ini"},
        {"ParentFolder", {"../CUSTOM.INI"}, "../Custom.ini", "bin/../CUSTOM.INI"},
        {"ParentFolderBackslash", {"../custom.ini"}, "..\\Custom.ini", "bin/../custom.ini"},
        {"ParentMissing", {}, "../Custom.ini", "bin/../Custom.ini"},
        {"SubfolderResolvedFirst", {"LANG/", "LANG/DE.INI"}, "lang/de.ini", "bin/LANG/DE.INI"},
        {"SubfolderMustBeFolder",
         {"lang", "LANG/", "LANG/de.ini"},
         "Lang/De.ini",
         "bin/LANG/de.ini"},
        {"FolderMayBeFound", {"Data/"}, "data", "bin/Data"},
    };
    for (const auto& c : cases) {
        TempFolder temp;
        const fs::path bin = temp / "bin";
        fs::create_directory(bin);
        for (const std::string& file : c.files) {
            if (file.ends_with('/')) {
                fs::create_directories(bin / file);
            } else {
                testing::writeFile(bin / file, "x");
            }
        }
        EXPECT_EQ(findIgnoringCase(bin, c.lookup), temp.path() / c.found) << c.name;
    }
}

TEST(FileLookup, MissingFolderGivesFolderAndName) {
    TempFolder temp;
    EXPECT_EQ(findIgnoringCase(temp / "none", "Server.INI"), temp / "none" / "Server.INI");
}

TEST(FileLookup, DanglingLinkWithExactNameCounts) {
    TempFolder temp;
    fs::create_symlink(temp / "nowhere", temp / "Server.INI");
    testing::writeFile(temp / "server.ini", "x");
    EXPECT_EQ(findIgnoringCase(temp.path(), "Server.INI"), temp / "Server.INI");
}

}  // namespace
}  // namespace veltrona::config
