// VeltronaCtl.exe as a script runs it: a child process whose output is a pipe, in a program
// folder that the ANSI code page cannot spell.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

#include "WindowsTestSupport.h"

namespace veltrona::testing {
namespace {

namespace fs = std::filesystem;

struct CtlRun {
    DWORD exitCode = 1;
    std::string out;
    bool outEnded = false;  // the output reached its end while the server ran
};

// Runs the folder's VeltronaCtl.exe with its output on a pipe, reads that to its end and
// waits for the program. A server that kept the pipe would keep the reader waiting: after a
// minute the folder's servers are ended, which lets it go.
CtlRun runCtl(const fs::path& folder, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    CtlRun run;
    if (!CreatePipe(&read, &write, &inherited, 0)) {
        ADD_FAILURE() << "CreatePipe: " << GetLastError();
        return run;
    }
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    const HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = write;
    startup.hStdError = nul;
    const fs::path program = folder / L"VeltronaCtl.exe";
    std::wstring commandLine = L"\"" + program.native() + L"\" " + arguments;
    PROCESS_INFORMATION started{};
    const bool ok = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
    CloseHandle(write);
    CloseHandle(nul);
    EXPECT_TRUE(ok) << "CreateProcess: " << GetLastError();
    std::promise<void> ended;
    std::future<void> endedFuture = ended.get_future();
    std::thread reader([&] {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            run.out.append(buffer, got);
        }
        ended.set_value();
    });
    if (ok) {
        WaitForSingleObject(started.hProcess, INFINITE);
        GetExitCodeProcess(started.hProcess, &run.exitCode);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    run.outEnded = endedFuture.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    if (!run.outEnded) {
        runCtl(folder, L"stop");
    }
    reader.join();
    CloseHandle(read);
    return run;
}

class CtlProgram : public ::testing::Test {
  protected:
    TempFolder temp;
    fs::path folder = temp.path() / L"cases" / L"\u03A9mega" / L"prog";

    void SetUp() override {
        fs::create_directories(folder);
        for (const wchar_t* name : {L"VeltronaCtl.exe", L"ZarvoServer.exe"}) {
            ASSERT_TRUE(CopyFileW((fs::path(programFolder()) / name).c_str(),
                                  (folder / name).c_str(), TRUE));
        }
        std::ofstream(folder / L"Server.INI", std::ios::binary)
            << "-aet = ARCHIVE\r\nPort = " << 20000 + GetCurrentProcessId() % 20000 << "\r\n";
    }
    void TearDown() override { runCtl(folder, L"stop"); }
};

TEST_F(CtlProgram, StartedServerLeavesTheCallersOutputAndShowsItsWidePath) {
    const CtlRun start = runCtl(folder, L"start");
    EXPECT_EQ(start.exitCode, 0u) << start.out;
    EXPECT_TRUE(start.outEnded) << "the server holds VeltronaCtl's output open";

    const std::u8string wide = (folder / L"ZarvoServer.exe").u8string();
    std::string json(wide.begin(), wide.end());
    for (std::size_t at = 0; (at = json.find('\\', at)) != std::string::npos; at += 2) {
        json.insert(at, 1, '\\');
    }
    const CtlRun status = runCtl(folder, L"--json status");
    EXPECT_NE(status.out.find("\"executable\":\"" + json + "\""), std::string::npos) << status.out;
    const CtlRun text = runCtl(folder, L"status");
    EXPECT_NE(text.out.find("ZarvoServer.exe is running"), std::string::npos) << text.out;
    // A letter the code page lacks is no other letter, which would name another folder.
    EXPECT_EQ(text.out.find("\\Omega\\"), std::string::npos) << text.out;

    const CtlRun stop = runCtl(folder, L"--json stop");
    EXPECT_EQ(stop.exitCode, 0u) << stop.out;
    EXPECT_NE(stop.out.find("\"ended\":[{\"id\":"), std::string::npos) << stop.out;
    EXPECT_NE(stop.out.find(json), std::string::npos) << stop.out;
}

}  // namespace
}  // namespace veltrona::testing
