// The window's keyboard: Tab order, radio groups, Enter and Escape, typed on the keyboard.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Win32TestSupport.h"
#include "app/ServerAdminFormDescription.h"

namespace veltrona::testing {
namespace {

class KeyboardNavigation : public AdminWindowTest {
  protected:
    void SetUp() override {
        makeWindow();
        ASSERT_TRUE(window_->open());
        SetForegroundWindow(view().handle());
        pumpFor(view(), std::chrono::milliseconds(200));
    }

    std::string focused() {
        for (const ui::ControlSpec& control : app::serverAdminFormSpec().controls) {
            if (ui::isVisual(control.kind) && view().control(control.name) == GetFocus()) {
                return std::string(control.name);
            }
        }
        return "(other)";
    }

    void focus(const char* name) {
        SendMessageW(view().handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(view().control(name)),
                     TRUE);
    }
};

TEST_F(KeyboardNavigation, TabRunsThroughTheDicomSettingsInOrder) {
    EXPECT_EQ(focused(), "Button1");  // the window opens with the focus on its first control
    focus("Edit1");
    std::vector<std::string> visited;
    for (int i = 0; i < 8; ++i) {
        typeKey(view(), VK_TAB);
        visited.push_back(focused());
    }
    const std::vector<std::string> order = {"Edit2",        "Edit3",        "edDatabase",
                                            "RadioButton2", "RadioButton4", "RadioButton3",
                                            "RadioButton5", "Edit4"};
    EXPECT_EQ(visited, order);
    typeKey(view(), VK_TAB, true);
    EXPECT_EQ(focused(), "RadioButton5");
    // Passing through the group chooses nothing.
    for (const char* button : {"RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5"}) {
        EXPECT_FALSE(view().isChecked(button)) << button;
    }
}

TEST_F(KeyboardNavigation, ArrowsChooseWithinTheTransferSyntaxGroup) {
    focus("RadioButton2");
    typeKey(view(), VK_SPACE);
    EXPECT_TRUE(view().isChecked("RadioButton2"));
    typeKey(view(), VK_DOWN);
    EXPECT_EQ(focused(), "RadioButton4");
    EXPECT_TRUE(view().isChecked("RadioButton4"));
    EXPECT_FALSE(view().isChecked("RadioButton2"));
    typeKey(view(), VK_UP);
    typeKey(view(), VK_UP);
    EXPECT_EQ(focused(), "RadioButton5");  // the group wraps around
}

TEST_F(KeyboardNavigation, EnterPressesTheFocusedButtonOnlyAndEscapeClosesNothing) {
    typeKey(view(), VK_RETURN);  // on Button1: the stop finds no server
    EXPECT_EQ(dialogs_.infos, std::vector<std::string>{"Server läuft nicht"});
    for (const char* name : {"Edit1", "SStatus", "CheckBox1"}) {
        SCOPED_TRACE(name);
        focus(name);
        typeKey(view(), VK_RETURN);
        typeKey(view(), VK_ESCAPE);
        EXPECT_TRUE(IsWindowVisible(view().handle()));
    }
    focus("Button1");
    typeKey(view(), VK_TAB);
    typeKey(view(), VK_TAB, true);
    typeKey(view(), VK_RETURN);
    EXPECT_EQ(dialogs_.infos.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(folder() / "Server.ini"));  // the close never ran
}

}  // namespace
}  // namespace veltrona::testing
