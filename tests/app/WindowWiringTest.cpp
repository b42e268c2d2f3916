// The Qt window end to end: its widgets hold what the form puts in them, and its events
// (close, clicks, timer, locale change) reach the form's handlers.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

#include "FormFixture.h"
#include "ui/qt/Panel.h"

namespace veltrona::app::testing {
namespace {

using Wiring = FormTest;

TEST_F(Wiring, StartUpFillsTheWidgetsFromTheFiles) {
    writeSettings("Port = 104\r\nFIFOMax = 500\r\nMaxDaysLocal = 30\r\n+xy\r\n");
    writeTranslation(
        "[ServerAdminForm]\r\n"
        "ServerAdminForm.Caption=Zarvo Server Settings\r\n"
        "ServerAdminForm.GroupBox3.Caption=Overflow\r\n"
        "ServerAdminForm.Label4.Caption=AE title\r\n"
        "ServerAdminForm.Panel1.Caption=Options\r\n"
        "ServerAdminForm.Edit4.Hint=Passed on as typed\r\n"
        "ServerAdminForm.ServerMessage.lines[3]=Server is not running\r\n");
    create();
    EXPECT_EQ(form->windowTitle(), "Zarvo Server Settings");
    EXPECT_EQ(control<QGroupBox>("GroupBox3")->title(), "Overflow");
    EXPECT_EQ(control<QLabel>("Label4")->text(), "AE title");
    EXPECT_EQ(control<ui::Panel>("Panel1")->caption(), "Options");
    // A hint is kept, but the window shows no hints.
    EXPECT_EQ(form->hint("Edit4"), "Passed on as typed");
    EXPECT_TRUE(control<QLineEdit>("Edit4")->toolTip().isEmpty());
    EXPECT_EQ(text("Edit2"), "104");
    EXPECT_EQ(control<QSpinBox>("SpinEdit1")->value(), 500);
    EXPECT_EQ(control<QSpinBox>("SpinEdit2")->value(), 30);
    EXPECT_TRUE(control<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("RadioButton4")->isChecked());
    EXPECT_EQ(statusLines(), QStringList({"09:05:07 Server is not running"}));
}

TEST_F(Wiring, CloseWritesTheSettingsOrKeepsTheWindowOpen) {
    // A link into a folder that is not there makes the write fail.
    std::filesystem::create_symlink("gone/Server.ini", programFolder / "Server.ini");
    create();
    form->show();
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(dialogs.errors.size(), 1u);

    std::filesystem::create_directory(programFolder / "gone");
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(std::filesystem::is_regular_file(programFolder / "gone" / "Server.ini"));
}

// VeltronaCtl writes the file while the window is open; the close keeps what it wrote
// where the user changed nothing, and the user's change where both did.
TEST_F(Wiring, CloseKeepsWhatVeltronaCtlWroteMeanwhile) {
    writeSettings("-aet = A\r\nPort = 11112\r\nFIFOMax = 5\r\n");
    create();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::keyClicks(control<QLineEdit>("Edit1"), "B");
    QProcess ctl;
    ctl.start(QString(VELTRONA_PROGRAM_DIR) + "/VeltronaCtl",
              {"--folder", QString::fromStdString(programFolder.string()), "settings", "set",
               "Port=4343", "aet=CTL", "FIFOMin=3"});
    ASSERT_TRUE(ctl.waitForFinished(60000));
    ASSERT_EQ(ctl.exitCode(), 0) << ctl.readAllStandardError().toStdString();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readBytes(programFolder / "Server.INI"),
              "#Server Settings\r\n\r\n-aet = AB\r\nPort = 4343\r\nFIFOMax = 5\r\n"
              "FIFOMin = 3\r\n-od = \r\n-db = \r\n");
}

TEST_F(Wiring, ClicksReachTheButtonHandlers) {
    create();
    form->show();
    QTest::mouseClick(control<QPushButton>("Button1"), Qt::LeftButton);
    EXPECT_EQ(dialogs.infos, Texts({"Server läuft nicht"}));
    QTest::mouseClick(control<QPushButton>("Button2"), Qt::LeftButton);
    EXPECT_EQ(processes.launches.size(), 1u);
}

TEST_F(Wiring, PollingRunsOnTheRealTimer) {
    build();
    form->form().FormCreate();
    form->pollingTimer()->start();
    serverRuns(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->form().serverStateFlag(); }, 5000));
    EXPECT_EQ(statusLines().last(), "09:05:07 Server gestartet");
}

TEST_F(Wiring, RegionalSettingsAreReadAgainWhenTheLocaleChanges) {
    TimeFormat current{};
    form = std::make_unique<QtAdminWindow>(services([&] { return current; }));
    form->pollingTimer()->stop();
    form->form().FormCreate();
    current = TimeFormat{true, false, false, ":", "AM", "PM"};
    QEvent change(QEvent::LocaleChange);
    QApplication::sendEvent(form.get(), &change);
    serverRuns(true);
    form->form().Timer1Timer();
    EXPECT_EQ(statusLines(),
              QStringList({"09:05:07 Server läuft nicht", "9:05:07 AM Server gestartet"}));
}

TEST_F(Wiring, ValuesComeBackWhole) {
    // Far beyond the 32,767 characters a Qt edit holds by default, and both ends of the
    // spin edits' 32-bit range.
    const std::string longFolder = "/srv/" + std::string(40000, 'x') + "/";
    const std::string file =
        "#Server Settings\r\n\r\n-aet = A\r\nPort = 104\r\nFIFOMax = 2147483647\r\n"
        "FIFOMin = -2147483648\r\n-od = " +
        longFolder + "\r\n-db = /db\r\nparameter=" + longFolder + "\r\n";
    writeSettings(file);
    create();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->form().Button2Click();
    ASSERT_EQ(processes.launches.size(), 1u);
    EXPECT_NE(
        processes.launches[0].parameters.find(longFolder.substr(0, longFolder.size() - 1) + "\""),
        std::string::npos);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readBytes(programFolder / "Server.INI"), file);
}

TEST_F(Wiring, APanelDrawsTheCaptionItIsGiven) {
    create();
    form->show();
    auto* panel = control<ui::Panel>("Panel1");
    // The middle of the panel, clear of its check box.
    const QRect middle(panel->width() / 2 - 40, 4, 80, panel->height() - 8);
    const QImage designed = panel->grab(middle).toImage();
    form->setText("Panel1", "Options");
    const QImage captioned = panel->grab(middle).toImage();
    QImage blank = designed;
    blank.fill(designed.pixel(0, 0));
    EXPECT_EQ(designed, blank) << "an empty caption draws nothing";
    EXPECT_NE(captioned, designed);
}

TEST_F(Wiring, TheToolkitTakesNoCommandLineOptions) {
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
