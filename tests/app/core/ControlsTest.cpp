// The rules between the settings controls: the exclusive transfer syntax and the days.
#include "CoreFixture.h"

namespace veltrona::app::testing {
namespace {

using Controls = CoreFormTest;

TEST_F(Controls, TransferSyntaxButtonsAreOneExclusiveGroup) {
    create();
    const char* names[] = {"RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5"};
    for (const char* chosen : names) {
        view->click(chosen);
        for (const char* other : names) {
            EXPECT_EQ(view->isChecked(other), std::string(other) == chosen)
                << chosen << " then " << other;
        }
    }
    // RadioButton1 sits alone in its panel and is not part of the group.
    view->click("RadioButton1");
    EXPECT_TRUE(view->isChecked("RadioButton1"));
    EXPECT_TRUE(view->isChecked("RadioButton5"));
}

TEST_F(Controls, CheckBox2EnablesTheDaysOnlyAfterItsFirstChange) {
    create();
    const auto days = [&](bool enabled) {
        for (const char* name : {"Label3", "Label7", "SpinEdit2"}) {
            EXPECT_EQ(view->isEnabled(name), enabled) << name;
        }
    };
    days(true);
    for (const bool checked : {true, false}) {
        view->click("CheckBox2");
        EXPECT_EQ(view->isChecked("CheckBox2"), checked);
        days(checked);
    }
}

}  // namespace
}  // namespace veltrona::app::testing
