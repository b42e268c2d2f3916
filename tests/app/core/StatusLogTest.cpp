// The status log: the start-up line and the once-a-second poll of the server's process.
#include "CoreFixture.h"

namespace veltrona::app::testing {
namespace {

using StatusLog = CoreFormTest;
using process::ProcessEntry;

const std::vector<ProcessEntry> kWithServer = {{1, "/sbin/init"},
                                               {77, "/opt/zarvo/ZarvoServer.exe"}};
const std::vector<ProcessEntry> kWithoutServer = {{1, "/sbin/init"}};

TEST_F(StatusLog, StartUpLineSaysWhetherTheServerRuns) {
    serverRuns(true);
    create();
    EXPECT_EQ(statusLines(), Texts({"09:05:07 Server läuft"}));
    EXPECT_TRUE(form->serverStateFlag());
}

TEST_F(StatusLog, DetectionIgnoresAsciiCaseButNotOtherNames) {
    serverRuns(true, "/opt/zarvo/ZARVOSERVER.EXE");
    create();
    EXPECT_TRUE(form->serverStateFlag());
    serverRuns(true, "/opt/zarvo/ZarvoServer.exe.bak");
    create();
    EXPECT_FALSE(form->serverStateFlag());
}

TEST_F(StatusLog, TicksLogEachChangeOnceAndNothingElse) {
    serverRuns(false);
    create();
    form->Timer1Timer();
    EXPECT_EQ(statusLines().size(), 1u);  // nothing changed, nothing logged

    serverRuns(true);
    clock.time = {14, 0, 1};
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_TRUE(form->serverStateFlag());

    serverRuns(false);
    clock.time = {14, 30, 0};
    form->Timer1Timer();
    EXPECT_FALSE(form->serverStateFlag());
    EXPECT_EQ(statusLines(), Texts({"09:05:07 Server läuft nicht", "14:00:01 Server gestartet",
                                    "14:30:00 Server gestoppt"}));
}

TEST_F(StatusLog, TheSecondLookAloneDecides) {
    create();  // flag false
    processes.queuedListings = {kWithServer, kWithoutServer};
    form->Timer1Timer();
    // The flag did not change, yet the second look's answer is logged.
    EXPECT_FALSE(form->serverStateFlag());
    EXPECT_EQ(statusLines().back(), "09:05:07 Server gestoppt");
    EXPECT_EQ(processes.listings, 3);  // start-up, then two looks
}

TEST_F(StatusLog, AnErrorInATickIsShownAndTheFlagKeepsItsValue) {
    serverRuns(true);
    create();
    processes.failListing = true;
    view->tick("Timer1");
    EXPECT_EQ(dialogs.errors, Texts({"listing broke."}));
    EXPECT_TRUE(form->serverStateFlag());
    processes.failListing = false;
    serverRuns(false);
    form->Timer1Timer();
    EXPECT_EQ(statusLines().back(), "09:05:07 Server gestoppt");
}

TEST_F(StatusLog, TranslatedAndEmptyCatalogueLinesAreUsedWhenTheLineIsMade) {
    writeTranslation(
        "[serveradminform]\r\n"
        "SERVERADMINFORM.SERVERMESSAGE.LINES[3]=Dienst aus\r\n"
        "ServerAdminForm.ServerMessage.Lines[0]=\r\n");
    create();
    serverRuns(true);
    form->Timer1Timer();
    EXPECT_EQ(statusLines(), Texts({"09:05:07 Dienst aus", "09:05:07 "}));
}

TEST_F(StatusLog, TimeStampFollowsTheRegionalSettings) {
    clock.time = {21, 5, 7};
    create([] { return TimeFormat{true, false, false, ":", "AM", "PM"}; });
    EXPECT_EQ(statusLines(), Texts({"9:05:07 PM Server läuft nicht"}));
}

}  // namespace
}  // namespace veltrona::app::testing
