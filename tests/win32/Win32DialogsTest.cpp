// The message boxes and the password prompt, as they open on the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Win32TestSupport.h"
#include "ui/win32/PasswordPrompt.h"
#include "ui/win32/Win32UserDialogs.h"

namespace veltrona::testing {
namespace {

using ui::Rect;

constexpr int kMessageBoxText = 0xFFFF;  // the text's control in the system's message box
constexpr int kMessageBoxIcon = 0x0440;

// The dialogs are owned by a window, as by the main window.
class Win32Dialogs : public ::testing::Test {
  protected:
    Win32Dialogs() { dialogs_.setOwner(owner_); }
    ~Win32Dialogs() override { DestroyWindow(owner_); }
    HWND owner_ = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPED | WS_VISIBLE, 50, 50, 200,
                                  100, nullptr, nullptr, nullptr, nullptr);
    ui::Win32UserDialogs dialogs_{"Veltrona Administration", "MS Sans Serif", 8};
};

// Checks in the watchers run on their thread, while the dialog is open; each names its row.
TEST_F(Win32Dialogs, PromptIsLaidOutToThePixel) {
    // With the window font X = 6 and Y = 13: client 270 wide, the label at 12,13 and at
    // most 246 wide, the field at 12,31, 246 x 21; the buttons 75 x 23, OK at 57, Cancel
    // at 138, 15 below the field; 13 below them. A longer prompt wraps, and everything
    // under it moves down by the added lines.
    const std::pair<std::string, int> rows[] = {
        {"Enter password:", 1},
        {"Enter the password that the settings file holds for this server:", 2},
    };
    for (const auto& [prompt, lines] : rows) {
        const int extra = 13 * (lines - 1);
        WhenWindowOpens watcher(L"VeltronaPasswordPrompt", [&](HWND dialog) {
            RECT client, frame;
            GetClientRect(dialog, &client);
            GetWindowRect(dialog, &frame);
            EXPECT_EQ(client.right, 270) << prompt;
            EXPECT_EQ(client.bottom, 103 + extra) << prompt;
            const Rect label = boundsIn(GetDlgItem(dialog, ui::kPromptLabelId), dialog);
            EXPECT_EQ(label.left, 12) << prompt;
            EXPECT_EQ(label.top, 13) << prompt;
            EXPECT_EQ(label.height, 13 * lines) << prompt;
            EXPECT_TRUE(label.width > 0 && label.width <= 246) << label.width;
            EXPECT_EQ(boundsIn(GetDlgItem(dialog, ui::kPromptFieldId), dialog),
                      (Rect{12, 31 + extra, 246, 21}))
                << prompt;
            EXPECT_EQ(boundsIn(GetDlgItem(dialog, IDOK), dialog), (Rect{57, 67 + extra, 75, 23}));
            EXPECT_EQ(boundsIn(GetDlgItem(dialog, IDCANCEL), dialog),
                      (Rect{138, 67 + extra, 75, 23}));
            // Centred on the screen with its frame.
            EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
            EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        std::string value;
        dialogs_.passwordQuery("Login required", prompt, value);
    }
}

TEST_F(Win32Dialogs, PromptMasksSelectsLimitsAndAnswers) {
    struct Row {
        const char* name;
        std::wstring typed;
        std::function<void(HWND dialog, HWND field)> close;
        bool result;
        std::string value;
    };
    const auto key = [](WPARAM vk) {
        return [vk](HWND, HWND field) { PostMessageW(field, WM_KEYDOWN, vk, 0); };
    };
    const auto click = [](int button) {
        return [button](HWND d, HWND) { PostMessageW(GetDlgItem(d, button), BM_CLICK, 0, 0); };
    };
    const Row rows[] = {
        {"Enter", L"neu", key(VK_RETURN), true, "neu"},
        {"OK with an empty field", L"\b", click(IDOK), true, ""},
        {"typing stops at 255", std::wstring(300, L'x'), key(VK_RETURN), true,
         std::string(255, 'x')},
        {"Escape", L"neu", key(VK_ESCAPE), false, "alt"},
        {"Cancel", L"neu", click(IDCANCEL), false, "alt"},
        {"close box", L"neu", [](HWND d, HWND) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
         false, "alt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string value = "alt";
        bool result = false;
        {
            WhenWindowOpens watcher(L"VeltronaPasswordPrompt", [&](HWND dialog) {
                const HWND field = GetDlgItem(dialog, ui::kPromptFieldId);
                EXPECT_EQ(windowText(dialog), L"Login required");
                EXPECT_EQ(windowText(GetDlgItem(dialog, ui::kPromptLabelId)), L"Enter password:");
                EXPECT_EQ(SendMessageW(field, EM_GETPASSWORDCHAR, 0, 0), L'*');
                // "alt" wholly selected, so that the first key typed replaces it.
                EXPECT_EQ(SendMessageW(field, EM_GETSEL, 0, 0), MAKELRESULT(0, 3));
                GUITHREADINFO gui{};
                gui.cbSize = sizeof gui;
                GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
                EXPECT_EQ(gui.hwndFocus, field);
                EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK,
                          BS_DEFPUSHBUTTON);
                EXPECT_FALSE(IsWindowEnabled(owner_));
                for (const wchar_t c : row.typed) {
                    PostMessageW(field, WM_CHAR, c, 0);
                }
                row.close(dialog, field);
            });
            result = dialogs_.passwordQuery("Login required", "Enter password:", value);
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(value, row.value);
        EXPECT_TRUE(IsWindowEnabled(owner_));
        EXPECT_EQ(FindWindowA(ui::kPasswordPromptClass, nullptr), nullptr);  // destroyed
    }
}

TEST_F(Win32Dialogs, MessageBoxesCarryTheirCaptionIconAndOwner) {
    struct Row {
        std::function<void()> show;
        std::wstring caption, text;
        bool icon;
    };
    const Row rows[] = {
        {[&] { dialogs_.showInfo("Server läuft nicht"); }, L"Information", L"Server läuft nicht",
         false},
        {[&] { dialogs_.showInfo(""); }, L"Information", L"", false},
        {[&] { dialogs_.showError("'10 MB' ist kein gültiger Integerwert."); },
         L"Veltrona Administration", L"'10 MB' ist kein gültiger Integerwert.", true},
        {[&] { dialogs_.showStopFailure("Server cannot be stopped, access denied"); },
         L"Information", L"Server cannot be stopped, access denied", true},
    };
    for (const Row& row : rows) {
        WhenWindowOpens box(L"#32770", [&](HWND dialog) {
            const std::string name(row.text.begin(), row.text.end());
            EXPECT_EQ(windowText(dialog), row.caption) << name;
            EXPECT_EQ(windowText(GetDlgItem(dialog, kMessageBoxText)), row.text);
            const HWND icon = GetDlgItem(dialog, kMessageBoxIcon);
            EXPECT_EQ(icon != nullptr && SendMessageW(icon, STM_GETICON, 0, 0) != 0, row.icon)
                << name;
            EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), nullptr) << name;  // OK alone
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner_) << name;
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        row.show();
    }
}

}  // namespace
}  // namespace veltrona::testing
