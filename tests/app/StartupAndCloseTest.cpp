// Start-up from the program folder's files, and the settings file written at close.
#include <sys/stat.h>

#include <QProcess>
#include <QTest>

#include "FormFixture.h"
#include "SpinEdit.h"

namespace veltrona::app::testing {
namespace {

namespace fs = std::filesystem;
using Startup = FormTest;

const std::string kEmptyFolderFile =
    "#Server Settings\r\n\r\n-aet = \r\nPort = \r\nFIFOMax = 0\r\nFIFOMin = 0\r\n-od = \r\n-db = "
    "\r\n";

TEST_F(Startup, EmptyFolderOpensEmptyAndCloseCreatesTheEightLineFile) {
    create();
    EXPECT_FALSE(form->form().endRequested());
    EXPECT_EQ(statusLines(), QStringList({"09:05:07 Server läuft nicht"}));
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readBytes(programFolder / "Server.ini"), kEmptyFolderFile);
    // One file only: no second spelling, no temporary file left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(programFolder), fs::directory_iterator()), 1);
}

TEST_F(Startup, SettingsFillTheControlsAndComeBackUnchanged) {
    const std::string file =
        "#Server Settings\r\n\r\n-aet = ARCHIVE\r\nPort = 104\r\nFIFOMax = 500\r\nFIFOMin = 100\r\n"
        "RegNewOnView\r\nMaxDaysLocal = 30\r\n-od = /srv/images/\r\n-db = /srv/db\r\n"
        "+xy    # Jpeg lossless 8bit (baseline)\r\n-dhl   # No DHCP available\r\n"
        "parameter=-v\r\n";
    writeSettings(file);
    create();
    EXPECT_EQ(text("Edit1"), "ARCHIVE");
    EXPECT_EQ(text("Edit2"), "104");
    EXPECT_EQ(control<QSpinBox>("SpinEdit1")->value(), 500);
    EXPECT_EQ(control<QSpinBox>("SpinEdit3")->value(), 100);
    EXPECT_TRUE(control<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_EQ(control<QSpinBox>("SpinEdit2")->value(), 30);
    EXPECT_TRUE(control<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("RadioButton1")->isEnabled());
    EXPECT_EQ(text("Edit3"), "/srv/images/");
    EXPECT_EQ(text("edDatabase"), "/srv/db");
    EXPECT_TRUE(control<QRadioButton>("RadioButton4")->isChecked());
    EXPECT_EQ(text("Edit4"), "-v");
    EXPECT_TRUE(form->close());
    // Written back to the file that was read, in the writer's own order.
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
    EXPECT_FALSE(fs::exists(programFolder / "Server.ini"));
}

TEST_F(Startup, SetupProfileDisablesTheTransferSyntaxAndLogsANoticeFirst) {
    writeSettings("+xs    # JPeg lossless\r\n");
    writeBytes(programFolder / "setup.CFG", "");
    serverRuns(true);
    create();
    EXPECT_EQ(statusLines(), QStringList({"Server setup controlled by config file \"setup.cfg\"",
                                          "09:05:07 Server läuft"}));
    for (const char* name : {"RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5"}) {
        EXPECT_FALSE(control<QRadioButton>(name)->isEnabled()) << name;
    }
    // The checked one stays checked, so the next close still writes it.
    EXPECT_TRUE(control<QRadioButton>("RadioButton3")->isChecked());
    EXPECT_TRUE(form->form().serverStateFlag());
}

TEST_F(Startup, AFolderNamedSetupCfgIsNoProfile) {
    fs::create_directory(programFolder / "Setup.cfg");
    create();
    EXPECT_EQ(statusLines().size(), 1);
    EXPECT_TRUE(control<QRadioButton>("RadioButton2")->isEnabled());
}

TEST_F(Startup, EmptyDatabaseTakesTheImageFolder) {
    writeSettings("-od = /srv/images\r\n");
    create();
    EXPECT_EQ(text("edDatabase"), "/srv/images");

    form.reset();
    writeSettings("-od = /srv/images\r\n-db = /srv/db\r\n");
    create();
    EXPECT_EQ(text("edDatabase"), "/srv/db");
}

TEST_F(Startup, BadFifoNumberIsReportedAndTheLinesAfterItStillLoad) {
    writeSettings(
        "FIFOMax = 10 MB\r\nPort = 104\r\nFIFOMin = \r\n-aet = MAIN\r\nAdminPassword=secret\r\n");
    dialogs.passwordAnswer = "secret";
    create();
    EXPECT_EQ(dialogs.errors, QStringList({"'10 MB' ist kein gültiger Integerwert.",
                                           "'' ist kein gültiger Integerwert."}));
    EXPECT_EQ(control<QSpinBox>("SpinEdit1")->value(), 0);
    EXPECT_EQ(text("Edit2"), "104");
    EXPECT_EQ(text("Edit1"), "MAIN");
    // The rest of start-up ran: the status line, and the gate that comes last.
    EXPECT_EQ(statusLines().size(), 1);
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_FALSE(form->form().endRequested());
}

TEST_F(Startup, UnwritableSettingsKeepTheWindowOpenUntilAWriteSucceeds) {
    // A folder in the file's place makes the replacement fail even for root.
    fs::create_directory(programFolder / "Server.ini");
    create();
    form->show();
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(dialogs.errors.size(), 1);
    const QString expectedStart =
        QString("Datei \"%1").arg(QString::fromStdString((programFolder / "Server.ini").string()));
    EXPECT_TRUE(dialogs.errors[0].startsWith(expectedStart)) << dialogs.errors[0].toStdString();
    EXPECT_TRUE(dialogs.errors[0].contains("\" kann nicht erstellt werden. "));
    EXPECT_TRUE(dialogs.errors[0].endsWith("."));

    fs::remove(programFolder / "Server.ini");
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readBytes(programFolder / "Server.ini"), kEmptyFolderFile);
}

TEST_F(Startup, CloseKeepsTheFilesPermissions) {
    writeSettings("Port = 104\r\n");
    ::chmod((programFolder / "Server.INI").c_str(), 0640);
    create();
    control<QLineEdit>("Edit2")->setText("11112");
    EXPECT_TRUE(form->close());
    struct stat info {};
    ASSERT_EQ(::stat((programFolder / "Server.INI").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_NE(readBytes(programFolder / "Server.INI").find("Port = 11112\r\n"), std::string::npos);
}

TEST_F(Startup, TypedLineBreaksCannotPlantAnotherEntry) {
    create();
    control<QLineEdit>("Edit4")->setText("-v\nAdminPassword=owned");
    EXPECT_TRUE(form->close());
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
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
}

TEST_F(Startup, Utf8FileStaysUtf8) {
    const std::string file =
        "#Server Settings\r\n\r\n-aet = ARCHIV\r\nPort = 104\r\nFIFOMax = 0\r\nFIFOMin = 0\r\n"
        "-od = /srv/R\xC3\xB6ntgen/\r\n-db = /srv/db\r\n";
    writeSettings(file);
    create();
    EXPECT_EQ(text("Edit3"), "/srv/Röntgen/");
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
}

TEST_F(Startup, LongValuesComeBackWhole) {
    // Far beyond the 32,767 characters a Qt edit holds by default.
    const std::string longFolder = "/srv/" + std::string(40000, 'x') + "/";
    const std::string file = "#Server Settings\r\n\r\n-aet = A\r\nPort = 104\r\nFIFOMax = 0\r\n"
                             "FIFOMin = 0\r\n-od = " +
                             longFolder + "\r\n-db = /db\r\nparameter=" + longFolder + "\r\n";
    writeSettings(file);
    create();
    form->form().Button2Click();
    ASSERT_EQ(processes.launches.size(), 1u);
    EXPECT_NE(processes.launches[0].parameters.find(longFolder.substr(0, longFolder.size() - 1) +
                                                    "\""),
              std::string::npos);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
}

TEST_F(Startup, SpinEditTextThatIsNoNumberIsWrittenAsZero) {
    writeSettings("FIFOMax = 500\r\nMaxDaysLocal = 30\r\n");
    create();
    for (const char* typed : {"", "12abc"}) {
        QLineEdit* days = control<SpinEdit>("SpinEdit2")->edit();
        days->selectAll();
        QTest::keyClick(days, Qt::Key_Backspace);
        QTest::keyClicks(days, typed);
        EXPECT_TRUE(form->close());
        EXPECT_NE(readBytes(programFolder / "Server.INI").find("MaxDaysLocal = 0\r\n"),
                  std::string::npos)
            << typed;
    }
}

TEST_F(Startup, TheToolkitTakesNoCommandLineOptions) {
    // Were the toolkit to read its options, "-platform" would name a platform that does not
    // exist and the program would end at once.
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    tool.setProcessEnvironment(environment);
    tool.start(QString(VELTRONA_PROGRAM_DIR) + "/VeltronaAdmin",
               {"-platform", "no-such-platform", "-reverse"});
    ASSERT_TRUE(tool.waitForStarted());
    EXPECT_FALSE(tool.waitForFinished(2000)) << tool.readAllStandardError().toStdString();
    tool.kill();
    tool.waitForFinished();
}

}  // namespace
}  // namespace veltrona::app::testing
