// The window's texts replaced from the translation file above the program folder.
#include "CoreFixture.h"

namespace veltrona::app::testing {
namespace {

using Translation = CoreFormTest;

TEST_F(Translation, CustomIniAboveTheProgramFolderReplacesTextsBeforeAnythingIsLogged) {
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
    // What the file changes, and nothing else.
    ui::testing::MemoryFormView expected(serverAdminFormSpec());
    expected.setWindowCaption("Zarvo Server Settings");
    expected.setText("Button2", "Start server");
    expected.setText("GroupBox3", "Overflow");
    expected.setText("RadioButton5", "\"Implicit VR\"");
    expected.setText("Panel1", "Options");
    expected.setHint("Edit4", "Passed on as typed");
    expected.setLine("ServerMessage", 3, "Server is not running");
    expected.appendLine("SStatus", "09:05:07 Server is not running");
    EXPECT_EQ(*view, expected);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{});
}

TEST_F(Translation, CatalogueLinesReachTheDialogs) {
    writeTranslation(
        "[ServerAdminForm]\r\n"
        "ServerAdminForm.ServerMessage.lines[3]=Not running\r\n"
        "ServerAdminForm.ServerMessage.lines[4]=Already running\r\n");
    create();
    form->Button1Click();
    serverRuns(true);
    form->Timer1Timer();
    form->Button2Click();
    EXPECT_EQ(dialogs.infos, Texts({"Not running", "Already running"}));
}

TEST_F(Translation, Windows1252FileShowsUmlauts) {
    writeTranslation(
        "[ServerAdminForm]\r\nServerAdminForm.Button1.Caption=Server anhalten "
        "(\xFC\xE4\xF6\xDF)\r\n");
    create();
    EXPECT_EQ(text("Button1"), "Server anhalten (üäöß)");
}

TEST_F(Translation, AFolderInPlaceOfTheFileIsNoTranslation) {
    std::filesystem::create_directory(root / "Custom.ini");
    create();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{});
    EXPECT_EQ(view->windowCaption(), "Zarvo Server Einstellungen");
}

}  // namespace
}  // namespace veltrona::app::testing
