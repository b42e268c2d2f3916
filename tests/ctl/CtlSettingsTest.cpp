// VeltronaCtl's settings commands, its program folder and its command line, run as the
// built program on temporary program folders.
#include <gtest/gtest.h>

#include "CtlTestSupport.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

class CtlSettings : public ::testing::Test {
  protected:
    TempFolder folder;

    CtlResult ctl(Args arguments) const {
        arguments.insert(arguments.begin(), {"--folder", folder.path().string()});
        return runCtl(kBuiltCtl, arguments);
    }
};

TEST_F(CtlSettings, ShowsTheSettingsAsTheWindowShowsThem) {
    // Windows-1252, a number with leading zeros, an unchecked MaxDaysLocal and no "-db".
    writeFile(folder / "server.ini",
              "#Server Settings\r\n-aet = M\xFCnchen\r\nPort = 104\r\nFIFOMax = 007\r\n"
              "FIFOMin = -5\r\n-od = /data/img/\r\n+xy    # x\r\n-dhl\r\nAdminPassword= x \r\n");
    const CtlResult shown = ctl({"settings"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.out,
              "-aet=München\nPort=104\nFIFOMax=7\nFIFOMin=-5\nMaxDaysLocal=off\n"
              "RegNewOnView=false\n-od=/data/img/\n-db=/data/img/\nTransferSyntax=+xy\n"
              "parameter=\n-dhl=true\nAdminPassword=set\n");
    EXPECT_EQ(shown.err, "");

    writeFile(folder / "server.ini", "MaxDaysLocal = 30\r\nFIFOMax = 10 MB\r\n");
    const CtlResult json = ctl({"settings", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "{\"file\":\"" + (folder / "server.ini").string() +
                            "\",\"settings\":{\"-aet\":\"\",\"Port\":\"\",\"FIFOMax\":0,"
                            "\"FIFOMin\":0,\"MaxDaysLocal\":30,\"RegNewOnView\":false,\"-od\":"
                            "\"\",\"-db\":\"\",\"TransferSyntax\":\"none\",\"parameter\":\"\","
                            "\"-dhl\":false,\"AdminPassword\":\"not set\"}}\n");
    EXPECT_NE(json.err.find("'10 MB' is not a valid integer"), std::string::npos) << json.err;
}

TEST_F(CtlSettings, SetWritesTheBytesTheWindowWritesOnClose) {
    const struct {
        const char* what;
        std::optional<std::string> before;
        Args assignments;
        std::string after;
    } rows[] = {
        {"no file yet",
         std::nullopt,
         {"Port=104", "aet=ARCHIVE"},
         "#Server Settings\r\n\r\n-aet = ARCHIVE\r\nPort = 104\r\nFIFOMax = 0\r\nFIFOMin = 0\r\n"
         "-od = \r\n-db = \r\n"},
        // Windows-1252 stays Windows-1252; the database takes the image folder read at
        // start-up; a line the writer does not know is gone.
        {"Windows-1252",
         "-aet = M\xFC"
         "nchen\r\nPort = 104\r\n-od = /data/Bilder/\r\nfoo = bar\r\n+xs\r\n",
         {"-OD=/data/Gr\xC3\xBC\xC3\x9F"
          "e/",
          "transfersyntax=+XI", "maxdayslocal=0x1E", "RegNewOnView=true", "-dhl=TRUE",
          "AdminPassword=Schl\xC3\xBCssel", "fifomin=-3"},
         "#Server Settings\r\n\r\n-aet = M\xFC"
         "nchen\r\nPort = 104\r\nFIFOMax = 0\r\n"
         "FIFOMin = -3\r\nRegNewOnView\r\nMaxDaysLocal = 30\r\n-od = /data/Gr\xFC\xDF"
         "e/\r\n"
         "-db = /data/Bilder/\r\n+xi    # ImplicitVR Little Endian only (Compatiblity mode)\r\n"
         "-dhl   # No DHCP available\r\nAdminPassword=Schl\xFCssel\r\n"},
        {"unchecking and clearing",
         "MaxDaysLocal = 5\r\n+x=\r\nparameter=-v\r\nAdminPassword=a\r\n-dhl\r\n-db = D\r\n",
         {"MaxDaysLocal=OFF", "TransferSyntax=none", "parameter=", "AdminPassword=", "dhl=false",
          "Port=1\r\n2"},
         "#Server Settings\r\n\r\n-aet = \r\nPort = 1  2\r\nFIFOMax = 0\r\nFIFOMin = 0\r\n"
         "-od = \r\n-db = D\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(folder / "Server.INI");
        fs::remove(folder / "Server.ini");
        if (row.before) {
            writeFile(folder / "Server.INI", *row.before);
        }
        Args arguments = {"settings", "set"};
        arguments.insert(arguments.end(), row.assignments.begin(), row.assignments.end());
        const CtlResult set = ctl(arguments);
        EXPECT_EQ(set.exitCode, 0) << set.err;
        const fs::path written = folder / (row.before ? "Server.INI" : "Server.ini");
        EXPECT_EQ(set.out, "Wrote " + written.string() + "\n");
        EXPECT_EQ(fileContent(written), row.after);
        EXPECT_EQ(veltrona::testing::entries(folder.path()).size(), 1u);
    }
}

TEST_F(CtlSettings, RefusesAWrongAssignmentAndLeavesTheFileAsItWas) {
    const std::string before = "-aet = A\r\nPort = 104\r\nFIFOMax = 7\r\n";
    const struct {
        std::string assignment;
        std::string message;
    } rows[] = {
        {"Colour=red", "unknown setting \"Colour\""},
        {"Port", "\"Port\" is not NAME=VALUE"},
        {"FIFOMax=10 MB", "FIFOMax: \"10 MB\" is not an integer"},
        {"FIFOMin=99999999999", "FIFOMin: \"99999999999\" is not an integer"},
        {"MaxDaysLocal=on", "MaxDaysLocal: \"on\" is not an integer"},
        {"RegNewOnView=yes", "RegNewOnView: \"yes\" is neither true nor false"},
        {"TransferSyntax=+xq", "TransferSyntax: \"+xq\" is none of none, +x=, +xs, +xy, +xi"},
        {"AdminPassword= x", "AdminPassword: a password can neither begin nor end with a blank"},
        {"AdminPassword=" + std::string(256, 'x'), "AdminPassword: longer than the 255"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.assignment);
        writeFile(folder / "Server.INI", before);
        // A good assignment first: nothing at all is written.
        const CtlResult set = ctl({"settings", "set", "Port=105", row.assignment});
        EXPECT_EQ(set.exitCode, 2);
        EXPECT_EQ(set.err.rfind(row.message, 0), 0u) << set.err;
        EXPECT_NE(set.err.find("; nothing was written\n"), std::string::npos) << set.err;
        EXPECT_EQ(set.out, "");
        EXPECT_EQ(fileContent(folder / "Server.INI"), before);
        EXPECT_EQ(veltrona::testing::entries(folder.path()).size(), 1u);
    }
}

TEST_F(CtlSettings, AFileThatCannotBeWrittenGivesTheWindowsMessage) {
    fs::create_directory(folder / "Server.ini");  // a folder where the file belongs
    const CtlResult set = ctl({"settings", "set", "Port=104"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_EQ(
        set.err.rfind(
            "Datei \"" + (folder / "Server.ini").string() + "\" kann nicht erstellt werden. ", 0),
        0u)
        << set.err;
    EXPECT_EQ(set.out, "");
}

TEST_F(CtlSettings, WarnsWhenTheWindowIsOpenOnTheSameFolder) {
    // Stand-ins named like the window: one in the program folder, one elsewhere.
    TempFolder elsewhere;
    std::vector<pid_t> windows;
    for (const fs::path& window : {folder / "VeltronaAdmin", elsewhere / "VeltronaAdmin.exe"}) {
        fs::copy_file(kBuiltServer, window);
        windows.push_back(spawn(window, {"-dw", "-od", "/tmp", "-aet", "A"}));
    }
    const CtlResult set = ctl({"settings", "set", "Port=104"});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_NE(set.err.find("warning: the window is open on this folder (process " +
                           std::to_string(windows[0]) + " (" + (folder / "VeltronaAdmin").string() +
                           ")); it writes its own values"),
              std::string::npos)
        << set.err;
    EXPECT_EQ(set.err.find("process " + std::to_string(windows[1])), std::string::npos);
    for (const pid_t window : windows) {
        killAndReap(window);
    }
}

TEST(CtlProgram, FindsItsProgramFolderThroughASymbolicLinkAndAnswersItsCommandLine) {
    ProgramFolder program;
    fs::create_directory(program.root() / "bin");
    fs::create_symlink(program.ctl(), program.root() / "bin" / "veltronactl");
    const CtlResult status = runCtl(program.root() / "bin" / "veltronactl", {"status", "--json"});
    EXPECT_NE(status.out.find("\"folder\":\"" + program.folder().string() + "/\""),
              std::string::npos)
        << status.out;

    const CtlResult wrong = program.run({"restart"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.err.rfind("unknown command \"restart\"\nUsage: VeltronaCtl ", 0), 0u);
    EXPECT_EQ(wrong.out, "");
    const CtlResult version = program.run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("VeltronaCtl ") + VELTRONA_VERSION + "\n");
    const CtlResult noFolder =
        program.run({"--folder", (program.root() / "none").string(), "settings"});
    EXPECT_EQ(noFolder.exitCode, 2);
}

}  // namespace
}  // namespace veltrona::ctl::testing
