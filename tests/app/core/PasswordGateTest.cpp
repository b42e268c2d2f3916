// The admin password asked at start-up, before the window can be used.
#include "CoreFixture.h"

namespace veltrona::app::testing {
namespace {

namespace fs = std::filesystem;

class Gate : public CoreFormTest {
  protected:
    const std::string file_ =
        "#Server Settings\r\n\r\n-aet = MAIN\r\nPort = 104\r\nAdminPassword= Se cr=et \r\n";

    void SetUp() override {
        CoreFormTest::SetUp();
        writeSettings(file_);
    }
};

TEST_F(Gate, RightPasswordOpensTheWindowWithTheStatusLineAlreadyLogged) {
    dialogs.passwordAnswer = "Se cr=et";
    dialogs.whileOpen = [&] { EXPECT_EQ(statusLines().size(), 1u); };
    create();
    EXPECT_FALSE(form->endRequested());
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(dialogs.prompts[0].caption, "Login required");
    EXPECT_EQ(dialogs.prompts[0].prompt, "Enter password:");
    EXPECT_EQ(dialogs.infos, std::vector<std::string>{});
}

TEST_F(Gate, EveryOtherAnswerEndsTheProgramWithoutWriting) {
    struct Row {
        const char* name;
        std::optional<std::string> answer;
    };
    const Row rows[] = {
        {"other letter case", std::string("se cr=et")},
        {"leading blank", std::string(" Se cr=et")},
        {"trailing blank", std::string("Se cr=et ")},
        {"empty field confirmed", std::string("")},
        {"cancelled", std::nullopt},
        {"prefix only", std::string("Se cr")},
    };
    const fs::path path = programFolder / "Server.INI";
    const auto before = fs::last_write_time(path);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialogs = RecordingDialogs();
        dialogs.passwordAnswer = row.answer;
        create();
        EXPECT_TRUE(form->endRequested());
        EXPECT_EQ(dialogs.infos, Texts({"Wrong password entered!"}));
        window.reset();  // the program ends without closing the window
        EXPECT_EQ(readBytes(path), file_);
        EXPECT_EQ(fs::last_write_time(path), before);
        EXPECT_EQ(processes.terminated, std::vector<process::ProcessEntry>{});
    }
}

TEST_F(Gate, WhatTheFileHoldsDecidesWhetherAndForWhatItAsks) {
    const std::string p255(255, 'p');
    const std::string p300(300, 'p');
    struct Row {
        const char* name;
        std::string lines;
        std::string answer;
        bool asks;
        bool passes;
    };
    const Row rows[] = {
        {"no password", "Port = 104\r\n", "", false, true},
        {"empty password", "AdminPassword=\r\n", "", false, true},
        {"blank password", "AdminPassword=   \r\n", "", false, true},
        {"longer than the prompt takes", "AdminPassword=" + p300 + "\r\n", p300, true, false},
        {"entry cut where the prompt stops", "AdminPassword=" + p255 + "\r\n", p255 + "q", true,
         true},
        {"later of two lines", "AdminPassword=first\r\nAdminPassword=second\r\n", "second", true,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeSettings(row.lines);
        dialogs = RecordingDialogs();
        dialogs.passwordAnswer = row.answer;
        create();
        EXPECT_EQ(dialogs.prompts.size(), row.asks ? 1u : 0u);
        EXPECT_EQ(form->endRequested(), !row.passes);
    }
}

TEST_F(Gate, StartUpErrorsBeforeTheGateNeverSkipIt) {
    writeSettings("FIFOMax = lots\r\nAdminPassword=secret\r\n");
    writeTranslation("[ServerAdminForm]\r\nServerAdminForm.Caption=Fenster\r\n");
    dialogs.passwordAnswer = "wrong";
    create();
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_TRUE(form->endRequested());
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
    EXPECT_EQ(dialogs.infos, Texts({"Falsches Kennwort!"}));
}

TEST_F(Gate, TicksRunWhileThePromptIsOpen) {
    dialogs.passwordAnswer = "Se cr=et";
    dialogs.whileOpen = [&] {
        serverRuns(true);
        form->Timer1Timer();
    };
    create();
    EXPECT_EQ(statusLines(), Texts({"09:05:07 Server läuft nicht", "09:05:07 Server gestartet"}));
    EXPECT_TRUE(form->serverStateFlag());
}

TEST_F(Gate, TheProgramShowsTheWindowOnlyPastTheGateAndAnErrorThatEscapesInTheErrorBox) {
    for (const auto& [answer, shown] : {std::pair{"Se cr=et", true}, std::pair{"wrong", false}}) {
        dialogs = RecordingDialogs();
        dialogs.passwordAnswer = answer;
        ui::testing::MemoryFormView window(serverAdminFormSpec());
        EXPECT_EQ(runAdminProgram(window, services()), 0);
        EXPECT_EQ(window.shown(), shown) << answer;
        EXPECT_EQ(window.focusedControl(), shown ? "Button1" : "") << answer;
    }
    EXPECT_EQ(runGuarded(dialogs, []() -> int { throw std::runtime_error("Kaputt"); }), 1);
    EXPECT_EQ(dialogs.errors, Texts({"Kaputt."}));
}

}  // namespace
}  // namespace veltrona::app::testing
