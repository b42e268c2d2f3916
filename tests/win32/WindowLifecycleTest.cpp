// What the program wires around the window: the code page on the way from the settings
// file through the fields to the server and back, the regional settings, closing, the
// password gate and the settings file that another program holds.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "ServerArguments.h"
#include "Win32TestSupport.h"

namespace veltrona::testing {
namespace {

// The real processes; the parameter strings handed to the shell are recorded on the way.
class RecordedLaunches : public process::ProcessPlatform {
  public:
    process::PathSyntax pathSyntax() const override { return real_.pathSyntax(); }
    std::vector<process::ProcessEntry> listProcesses() override { return real_.listProcesses(); }
    process::TerminateResult terminate(const process::ProcessEntry& entry) override {
        return real_.terminate(entry);
    }
    void launch(const std::filesystem::path& program, const std::string& parameters,
                bool shown) override {
        this->parameters.push_back(parameters);
        real_.launch(program, parameters, shown);
    }
    std::vector<std::string> parameters;

  private:
    process::WindowsProcessPlatform real_;
};

// The user's time format, set for the test and put back afterwards.
class UserTimeFormat {
  public:
    explicit UserTimeFormat(const wchar_t* format) {
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, saved_, 80);
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, format);
    }
    ~UserTimeFormat() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, saved_); }

  private:
    wchar_t saved_[80] = {};
};

class WindowLifecycle : public AdminWindowTest {
  protected:
    void click(const char* button) { SendMessageW(view().control(button), BM_CLICK, 0, 0); }
    std::string lastStatusLine() {
        const int count = view().lineCount("SStatus");
        return count == 0 ? "" : view().line("SStatus", count - 1);
    }
};

TEST_F(WindowLifecycle, Windows1252BytesPassTheFieldsToTheShellAndTheFileUnchanged) {
    ASSERT_EQ(GetACP(), 1252u) << "the suite expects a Western European system code page";
    std::string bytes;  // every byte that a settings line can hold
    for (int b = 1; b < 256; ++b) {
        if (b != '\r' && b != '\n') {
            bytes += static_cast<char>(b);
        }
    }
    // A program folder whose name needs the code page too, with the server and its profile.
    programFolder_ = folder_.path() / L"Zarvo Pr\u00FCfung" / "";
    std::filesystem::create_directory(programFolder_);
    addServer();
    writeFile(programFolder_ / L"setup.cfg", "");
    const std::string programFolder =
        "Zarvo Pr\xFC"
        "fung\\";
    RecordedLaunches launches;
    makeWindow("-od = D:\\R\xF6ntgen\\\r\nparameter=<" + bytes + ">\r\n", &launches);
    ASSERT_TRUE(window_->open());
    // The fields show the characters that the bytes stand for, undefined ones included.
    EXPECT_EQ(windowText(view().control("Edit3")), L"D:\\R\u00F6ntgen\\");
    const std::wstring parameters = windowText(view().control("Edit4"));
    EXPECT_EQ(parameters.size(), bytes.size() + 2);
    for (const wchar_t c : {L'\u20AC', L'\u0081', L'\u0178', L'\u00E4', L'\u00FF', L'\t'}) {
        EXPECT_NE(parameters.find(c), std::wstring::npos) << static_cast<int>(c);
    }

    click("Button2");
    ASSERT_EQ(launches.parameters.size(), 1u);
    EXPECT_NE(launches.parameters[0].find(programFolder + "setup.cfg\" \"default\" <" + bytes +
                                          "> -od \"D:\\R\xF6ntgen\"  -aet  "),
              std::string::npos);
    EXPECT_EQ(dialogs_.infos,
              std::vector<std::string>{});  // the shell found the server in that folder

    PostMessageW(view().handle(), WM_CLOSE, 0, 0);
    pumpUntil(view(), [&] { return view().handle() == nullptr; });
    const std::string written = fileContent(folder() / "Server.INI");
    EXPECT_NE(written.find("\r\n-od = D:\\R\xF6ntgen\\\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nparameter=<" + bytes + ">\r\n"), std::string::npos);
}

TEST_F(WindowLifecycle, ServerStartedFromTheWindowGetsTheBytesAndTheNewTimeFormat) {
    addServer();
    const auto record = folder_.path() / L"arguments.txt";
    ASSERT_TRUE(SetEnvironmentVariableW(L"ZARVO_SERVER_ARGS_FILE", record.c_str()));
    makeWindow("-aet = AE\r\nPort = 11112\r\n-od = D:\\R\xF6ntgen\\\r\n");
    ASSERT_TRUE(window_->open());
    EXPECT_TRUE(std::regex_match(lastStatusLine(),
                                 std::regex(R"(\d\d?:\d\d:\d\d [AP]M Server läuft nicht)")))
        << lastStatusLine();

    // The user picks another time format; the system tells every window.
    const UserTimeFormat dotted(L"HH.mm.ss");
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                        SMTO_ABORTIFHUNG, 5000, nullptr);

    click("Button2");
    EXPECT_TRUE(pumpUntil(view(), [&] { return std::filesystem::exists(record); }));
    const auto arguments = standin::decodeArgumentRecord(fileContent(record));
    SetEnvironmentVariableW(L"ZARVO_SERVER_ARGS_FILE", nullptr);
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments,
              (std::vector<std::string>{"-dw", "-od", "D:\\R\xF6ntgen", "-aet", "AE", "11112"}));
    EXPECT_TRUE(pumpUntil(view(), [&] { return view().lineCount("SStatus") == 2; }));
    EXPECT_TRUE(
        std::regex_match(lastStatusLine(), std::regex(R"(\d\d\.\d\d\.\d\d Server gestartet)")))
        << lastStatusLine();

    click("Button1");
    EXPECT_TRUE(pumpUntil(view(), [&] { return view().lineCount("SStatus") == 3; }));
    EXPECT_TRUE(
        std::regex_match(lastStatusLine(), std::regex(R"(\d\d\.\d\d\.\d\d Server gestoppt)")))
        << lastStatusLine();
    EXPECT_EQ(dialogs_.stopFailures, 0);
}

TEST_F(WindowLifecycle, FailedWriteKeepsTheWindowOpenAndTheNextCloseTriesAgain) {
    makeWindow("-aet = OLD\r\n");
    ASSERT_TRUE(window_->open());
    view().setText("Edit1", "NEW");
    const auto settings = folder_.path() / L"Server.INI";
    const HANDLE held =
        CreateFileW(settings.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PostMessageW(view().handle(), WM_CLOSE, 0, 0);
    pumpUntil(view(), [&] { return !dialogs_.errors.empty(); });
    ASSERT_EQ(dialogs_.errors.size(), 1u);
    EXPECT_EQ(dialogs_.errors[0].rfind("Datei \"", 0), 0u) << dialogs_.errors[0];
    EXPECT_NE(view().handle(), nullptr);
    EXPECT_TRUE(IsWindowVisible(view().handle()));
    CloseHandle(held);

    PostMessageW(view().handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(pumpUntil(view(), [&] { return view().handle() == nullptr; }));
    EXPECT_NE(fileContent(settings).find("-aet = NEW\r\n"), std::string::npos);
}

// VeltronaCtl.exe writes the file while the window is open; the close keeps what it wrote
// where the user changed nothing, and the user's change where both did.
TEST_F(WindowLifecycle, CloseKeepsWhatVeltronaCtlWroteMeanwhile) {
    makeWindow("-aet = A\r\nPort = 11112\r\nFIFOMax = 5\r\n");
    ASSERT_TRUE(window_->open());
    SetWindowTextW(view().control("Edit1"), L"AB");
    const std::wstring ctl = std::filesystem::path(programFolder()).wstring() + L"VeltronaCtl.exe";
    std::wstring commandLine = L"\"" + ctl + L"\" --folder \"" + folder_.path().wstring() +
                               L"\" settings set Port=4343 aet=CTL FIFOMin=3";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(ctl.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started))
        << GetLastError();
    WaitForSingleObject(started.hProcess, 60000);
    DWORD exitCode = 1;
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    ASSERT_EQ(exitCode, 0u);

    PostMessageW(view().handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(pumpUntil(view(), [&] { return view().handle() == nullptr; }));
    EXPECT_EQ(fileContent(folder() / "Server.INI"),
              "#Server Settings\r\n\r\n-aet = AB\r\nPort = 4343\r\nFIFOMax = 5\r\n"
              "FIFOMin = 3\r\n-od = \r\n-db = \r\n");
}

TEST_F(WindowLifecycle, AWrongPasswordEndsWithoutShowingTheWindowOrWriting) {
    const std::string settings = "-aet = KEEP\r\nAdminPassword=geheim\r\n";
    dialogs_.passwordAnswer = "Geheim";
    makeWindow(settings);
    EXPECT_FALSE(window_->open());
    EXPECT_FALSE(IsWindowVisible(view().handle()));
    EXPECT_EQ(dialogs_.infos, std::vector<std::string>{"Wrong password entered!"});
    window_.reset();
    EXPECT_EQ(fileContent(folder() / "Server.INI"), settings);
}

// A file that another program writes is not read, and so never replaced: the window
// says so once and its close leaves the file as that program makes it.
TEST_F(WindowLifecycle, ASettingsFileThatAnotherProgramWritesIsNotReadNorReplaced) {
    struct Row {
        const char* name;
        DWORD access;
        const char* shown;
    };
    const Row rows[] = {
        {"held for reading", GENERIC_READ, "HELD"},
        {"held for writing", GENERIC_WRITE, ""},
    };
    const auto settings = folder_.path() / L"Server.INI";
    writeFile(settings, "-aet = HELD\r\n");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const HANDLE held =
            CreateFileW(settings.c_str(), row.access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        dialogs_.infos.clear();
        makeWindow();
        window_->form().FormCreate();
        EXPECT_EQ(view().text("Edit1"), row.shown);
        if (row.access == GENERIC_WRITE) {
            ASSERT_EQ(dialogs_.infos.size(), 1u);
            EXPECT_EQ(dialogs_.infos[0].rfind("Datei \"" + (folder() / "Server.INI").string() +
                                                  "\" kann nicht gelesen werden und bleibt "
                                                  "unver\u00e4ndert. ",
                                              0),
                      0u)
                << dialogs_.infos[0];
            EXPECT_TRUE(window_->form().FormClose());
        }
        window_.reset();
        CloseHandle(held);
        if (row.access == GENERIC_WRITE) {
            EXPECT_EQ(fileContent(settings), "-aet = HELD\r\n");
        }
    }
}

TEST_F(WindowLifecycle, ATranslationFileThatCannotBeOpenedIsNamedWithTheSystemsSeparators) {
    const auto custom = folder_.path().parent_path() / L"Custom.ini";
    ASSERT_FALSE(std::filesystem::exists(custom)) << "a translation is left in the temp folder";
    writeFile(custom, "[TServerAdminForm]\r\n");
    const HANDLE held = CreateFileW(custom.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    makeWindow();
    window_->form().FormCreate();
    window_.reset();
    CloseHandle(held);
    std::filesystem::remove(custom);
    ASSERT_FALSE(dialogs_.errors.empty());
    const std::string expected = "Datei " + folder().string() +
                                 "..\\Custom.ini kann nicht "
                                 "ge\u00f6ffnet werden. ";
    EXPECT_EQ(dialogs_.errors[0].rfind(expected, 0), 0u) << dialogs_.errors[0];
}

TEST_F(WindowLifecycle, TheProgramHasOneTaskbarButtonTitledWithTheApplication) {
    const StartedAdminProgram program(folder());
    ASSERT_TRUE(program.started());
    const HWND main = program.waitForWindow(L"Zarvo Server Einstellungen");
    ASSERT_NE(main, nullptr);
    // A button is the taskbar's for a visible window that no other owns and that is no tool
    // window; the main window is owned by the one that has it.
    std::vector<HWND> buttons;
    for (const HWND window : program.topLevelWindows()) {
        if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr &&
            (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
            buttons.push_back(window);
        }
    }
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(windowText(buttons[0]), L"Veltrona Administration");
    EXPECT_EQ(GetWindow(main, GW_OWNER), buttons[0]);
    // Pressing the button brings the main window forward.
    SetForegroundWindow(buttons[0]);
    Sleep(300);
    EXPECT_EQ(GetForegroundWindow(), main);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.waitForExit());
}

}  // namespace
}  // namespace veltrona::testing
