// The admin password asked at start-up, before the window can be used.
#include <sys/stat.h>

#include "FormFixture.h"

namespace veltrona::app::testing {
namespace {

namespace fs = std::filesystem;

class Gate : public FormTest {
  protected:
    const std::string file_ =
        "#Server Settings\r\n\r\n-aet = MAIN\r\nPort = 104\r\nAdminPassword= Se cr=et \r\n";

    void SetUp() override {
        FormTest::SetUp();
        writeSettings(file_);
    }
};

TEST_F(Gate, RightPasswordOpensTheWindowWithTheStatusLineAlreadyLogged) {
    dialogs.passwordAnswer = "Se cr=et";
    dialogs.whileOpen = [&] { EXPECT_EQ(statusLines().size(), 1); };
    create();
    EXPECT_FALSE(form->form().endRequested());
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(dialogs.prompts[0].caption, "Login required");
    EXPECT_EQ(dialogs.prompts[0].prompt, "Enter password:");
    EXPECT_TRUE(dialogs.infos.isEmpty());
}

TEST_F(Gate, EveryOtherAnswerEndsTheProgramWithoutWriting) {
    struct Row {
        const char* name;
        std::optional<QString> answer;
    };
    const Row rows[] = {
        {"other letter case", QString("se cr=et")},
        {"leading blank", QString(" Se cr=et")},
        {"trailing blank", QString("Se cr=et ")},
        {"empty field confirmed", QString("")},
        {"cancelled", std::nullopt},
        {"prefix only", QString("Se cr")},
    };
    const fs::path path = programFolder / "Server.INI";
    const auto before = fs::last_write_time(path);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialogs = RecordingDialogs();
        dialogs.passwordAnswer = row.answer;
        create();
        EXPECT_TRUE(form->form().endRequested());
        EXPECT_EQ(dialogs.infos, QStringList({"Wrong password entered!"}));
        form.reset();  // the program ends without closing the window
        EXPECT_EQ(readBytes(path), file_);
        EXPECT_EQ(fs::last_write_time(path), before);
        EXPECT_TRUE(processes.terminated.empty());
    }
}

TEST_F(Gate, NoPasswordOrABlankOneAsksNothing) {
    for (const char* line : {"", "AdminPassword=\r\n", "AdminPassword=   \r\n"}) {
        writeSettings(std::string("Port = 104\r\n") + line);
        dialogs = RecordingDialogs();
        create();
        EXPECT_TRUE(dialogs.prompts.empty()) << line;
        EXPECT_FALSE(form->form().endRequested()) << line;
        form.reset();
    }
}

TEST_F(Gate, PasswordLongerThanThePromptTakesCanNeverPass) {
    const std::string longPassword(300, 'p');
    writeSettings("AdminPassword=" + longPassword + "\r\n");
    dialogs.passwordAnswer = QString::fromStdString(longPassword);
    create();
    EXPECT_TRUE(form->form().endRequested());
}

TEST_F(Gate, EntryIsCutAtTheLengthThePromptTakes) {
    const std::string stored(255, 'p');
    writeSettings("AdminPassword=" + stored + "\r\n");
    dialogs.passwordAnswer = QString::fromStdString(stored + "q");
    create();
    EXPECT_FALSE(form->form().endRequested());
}

TEST_F(Gate, TheLaterOfTwoPasswordLinesIsAskedFor) {
    writeSettings("AdminPassword=first\r\nAdminPassword=second\r\n");
    dialogs.passwordAnswer = "second";
    create();
    EXPECT_FALSE(form->form().endRequested());
}

TEST_F(Gate, StartUpErrorsBeforeTheGateNeverSkipIt) {
    writeSettings("FIFOMax = lots\r\nAdminPassword=secret\r\n");
    writeTranslation("[ServerAdminForm]\r\nServerAdminForm.Caption=Fenster\r\n");
    dialogs.passwordAnswer = "wrong";
    create();
    EXPECT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_TRUE(form->form().endRequested());
}

TEST_F(Gate, TranslatedCatalogueLinesShowInThePromptAndTheRefusal) {
    writeTranslation(
        "[ServerAdminForm]\r\n"
        "ServerAdminForm.ServerMessage.lines[6]=Anmeldung\r\n"
        "ServerAdminForm.ServerMessage.lines[7]=Kennwort:\r\n"
        "ServerAdminForm.ServerMessage.lines[8]=Falsches Kennwort!\r\n");
    dialogs.passwordAnswer = "nope";
    create();
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(dialogs.prompts[0].caption, "Anmeldung");
    EXPECT_EQ(dialogs.prompts[0].prompt, "Kennwort:");
    EXPECT_EQ(dialogs.infos, QStringList({"Falsches Kennwort!"}));
}

TEST_F(Gate, TicksRunWhileThePromptIsOpen) {
    dialogs.passwordAnswer = "Se cr=et";
    dialogs.whileOpen = [&] {
        serverRuns(true);
        form->form().Timer1Timer();
    };
    create();
    EXPECT_EQ(statusLines(),
              QStringList({"09:05:07 Server läuft nicht", "09:05:07 Server gestartet"}));
    EXPECT_TRUE(form->form().serverStateFlag());
}

}  // namespace
}  // namespace veltrona::app::testing
