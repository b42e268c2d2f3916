// The start and stop buttons against a scripted process table.
#include "CoreFixture.h"

namespace veltrona::app::testing {
namespace {

using StartStop = CoreFormTest;

TEST_F(StartStop, StartBuildsTheParameterStringFromTheControls) {
    writeSettings(
        "-aet = ARCHIVE\r\nPort = 104\r\n-od = /srv/images/\r\n+xs    # JPeg lossless\r\n"
        "-dhl   # No DHCP available\r\n");
    create();
    form->Button2Click();
    ASSERT_EQ(processes.launches.size(), 1u);
    EXPECT_EQ(processes.launches[0].program, programFolder / "ZarvoServer.exe");
    EXPECT_EQ(processes.launches[0].parameters,
              " -dw -dhl +xs -od \"/srv/images\"  -aet ARCHIVE 104");
    EXPECT_FALSE(processes.launches[0].shown);
    // Starting changes neither the flag nor the log; the next tick reports it.
    EXPECT_FALSE(form->serverStateFlag());
    EXPECT_EQ(statusLines().size(), 1u);
}

TEST_F(StartStop, VerboseProfileAndEditedValuesAreReadAtTheClick) {
    writeBytes(programFolder / "setup.cfg", "");
    create();
    view->setChecked("CheckBox1", true);
    view->setText("Edit1", "NEW");
    view->setText("Edit2", "11112");
    view->setText("Edit3", "/data/");
    view->setText("Edit4", "-v");
    form->Button2Click();
    ASSERT_EQ(processes.launches.size(), 1u);
    EXPECT_EQ(processes.launches[0].parameters,
              " -d -dw  -xf \"" + (programFolder / "setup.cfg").string() +
                  "\" \"default\" -v -od \"/data\"  -aet NEW 11112");
    EXPECT_TRUE(processes.launches[0].shown);
}

TEST_F(StartStop, TwoClicksBeforeATickLaunchTwice) {
    create();
    form->Button2Click();
    form->Button2Click();
    EXPECT_EQ(processes.launches.size(), 2u);
    EXPECT_EQ(dialogs.infos, std::vector<std::string>{});
}

TEST_F(StartStop, StartWhileRunningOrRefusedSaysSo) {
    serverRuns(true);
    create();
    form->Button2Click();
    EXPECT_EQ(dialogs.infos, Texts({"Server läuft bereits"}));
    EXPECT_EQ(processes.launches, std::vector<ScriptedProcesses::Launch>{});

    serverRuns(false);
    form->Timer1Timer();
    processes.refuseLaunch = true;
    form->Button2Click();
    EXPECT_EQ(dialogs.infos.back(), "Server konnte nicht gestartet werden");
    EXPECT_EQ(form->launchError(), "No such file or directory");
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{});
}

TEST_F(StartStop, StopWhileNotRunningListsNothing) {
    create();
    serverRuns(true);  // running, but no tick has seen it yet
    const int listings = processes.listings;
    form->Button1Click();
    EXPECT_EQ(dialogs.infos, Texts({"Server läuft nicht"}));
    EXPECT_EQ(processes.listings, listings);
    EXPECT_EQ(processes.terminated, std::vector<process::ProcessEntry>{});
}

TEST_F(StartStop, EachRefusedTerminationGetsItsOwnDialog) {
    processes.running = {
        {10, "/a/ZarvoServer.exe"}, {11, "/b/ZarvoServer.exe"}, {12, "/c/ZarvoServer.exe"}};
    processes.refuse = {10, 12};
    create();
    form->Button1Click();
    EXPECT_EQ(dialogs.stopFailures, 2);
    ASSERT_EQ(processes.terminated.size(), 1u);
    EXPECT_EQ(processes.terminated[0].id, 11u);
}

TEST_F(StartStop, OnlyACaseVariantRunningMeansNothingHappens) {
    processes.running = {{12, "/opt/zarvo/zarvoserver.exe"}};
    create();
    ASSERT_TRUE(form->serverStateFlag());
    form->Button1Click();
    EXPECT_EQ(processes.terminated, std::vector<process::ProcessEntry>{});
    EXPECT_EQ(dialogs.infos, std::vector<std::string>{});
    EXPECT_EQ(dialogs.stopFailures, 0);
}

}  // namespace
}  // namespace veltrona::app::testing
