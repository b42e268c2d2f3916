// VeltronaCtl's settings commands, its program folder and its command line, run as the
// built program on temporary program folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "CtlTestSupport.h"
#include "OtherUser.h"

namespace veltrona::ctl::testing {
namespace {

using Args = std::vector<std::string>;

class CtlSettings : public CtlOnTempFolder {};

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
          "aet=1\r\n2"},
         "#Server Settings\r\n\r\n-aet = 1  2\r\nPort = \r\nFIFOMax = 0\r\nFIFOMin = 0\r\n"
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

// What configuration management expects: a set of the values the file holds writes nothing
// and says so, and a dry run shows the lines a write would change without writing.
TEST_F(CtlSettings, SetOfTheHeldValuesWritesNothingAndADryRunShowsTheChange) {
    const fs::path file = folder / "Server.INI";
    const std::string before = "-aet = A\r\nPort = 104\r\nfoo = bar\r\nAdminPassword=s\r\n";
    writeFile(file, before);
    const auto identity = [&file] {
        struct stat st {};
        EXPECT_EQ(::stat(file.c_str(), &st), 0);
        return std::make_pair(st.st_ino, st.st_mtim.tv_nsec);
    };
    const auto original = identity();
    const CtlResult same = ctl({"settings", "set", "Port=104", "aet=A"});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out, "Unchanged " + file.string() + "\n");
    const CtlResult sameJson = ctl({"--json", "settings", "set", "Port=104"});
    EXPECT_EQ(sameJson.out.rfind("{\"written\":null,\"changed\":false,\"settings\":{", 0), 0u)
        << sameJson.out;

    const CtlResult dry = ctl({"settings", "set", "--dry-run", "Port=11112", "AdminPassword=t"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(dry.out,
              "-Port = 104\n-foo = bar\n-AdminPassword=(not shown)\n+#Server Settings\n+\n"
              "+Port = 11112\n+FIFOMax = 0\n+FIFOMin = 0\n+-od = \n+-db = \n"
              "+AdminPassword=(not shown)\n");
    const CtlResult dryJson = ctl({"settings", "set", "--dry-run", "--json", "Port=104"});
    EXPECT_EQ(dryJson.out.rfind("{\"file\":\"" + file.string() +
                                    "\",\"dryRun\":true,\"changed\":false,\"lines\":[],",
                                0),
              0u)
        << dryJson.out;
    EXPECT_EQ(identity(), original);
    EXPECT_EQ(fileContent(file), before);

    const CtlResult written = ctl({"--json", "settings", "set", "Port=11112"});
    EXPECT_NE(written.out.find("\"changed\":true"), std::string::npos) << written.out;
    EXPECT_NE(fileContent(file).find("Port = 11112\r\n"), std::string::npos);
    EXPECT_EQ(ctl({"settings", "check", "--dry-run"}).exitCode, 2);
}

// The check reads the file as the server's settings are read and names every line that
// would not be read as its author meant, with its number.
TEST_F(CtlSettings, CheckNamesEachProblemWithItsLine) {
    const fs::path file = folder / "Server.INI";
    writeFile(file, "#Server Settings\r\n\r\n-aet = A\r\nPort = 104\r\nFIFOMax = 0x10\r\n+xs\r\n");
    const CtlResult good = ctl({"settings", "check"});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(good.out, file.string() + ": ok\n");

    writeFile(file,
              "#Server Settings\r\nPort = 99999\r\nPortal = 5\r\nFIFOMax = 10 MB\r\n"
              "FIFOMin = -1\r\nport = 104\r\n -od = /x/\r\nColour = red\r\n+xs\r\n+x=\r\n"
              "-aet = A\x81\r\nMaxDaysLocal = abc\r\n");
    const std::string at = file.string() + ":";
    const CtlResult bad = ctl({"settings", "check"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out,
              at + "2: Port \"99999\" is not a port number (1 to 65535)\n" +  //
                  at + "3: \"Portal\" is read as Port\n" +                    //
                  at + "3: Port given again after line 2; the last one counts\n" + at +
                  "4: FIFOMax \"10 MB\" is not an integer (-2147483648 to 2147483647)\n" + at +
                  "5: FIFOMin -1 is below 0\n" + at +
                  "6: \"port\" is not \"Port\" (letter case counts); the line is ignored\n" + at +
                  "7: \"-od\" begins with a blank, so the line is ignored\n" + at +
                  "8: unknown key \"Colour\"; the line is ignored\n" + at +
                  "10: a second transfer syntax (+x=) after line 9; the last one counts\n" + at +
                  "11: -aet holds the byte 0x81, which code page 1252 leaves undefined\n" + at +
                  "12: MaxDaysLocal \"abc\" is not an integer (-2147483648 to 2147483647); "
                  "it is read as 0\n" +
                  file.string() + ": 11 problems\n");
    const CtlResult json = ctl({"--json", "settings", "check"});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(json.out.rfind("{\"file\":\"" + file.string() +
                                 "\",\"ok\":false,\"problems\":[{\"line\":2,\"problem\":"
                                 "\"Port \\\"99999\\\" is not a port number (1 to 65535)\"},",
                             0),
              0u)
        << json.out;

    fs::remove(file);
    const CtlResult none = ctl({"settings", "check"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, (folder / "Server.ini").string() + ": there is no settings file\n" +
                            (folder / "Server.ini").string() + ": 1 problem\n");
    writeFile(file, "-aet = A\r\n");
    EXPECT_EQ(ctl({"settings", "check"}).out, file.string() +
                                                  ": no Port: the server would listen nowhere\n" +
                                                  file.string() + ": 1 problem\n");
}

TEST_F(CtlSettings, SetKeepsTheFilesSpelling) {
    for (const char* name : {"server.ini", "SERVER.INI"}) {
        fs::remove_all(folder.path());
        fs::create_directory(folder.path());
        writeFile(folder / name, "Port = 11112\r\n");
        const CtlResult set = ctl({"settings", "set", "Port=104"});
        EXPECT_EQ(set.out, "Wrote " + (folder / name).string() + "\n") << set.err;
        const auto names = veltrona::testing::entries(folder.path());
        EXPECT_EQ(names.size(), 1u) << name;
        EXPECT_EQ(names.count(name), 1u) << name;
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
        // The window writes what is typed; a script's port is one the server can listen on.
        {"Port=99999", "Port: \"99999\" is not a port number (1 to 65535)"},
        {"Port=abc", "Port: \"abc\" is not a port number (1 to 65535)"},
        {"FIFOMin=99999999999", "FIFOMin: \"99999999999\" is not an integer"},
        {"MaxDaysLocal=on", "MaxDaysLocal: \"on\" is not an integer"},
        {"RegNewOnView=yes", "RegNewOnView: \"yes\" is neither true nor false"},
        {"TransferSyntax=+xq", "TransferSyntax: \"+xq\" is none of none, +x=, +xs, +xy, +xi"},
        {"AdminPassword= x", "AdminPassword: a password can neither begin nor end with a blank"},
        {"AdminPassword=" + std::string(256, 'x'), "AdminPassword: longer than the 255"},
        // Never written as U+FFFD in its place.
        {"-aet=A\xff\xfe", "-aet: the value is no valid text in the system's encoding"},
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

// Writers that run at once each keep their change: the second reads what the first wrote.
TEST_F(CtlSettings, WritersAtTheSameTimeLoseNoChange) {
    const std::vector<std::pair<std::string, std::string>> settings = {
        {"Port", "Port = "},         {"-aet", "-aet = "},
        {"-od", "-od = "},           {"-db", "-db = "},
        {"parameter", "parameter="}, {"FIFOMax", "FIFOMax = "},
        {"FIFOMin", "FIFOMin = "},   {"MaxDaysLocal", "MaxDaysLocal = "}};
    TempFolder capture;
    for (int round = 1; round <= 10; ++round) {
        std::vector<pid_t> writers;
        for (const auto& [name, line] : settings) {
            writers.push_back(spawn(kBuiltCtl,
                                    {"--folder", folder.path().string(), "settings", "set",
                                     name + "=" + std::to_string(round)},
                                    capture / "out", capture / ("err" + name)));
        }
        for (const pid_t writer : writers) {
            const int status = veltrona::testing::reap(writer);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
        const std::string file = fileContent(folder / "Server.ini");
        for (const auto& [name, line] : settings) {
            EXPECT_NE(file.find("\n" + line + std::to_string(round) + "\r\n"), std::string::npos)
                << "round " << round << " lost " << name << ":\n"
                << file;
        }
    }
}

// A value the command did not mean to change stays as it is, or nothing is written.
TEST_F(CtlSettings, RefusesWhatWouldChangeAValueItWasNotAskedTo) {
    const struct {
        std::string file;
        Args assignments;
        std::string message;  // empty: written
    } rows[] = {
        // Windows-1252 has no Japanese characters: "??" would be a password no one knows.
        {"-aet = M\xFCnchen\r\n",
         {"AdminPassword=\xE6\x97\xA5\xE6\x9C\xAC"},
         "AdminPassword: the value holds characters that the code page of Server.INI cannot"},
        // The window keeps a number it cannot read at 0, which a write would make real.
        {"FIFOMax = 10 MB\r\nPort = 1\r\n",
         {"Port=2"},
         "Server.INI: the line \"FIFOMax = 10 MB\" holds no integer, and writing would make "
         "it FIFOMax = 0; set FIFOMax as well"},
        {"FIFOMax = 10 MB\r\nPort = 1\r\n", {"Port=2", "FIFOMax=10"}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        writeFile(folder / "Server.INI", row.file);
        Args arguments = {"settings", "set"};
        arguments.insert(arguments.end(), row.assignments.begin(), row.assignments.end());
        const CtlResult set = ctl(arguments);
        if (row.message.empty()) {
            EXPECT_EQ(set.exitCode, 0) << set.err;
            EXPECT_NE(fileContent(folder / "Server.INI").find("FIFOMax = 10\r\n"),
                      std::string::npos);
            continue;
        }
        EXPECT_EQ(set.exitCode, 2);
        EXPECT_NE(set.err.find(row.message), std::string::npos) << set.err;
        EXPECT_EQ(fileContent(folder / "Server.INI"), row.file);
    }
}

// What the commands print cannot move a terminal's cursor, and JSON stays JSON.
TEST_F(CtlSettings, OutputCarriesNoRawControlOrBrokenBytes) {
    writeFile(folder / "Server.INI",
              "-aet = A\x1b[2J\x07"
              "B\r\n");
    const CtlResult shown = ctl({"settings"});
    EXPECT_EQ(shown.out.rfind("-aet=A\\x1b[2J\\x07B\n", 0), 0u) << shown.out;
    // Every answer and warning, not only the listing.
    writeFile(folder / "Server.INI", "Port = 1\x1b[2J\r\nFIFOMax = /etc/\b\b\b\b\b/srv/x\r\n");
    const std::string port = "Port \"1\\x1b[2J\" in Server.INI is no port number";
    const std::string warning = "warning: Server.INI: '/etc/\\x08\\x08\\x08\\x08\\x08/srv/x'";
    const CtlResult status = ctl({"status"});
    EXPECT_NE(status.out.find(port + "; no port was checked\n"), std::string::npos) << status.out;
    EXPECT_EQ(status.err.rfind(warning, 0), 0u) << status.err;
    const CtlResult start = ctl({"start"});
    EXPECT_EQ(start.exitCode, 1);
    EXPECT_EQ(start.err.rfind(warning, 0), 0u) << start.err;
    EXPECT_NE(start.err.find(port + "; the server was not started\n"), std::string::npos)
        << start.err;
    const CtlResult echo = ctl({"--json", "echo", "--host", "\xff\xfe", "--port", "1"});
    EXPECT_EQ(echo.exitCode, 1);
    EXPECT_EQ(echo.out.find('\xff'), std::string::npos) << echo.out;
    EXPECT_NE(echo.out.find("{\"host\":\"\uFFFD\uFFFD\""), std::string::npos) << echo.out;
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
                           ")); when it closes it writes the values changed in it"),
              std::string::npos)
        << set.err;
    EXPECT_EQ(set.err.find("process " + std::to_string(windows[1])), std::string::npos);
    for (const pid_t window : windows) {
        killAndReap(window);
    }
}

TEST(CtlProgram, WorksOnItsOwnFolderAndAnswersItsCommandLine) {
    ProgramFolder program;
    const CtlResult status = program.run({"status", "--json"});
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
