// The status log: the start-up line and the once-a-second poll of the server's process.
#include "FormFixture.h"

namespace veltrona::app::testing {
namespace {

using StatusLog = FormTest;
using process::ProcessEntry;

const std::vector<ProcessEntry> kWithServer = {{1, "/sbin/init"},
                                               {77, "/opt/zarvo/ZarvoServer.exe"}};
const std::vector<ProcessEntry> kWithoutServer = {{1, "/sbin/init"}};

TEST_F(StatusLog, StartUpLineSaysWhetherTheServerRuns) {
    serverRuns(true);
    create();
    EXPECT_EQ(statusLines(), QStringList({"09:05:07 Server läuft"}));
    EXPECT_TRUE(form->form().serverStateFlag());
}

TEST_F(StatusLog, DetectionIgnoresAsciiCaseButNotOtherNames) {
    serverRuns(true, "/opt/zarvo/ZARVOSERVER.EXE");
    create();
    EXPECT_TRUE(form->form().serverStateFlag());
    form.reset();
    serverRuns(true, "/opt/zarvo/ZarvoServer.exe.bak");
    create();
    EXPECT_FALSE(form->form().serverStateFlag());
}

TEST_F(StatusLog, TicksLogEachChangeOnceAndNothingElse) {
    serverRuns(false);
    create();
    form->form().Timer1Timer();
    EXPECT_EQ(statusLines().size(), 1);  // nothing changed, nothing logged

    serverRuns(true);
    clock.time = {14, 0, 1};
    form->form().Timer1Timer();
    form->form().Timer1Timer();
    EXPECT_TRUE(form->form().serverStateFlag());

    serverRuns(false);
    clock.time = {14, 30, 0};
    form->form().Timer1Timer();
    EXPECT_FALSE(form->form().serverStateFlag());
    EXPECT_EQ(statusLines(),
              QStringList({"09:05:07 Server läuft nicht", "14:00:01 Server gestartet",
                           "14:30:00 Server gestoppt"}));
}

TEST_F(StatusLog, TheSecondLookAloneDecides) {
    create();  // flag false
    processes.queuedListings = {kWithServer, kWithoutServer};
    form->form().Timer1Timer();
    // The flag did not change, yet the second look's answer is logged.
    EXPECT_FALSE(form->form().serverStateFlag());
    EXPECT_EQ(statusLines().last(), "09:05:07 Server gestoppt");
    EXPECT_EQ(processes.listings, 3);  // start-up, then two looks
}

TEST_F(StatusLog, AStartAndStopBetweenTwoTicksLeavesNothing) {
    create();
    serverRuns(true);
    serverRuns(false);
    form->form().Timer1Timer();
    EXPECT_EQ(statusLines().size(), 1);
}

TEST_F(StatusLog, AnErrorInATickIsShownAndTheFlagKeepsItsValue) {
    serverRuns(true);
    create();
    processes.failListing = true;
    form->form().Timer1Timer();
    EXPECT_EQ(dialogs.errors, QStringList({"listing broke."}));
    EXPECT_TRUE(form->form().serverStateFlag());
    processes.failListing = false;
    serverRuns(false);
    form->form().Timer1Timer();
    EXPECT_EQ(statusLines().last(), "09:05:07 Server gestoppt");
}

TEST_F(StatusLog, TranslatedAndEmptyCatalogueLinesAreUsedWhenTheLineIsMade) {
    writeTranslation(
        "[serveradminform]\r\n"
        "SERVERADMINFORM.SERVERMESSAGE.LINES[3]=Dienst aus\r\n"
        "ServerAdminForm.ServerMessage.Lines[0]=\r\n");
    create();
    serverRuns(true);
    form->form().Timer1Timer();
    EXPECT_EQ(statusLines(), QStringList({"09:05:07 Dienst aus", "09:05:07 "}));
}

TEST_F(StatusLog, TimeStampFollowsTheRegionalSettings) {
    form = std::make_unique<QtAdminWindow>(FormServices{
        processes, dialogs, clock, [] { return TimeFormat{true, false, false, ":", "AM", "PM"}; },
        programFolder});
    form->pollingTimer()->stop();
    clock.time = {21, 5, 7};
    form->form().FormCreate();
    EXPECT_EQ(statusLines(), QStringList({"9:05:07 PM Server läuft nicht"}));
}

TEST_F(StatusLog, RegionalSettingsAreReadAgainWhenTheLocaleChanges) {
    TimeFormat current{};
    form = std::make_unique<QtAdminWindow>(
        FormServices{processes, dialogs, clock, [&] { return current; }, programFolder});
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

TEST_F(StatusLog, PollingRunsOnTheRealTimer) {
    build();
    form->form().FormCreate();
    form->pollingTimer()->start();
    serverRuns(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->form().serverStateFlag(); }, 5000));
    EXPECT_EQ(statusLines().last(), "09:05:07 Server gestartet");
}

}  // namespace
}  // namespace veltrona::app::testing
