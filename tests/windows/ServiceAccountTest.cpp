// The service's account: its command line and the SID of a virtual account.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <sddl.h>

#include "ctl/CtlCommand.h"
#include "ctl/windows/ServiceAccount.h"

namespace veltrona::ctl {
namespace {

TEST(ServiceAccount, VirtualAccountsHaveTheSidOfTheirServiceName) {
    const std::wstring installer =
        L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    EXPECT_EQ(virtualAccountSid(L"TrustedInstaller"), installer);
    EXPECT_EQ(virtualAccountSid(L"trustedinstaller"), installer);
    // Known by name or not (Wine knows none), the account has that SID.
    PSID sid = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(virtualAccountSid(L"ZarvoServer").c_str(), &sid));
    const std::vector<BYTE> expected(static_cast<BYTE*>(sid),
                                     static_cast<BYTE*>(sid) + GetLengthSid(sid));
    LocalFree(sid);
    EXPECT_EQ(accountSid(L"NT SERVICE\\ZarvoServer"), expected);
    EXPECT_THROW(accountSid(L"no such account here"), std::runtime_error);
}

TEST(ServiceAccount, InstallNamesTheAccountAndReadsThePasswordFromInput) {
    const CtlCommand install =
        parseCommandLine({"service", "install", "--account", ".\\zarvo", "--password"});
    EXPECT_EQ(install.account, ".\\zarvo");
    EXPECT_TRUE(install.password);
    EXPECT_FALSE(parseCommandLine({"service", "install"}).account);
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"service", "remove", "--account", "x"},
          {"service", "install", "--password=secret"},
          {"service", "install", "--account="}}) {
        EXPECT_THROW(parseCommandLine(refused), UsageError) << refused.back();
    }
}

}  // namespace
}  // namespace veltrona::ctl
