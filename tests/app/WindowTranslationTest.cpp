// The window's texts replaced from the translation file above the program folder.
#include <sys/stat.h>
#include <unistd.h>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "FormFixture.h"
#include "ui/Panel.h"

namespace veltrona::app::testing {
namespace {

using Translation = FormTest;

TEST_F(Translation, CustomIniAboveTheProgramFolderReplacesTexts) {
    writeTranslation(
        "; Deutsch -> English\r\n"
        "[ServerAdminForm]\r\n"
        "ServerAdminForm.Caption = Zarvo Server Settings\r\n"
        "ServerAdminForm.Button2.Caption=Start server\r\n"
        "ServerAdminForm.GroupBox3.Caption=Overflow\r\n"
        "ServerAdminForm.RadioButton5.Caption=\"Implicit VR\"\r\n"
        "ServerAdminForm.Panel1.Caption=Options\r\n"
        "ServerAdminForm.Edit4.Hint=Passed on as typed\r\n"
        "ServerAdminForm.Edit1.Caption=never shown\r\n"
        "ServerAdminForm.Button1.Caption=\r\n"
        "ServerAdminForm.ServerMessage.lines[3]=Server is not running\r\n"
        "ServerAdminForm.ServerMessage.lines[4]=fsdef\r\n");
    create();
    EXPECT_EQ(form->windowTitle(), "Zarvo Server Settings");
    EXPECT_EQ(control<QPushButton>("Button2")->text(), "Start server");
    EXPECT_EQ(control<QPushButton>("Button1")->text(), "Zarvo Server stoppen");
    EXPECT_EQ(control<QGroupBox>("GroupBox3")->title(), "Overflow");
    EXPECT_EQ(control<QRadioButton>("RadioButton5")->text(), "\"Implicit VR\"");
    EXPECT_EQ(control<ui::Panel>("Panel1")->caption(), "Options");
    // A hint is kept, but the window shows no hints.
    EXPECT_EQ(form->hint("Edit4"), "Passed on as typed");
    EXPECT_TRUE(control<QLineEdit>("Edit4")->toolTip().isEmpty());
    EXPECT_TRUE(text("Edit1").isEmpty());
    EXPECT_EQ(statusLines(), QStringList({"09:05:07 Server is not running"}));
    EXPECT_EQ(form->form().catalogueMessage(4), "Server läuft bereits");
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(Translation, APanelDrawsTheCaptionItIsGiven) {
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

TEST_F(Translation, CatalogueLinesReachTheDialogs) {
    writeTranslation(
        "[ServerAdminForm]\r\n"
        "ServerAdminForm.ServerMessage.lines[3]=Not running\r\n"
        "ServerAdminForm.ServerMessage.lines[4]=Already running\r\n");
    create();
    form->form().Button1Click();
    serverRuns(true);
    form->form().Timer1Timer();
    form->form().Button2Click();
    EXPECT_EQ(dialogs.infos, QStringList({"Not running", "Already running"}));
}

TEST_F(Translation, Windows1252FileShowsUmlauts) {
    writeTranslation(
        "[ServerAdminForm]\r\nServerAdminForm.Button1.Caption=Server anhalten "
        "(\xFC\xE4\xF6\xDF)\r\n");
    create();
    EXPECT_EQ(control<QPushButton>("Button1")->text(), "Server anhalten (üäöß)");
}

TEST_F(Translation, UnreadableFileIsReportedAndStartUpGoesOnWithBuiltInTexts) {
    writeTranslation("[ServerAdminForm]\r\nServerAdminForm.Caption=Never\r\n");
    writeSettings("Port = 104\r\n");
    // The path as built from the program folder, not normalised.
    const std::filesystem::path custom = programFolder / "../Custom.ini";
    ::chmod(custom.c_str(), 0);
    // Root reads any file, so the start-up runs as an ordinary user for this test.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ::chmod(root.path().toLocal8Bit().constData(), 0755);
        ::chmod(programFolder.parent_path().c_str(), 0755);
        ::chmod((programFolder / "Server.INI").c_str(), 0644);
        ASSERT_EQ(::seteuid(65534), 0);
    }
    build().form().FormCreate();
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].startsWith(QString("Datei %1 kann nicht geöffnet werden. ")
                                                 .arg(QString::fromStdString(custom.string()))))
        << dialogs.errors[0].toStdString();
    EXPECT_EQ(form->windowTitle(), "Zarvo Server Einstellungen");
    EXPECT_EQ(text("Edit2"), "104");
    EXPECT_EQ(statusLines().size(), 1);
}

TEST_F(Translation, AFolderInPlaceOfTheFileIsNoTranslation) {
    std::filesystem::create_directory(programFolder.parent_path().parent_path() / "Custom.ini");
    create();
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(form->windowTitle(), "Zarvo Server Einstellungen");
}

}  // namespace
}  // namespace veltrona::app::testing
