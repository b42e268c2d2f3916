// Start-up from the program folder's files, and the settings file written at close.
#include <optional>
#include <set>

#include "CoreFixture.h"

namespace veltrona::app::testing {
namespace {

namespace fs = std::filesystem;
using Startup = CoreFormTest;

TEST_F(Startup, EmptyFolderOpensEmptyAndCloseCreatesTheEightLineFile) {
    create();
    EXPECT_FALSE(form->endRequested());
    EXPECT_EQ(statusLines(), Texts({"09:05:07 Server läuft nicht"}));
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{});
    EXPECT_TRUE(form->FormClose());
    // One file only: no second spelling, no temporary file left behind.
    EXPECT_EQ(namesIn(programFolder), std::set<std::string>({"Server.ini"}));
    EXPECT_EQ(readBytes(programFolder / "Server.ini"), kEmptyFolderFile);
}

// The close writes into the file that is there, under the name it has on disk.
TEST_F(Startup, CloseKeepsTheSettingsFilesSpelling) {
    for (const char* name : {"server.ini", "SERVER.INI", "Server.ini", "Server.INI"}) {
        fs::remove_all(programFolder);
        fs::create_directory(programFolder);
        writeBytes(programFolder / name, "-aet = ARCHIVE\r\n");
        create();
        EXPECT_EQ(text("Edit1"), "ARCHIVE") << name;
        EXPECT_TRUE(form->FormClose()) << name;
        EXPECT_EQ(namesIn(programFolder), std::set<std::string>({name}));
    }
}

TEST_F(Startup, SettingsFillTheControlsAndComeBackUnchanged) {
    const std::string file =
        "#Server Settings\r\n\r\n-aet = ARCHIVE\r\nPort = 104\r\nFIFOMax = 500\r\nFIFOMin = 100\r\n"
        "RegNewOnView\r\nMaxDaysLocal = 30\r\n-od = /srv/images/\r\n-db = /srv/db\r\n"
        "+xy    # Jpeg lossless 8bit (baseline)\r\n-dhl   # No DHCP available\r\n"
        "parameter=-v\r\n";
    writeSettings(file);
    create();
    for (const auto& [control, value] : {std::pair{"Edit1", "ARCHIVE"},
                                         {"Edit2", "104"},
                                         {"SpinEdit1", "500"},
                                         {"SpinEdit3", "100"},
                                         {"SpinEdit2", "30"},
                                         {"Edit3", "/srv/images/"},
                                         {"edDatabase", "/srv/db"},
                                         {"Edit4", "-v"}}) {
        EXPECT_EQ(text(control), value) << control;
    }
    for (const char* checked : {"CheckBox2", "RadioButton1", "RadioButton4"}) {
        EXPECT_TRUE(view->isChecked(checked)) << checked;
    }
    EXPECT_FALSE(view->isEnabled("RadioButton1"));
    EXPECT_TRUE(form->FormClose());
    // Written back to the file that was read, in the writer's own order.
    EXPECT_EQ(namesIn(programFolder), std::set<std::string>({"Server.INI"}));
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
}

TEST_F(Startup, SetupProfileDisablesTheTransferSyntaxAndLogsANoticeFirst) {
    writeSettings("+xs    # JPeg lossless\r\n");
    writeBytes(programFolder / "setup.CFG", "");
    serverRuns(true);
    create();
    EXPECT_EQ(statusLines(), Texts({"Server setup controlled by config file \"setup.cfg\"",
                                    "09:05:07 Server läuft"}));
    for (const char* name : {"RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5"}) {
        EXPECT_FALSE(view->isEnabled(name)) << name;
    }
    // The checked one stays checked, so the next close still writes it.
    EXPECT_TRUE(view->isChecked("RadioButton3"));
    EXPECT_TRUE(form->serverStateFlag());
}

TEST_F(Startup, AFolderNamedSetupCfgIsNoProfile) {
    fs::create_directory(programFolder / "Setup.cfg");
    create();
    EXPECT_EQ(statusLines().size(), 1u);
    EXPECT_TRUE(view->isEnabled("RadioButton2"));
}

TEST_F(Startup, EmptyDatabaseTakesTheImageFolder) {
    writeSettings("-od = /srv/images\r\n");
    create();
    EXPECT_EQ(text("edDatabase"), "/srv/images");

    writeSettings("-od = /srv/images\r\n-db = /srv/db\r\n");
    create();
    EXPECT_EQ(text("edDatabase"), "/srv/db");
}

TEST_F(Startup, BadFifoNumberIsReportedAndTheLinesAfterItStillLoad) {
    writeSettings(
        "FIFOMax = 10 MB\r\nPort = 104\r\nFIFOMin = \r\n-aet = MAIN\r\nAdminPassword=secret\r\n");
    dialogs.passwordAnswer = "secret";
    create();
    EXPECT_EQ(dialogs.errors, Texts({"'10 MB' ist kein gültiger Integerwert.",
                                     "'' ist kein gültiger Integerwert."}));
    EXPECT_EQ(text("SpinEdit1"), "0");
    EXPECT_EQ(text("Edit2"), "104");
    EXPECT_EQ(text("Edit1"), "MAIN");
    // The rest of start-up ran: the status line, and the gate that comes last.
    EXPECT_EQ(statusLines().size(), 1u);
    EXPECT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_FALSE(form->endRequested());
}

TEST_F(Startup, TypedLineBreaksCannotPlantAnotherEntry) {
    create();
    view->setText("Edit4", "-v\nAdminPassword=owned");
    EXPECT_TRUE(form->FormClose());
    const std::string written = readBytes(programFolder / "Server.ini");
    EXPECT_EQ(written.find("\nAdminPassword="), std::string::npos) << written;
}

TEST_F(Startup, Windows1252FileSurvivesByteForByte) {
    // "Röntgen" and "Überweiser" in Windows-1252: not valid UTF-8.
    const std::string file =
        "#Server Settings\r\n\r\n-aet = R\xF6NTGEN\r\nPort = 104\r\nFIFOMax = 0\r\nFIFOMin = 0\r\n"
        "-od = D:\\R\xF6ntgen\\\r\n-db = D:\\\xDC"
        "berweiser\r\n";
    writeSettings(file);
    create();
    EXPECT_EQ(text("Edit3"), "D:\\Röntgen\\");
    EXPECT_EQ(text("edDatabase"), "D:\\Überweiser");
    EXPECT_TRUE(form->FormClose());
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
}

// Another writer changed the file while the window was open: the close lays what the user
// changed over the file as it is now. A file that is gone gets the window's values whole.
TEST_F(Startup, CloseKeepsAnotherWritersChangesThatTheUserDidNotMake) {
    struct Row {
        const char* name;
        std::optional<std::string> meanwhile;  // the other writer's file; none: deleted
        std::string written;
    };
    const Row rows[] = {
        {"changed", "-aet = OTHER\r\nPort = 4343\r\nFIFOMax = 5\r\n-db = /db\r\n+xs\r\n",
         "#Server Settings\r\n\r\n-aet = WINDOW\r\nPort = 4343\r\nFIFOMax = 7\r\n"
         "FIFOMin = 0\r\n-od = \r\n-db = /db\r\n+xs    # JPeg lossless\r\n"},
        {"deleted", std::nullopt,
         "#Server Settings\r\n\r\n-aet = WINDOW\r\nPort = 11112\r\nFIFOMax = 7\r\n"
         "FIFOMin = 0\r\nRegNewOnView\r\n-od = \r\n-db = \r\n"},
    };
    for (const Row& row : rows) {
        writeSettings("-aet = A\r\nPort = 11112\r\nFIFOMax = 5\r\nRegNewOnView\r\n");
        create();
        view->setText("Edit1", "WINDOW");
        view->setText("SpinEdit1", "7");
        fs::remove(programFolder / "Server.INI");
        if (row.meanwhile) {
            writeSettings(*row.meanwhile);
        }
        EXPECT_TRUE(form->FormClose()) << row.name;
        EXPECT_EQ(readBytes(programFolder / "Server.INI"), row.written) << row.name;
    }
}

TEST_F(Startup, SpinEditTextThatIsNoNumberIsWrittenAsZero) {
    writeSettings("FIFOMax = 500\r\nMaxDaysLocal = 30\r\n");
    create();
    for (const char* typed : {"", "12abc"}) {
        view->setText("SpinEdit2", typed);
        EXPECT_TRUE(form->FormClose());
        EXPECT_NE(readBytes(programFolder / "Server.INI").find("MaxDaysLocal = 0\r\n"),
                  std::string::npos)
            << typed;
    }
}

}  // namespace
}  // namespace veltrona::app::testing
