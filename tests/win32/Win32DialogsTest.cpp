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

// A window that owns the dialogs, as the main window does.
class Owner {
  public:
    Owner()
        : window_(CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPED | WS_VISIBLE, 50, 50, 200,
                                  100, nullptr, nullptr, nullptr, nullptr)) {}
    ~Owner() { DestroyWindow(window_); }
    HWND handle() const { return window_; }

  private:
    HWND window_;
};

class Win32Dialogs : public ::testing::Test {
  protected:
    Win32Dialogs() { dialogs_.setOwner(owner_.handle()); }
    Owner owner_;
    ui::Win32UserDialogs dialogs_{"Veltrona Administration", "MS Sans Serif", 8};
};

TEST_F(Win32Dialogs, PromptIsLaidOutToThePixel) {
    struct Row {
        const char* name;
        std::string prompt;
        int labelLines;
    };
    // With the window font X = 6 and Y = 13: client 270 wide, the label at 12,13 and at
    // most 246 wide, the field at 12,31, 246 x 21; the buttons 75 x 23, OK at 57, Cancel
    // at 138, 15 below the field; 13 below them. A longer prompt wraps, and everything
    // under it moves down by the added lines.
    const Row rows[] = {
        {"one line", "Enter password:", 1},
        {"wrapped", "Enter the password that the settings file holds for this server:", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int extra = 13 * (row.labelLines - 1);
        RECT client{}, frame{};
        Rect label, field, ok, cancel;
        bool labelFits = false;
        {
            WhenWindowOpens prompt(L"VeltronaPasswordPrompt", [&](HWND dialog) {
                GetClientRect(dialog, &client);
                GetWindowRect(dialog, &frame);
                label = boundsIn(GetDlgItem(dialog, ui::kPromptLabelId), dialog);
                field = boundsIn(GetDlgItem(dialog, ui::kPromptFieldId), dialog);
                ok = boundsIn(GetDlgItem(dialog, IDOK), dialog);
                cancel = boundsIn(GetDlgItem(dialog, IDCANCEL), dialog);
                labelFits = label.width > 0 && label.width <= 246;
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            });
            std::string value;
            dialogs_.passwordQuery("Login required", row.prompt, value);
        }
        EXPECT_EQ(client.right, 270);
        EXPECT_EQ(client.bottom, 103 + extra);
        EXPECT_EQ(label.left, 12);
        EXPECT_EQ(label.top, 13);
        EXPECT_EQ(label.height, 13 * row.labelLines);
        EXPECT_TRUE(labelFits) << label.width;
        EXPECT_EQ(field, (Rect{12, 31 + extra, 246, 21}));
        EXPECT_EQ(ok, (Rect{57, 67 + extra, 75, 23}));
        EXPECT_EQ(cancel, (Rect{138, 67 + extra, 75, 23}));
        // Centred on the screen with its frame.
        EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
        EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);
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
    const Row rows[] = {
        {"Enter", L"neu", key(VK_RETURN), true, "neu"},
        {"OK with an empty field", L"\b",
         [](HWND d, HWND) { PostMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, true, ""},
        {"typing stops at 255", std::wstring(300, L'x'), key(VK_RETURN), true,
         std::string(255, 'x')},
        {"Escape", L"neu", key(VK_ESCAPE), false, "alt"},
        {"Cancel", L"neu",
         [](HWND d, HWND) { PostMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }, false, "alt"},
        {"close box", L"neu", [](HWND d, HWND) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
         false, "alt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        wchar_t mask = 0;
        DWORD selectionStart = 1, selectionEnd = 0;
        bool fieldFocused = false, okIsDefault = false, ownerDisabled = false;
        std::wstring caption, prompt;
        std::string value = "alt";
        bool result = false;
        {
            WhenWindowOpens watcher(L"VeltronaPasswordPrompt", [&](HWND dialog) {
                const HWND field = GetDlgItem(dialog, ui::kPromptFieldId);
                caption = windowText(dialog);
                prompt = windowText(GetDlgItem(dialog, ui::kPromptLabelId));
                mask = static_cast<wchar_t>(SendMessageW(field, EM_GETPASSWORDCHAR, 0, 0));
                SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                             reinterpret_cast<LPARAM>(&selectionEnd));
                GUITHREADINFO gui{};
                gui.cbSize = sizeof gui;
                GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
                fieldFocused = gui.hwndFocus == field;
                okIsDefault = (GetWindowLongW(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK) ==
                              BS_DEFPUSHBUTTON;
                ownerDisabled = !IsWindowEnabled(owner_.handle());
                for (const wchar_t c : row.typed) {
                    PostMessageW(field, WM_CHAR, c, 0);
                }
                row.close(dialog, field);
            });
            result = dialogs_.passwordQuery("Login required", "Enter password:", value);
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(value, row.value);
        EXPECT_EQ(caption, L"Login required");
        EXPECT_EQ(prompt, L"Enter password:");
        EXPECT_EQ(mask, L'*');
        EXPECT_EQ(selectionStart, 0u);  // "alt" wholly selected: the first key replaces it
        EXPECT_EQ(selectionEnd, 3u);
        EXPECT_TRUE(fieldFocused);
        EXPECT_TRUE(okIsDefault);
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(owner_.handle()));
        EXPECT_EQ(FindWindowA(ui::kPasswordPromptClass, nullptr), nullptr);  // destroyed
    }
}

TEST_F(Win32Dialogs, MessageBoxesCarryTheirCaptionIconAndOwner) {
    struct Row {
        const char* name;
        std::function<void()> show;
        std::wstring caption, text;
        bool icon;
    };
    const Row rows[] = {
        {"information", [&] { dialogs_.showInfo("Server läuft nicht"); }, L"Information",
         L"Server läuft nicht", false},
        {"empty information", [&] { dialogs_.showInfo(""); }, L"Information", L"", false},
        {"error", [&] { dialogs_.showError("'10 MB' ist kein gültiger Integerwert."); },
         L"Veltrona Administration", L"'10 MB' ist kein gültiger Integerwert.", true},
        {"stop failure", [&] { dialogs_.showStopFailure(); }, L"Information",
         L"Server cannot be stopped, access denied", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring caption, text;
        bool icon = false, cancel = true;
        HWND owner = nullptr;
        {
            WhenWindowOpens box(L"#32770", [&](HWND dialog) {
                caption = windowText(dialog);
                text = windowText(GetDlgItem(dialog, kMessageBoxText));
                const HWND iconControl = GetDlgItem(dialog, kMessageBoxIcon);
                icon = iconControl != nullptr && SendMessageW(iconControl, STM_GETICON, 0, 0) != 0;
                cancel = GetDlgItem(dialog, IDCANCEL) != nullptr;
                owner = GetWindow(dialog, GW_OWNER);
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            });
            row.show();
        }
        EXPECT_EQ(caption, row.caption);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(icon, row.icon);
        EXPECT_FALSE(cancel);
        EXPECT_EQ(owner, owner_.handle());
    }
}

}  // namespace
}  // namespace veltrona::testing
