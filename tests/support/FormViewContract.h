#pragma once

// What every window does with its controls, whichever toolkit draws it: one body of tests,
// instantiated for each window with a traits type:
//
//   struct Traits {
//       using Window = ...;                                  // a ui::FormWindow
//       static std::unique_ptr<Window> make(const ui::FormSpec& form);
//       static void click(Window& window, std::string_view control);  // as the user does
//       static void settle(Window& window);                 // lets queued events arrive
//   };
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/text/TextEncoding.h"
#include "ui/FormBinder.h"
#include "ui/FormDescription.h"
#include "ui/FormWindow.h"
#include "ui/UserDialogs.h"

namespace veltrona::ui::testing {

namespace contract {

using K = ControlKind;

constexpr auto make = &ui::control;

inline const FormSpec& form() {
    static const std::array<ControlSpec, 11> controls = [] {
        std::array<ControlSpec, 11> c{{
            make("Log", K::Memo, "", 8, 8, 200, 60, "one\ntwo", 0),
            make("Name", K::Edit, "", 8, 76, 120, 21, "", 1),
            make("Count", K::SpinEdit, "", 136, 76, 60, 22, "0", 2),
            make("Check", K::CheckBox, "", 8, 104, 120, 17, "Check", 3),
            make("Box", K::GroupBox, "", 8, 128, 200, 70, "Box", 4),
            make("A", K::RadioButton, "Box", 8, 16, 80, 17, "A", 0),
            make("B", K::RadioButton, "Box", 8, 36, 80, 17, "B", 1),
            make("Alone", K::RadioButton, "Box", 100, 16, 80, 17, "Alone", 2),
            make("Go", K::PushButton, "", 8, 206, 80, 25, "Go", 5),
            make("Caption", K::Label, "", 100, 210, 40, 13, "Caption", -1),
            make("Tick", K::Timer, "", 0, 0, 0, 0, "", -1),
        }};
        c[8].event = ControlEvent::Click;
        c[8].handler = "GoClick";
        c[10].enabled = false;  // no tick while the tests run
        return c;
    }();
    static constexpr std::array<std::string_view, 2> choice{"A", "B"};
    static const std::array<RadioGroup, 1> groups{{{"Choice", choice}}};
    static const FormSpec design{.name = "Contract",
                                 .caption = "Contract",
                                 .left = 40,
                                 .top = 40,
                                 .clientWidth = 220,
                                 .clientHeight = 240,
                                 .fontFamily = "MS Sans Serif",
                                 .fontPointSize = 8,
                                 .controls = controls,
                                 .radioGroups = groups,
                                 .firstFocus = "Name",
                                 .onCreate = {},
                                 .onShow = {},
                                 .onClose = {}};
    return design;
}

class NoDialogs : public UserDialogs {
  public:
    void showInfo(const std::string&) override {}
    bool passwordQuery(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    void showError(const std::string& message) override { errors.push_back(message); }
    void showStopFailure(const std::string&) override {}
    std::vector<std::string> errors;
};

}  // namespace contract

template <typename Traits>
class FormViewContract : public ::testing::Test {
  protected:
    void SetUp() override {
        window = Traits::make(contract::form());
        binder = std::make_unique<FormBinder>(
            contract::form(), *window,
            std::vector<FormHandler>{{"GoClick", [this] { return ++goClicks, true; }}}, dialogs,
            nullptr);
        window->setEvents(binder.get());
    }
    void TearDown() override {
        window->setEvents(nullptr);
        EXPECT_EQ(dialogs.errors, std::vector<std::string>());
    }

    std::vector<std::string> lines(std::string_view memo) const {
        std::vector<std::string> all;
        for (int i = 0; i < window->lineCount(memo); ++i) {
            all.push_back(window->line(memo, i));
        }
        return all;
    }

    std::unique_ptr<typename Traits::Window> window;
    contract::NoDialogs dialogs;
    std::unique_ptr<FormBinder> binder;
    int goClicks = 0;
};

TYPED_TEST_SUITE_P(FormViewContract);

using Lines = std::vector<std::string>;

TYPED_TEST_P(FormViewContract, AMemoHoldsLinesEachEndedByABreak) {
    auto& w = *this->window;
    EXPECT_EQ(this->lines("Log"), Lines({"one", "two"}));
    w.appendLine("Log", "three");
    w.setLine("Log", 2, "");  // an emptied last line stays a line
    EXPECT_EQ(this->lines("Log"), Lines({"one", "two", ""}));
    EXPECT_EQ(w.text("Log"), "one\ntwo\n\n");
    w.appendLine("Log", "four");
    EXPECT_EQ(this->lines("Log"), Lines({"one", "two", "", "four"}));
    EXPECT_THROW(w.line("Log", 4), std::out_of_range);
    EXPECT_THROW(w.setLine("Log", -1, "x"), std::out_of_range);

    w.setText("Log", "a\n\n");
    EXPECT_EQ(this->lines("Log"), Lines({"a", ""}));
    w.setText("Log", "a\nb");
    EXPECT_EQ(this->lines("Log"), Lines({"a", "b"}));
    w.setText("Log", "");
    EXPECT_EQ(w.lineCount("Log"), 0);
    w.appendLine("Log", "");
    EXPECT_EQ(this->lines("Log"), Lines({""}));
    EXPECT_THROW(w.lineCount("Name"), std::out_of_range);
}

TYPED_TEST_P(FormViewContract, EveryAnsiCharacterComesBackFromEditsAndMemos) {
    // Windows-1252 maps each byte to a character; NUL ends a control's text in the
    // system's controls, so no setting carries it into a window.
    auto& w = *this->window;
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        const std::string character = config::toUtf8(std::string(1, static_cast<char>(byte)),
                                                     config::TextEncoding::Windows1252);
        if (byte != '\n' && byte != '\r') {
            all += character;
        }
    }
    for (const char* control : {"Name", "Count"}) {
        w.setText(control, all);
        EXPECT_EQ(w.text(control), all) << control;
    }
    w.setText("Log", "");
    w.appendLine("Log", all);
    w.appendLine("Log", "x");
    w.setLine("Log", 1, all);
    EXPECT_EQ(this->lines("Log"), Lines({all, all}));
}

TYPED_TEST_P(FormViewContract, EnablingAndCheckingChangeThatControlAloneAndRunNoHandler) {
    auto& w = *this->window;
    for (const char* control : {"Name", "Count", "Go", "A", "Check"}) {
        EXPECT_TRUE(w.isEnabled(control)) << control;
        w.setEnabled(control, false);
        EXPECT_FALSE(w.isEnabled(control)) << control;
        w.setEnabled(control, true);
        EXPECT_TRUE(w.isEnabled(control)) << control;
    }
    w.setChecked("A", true);
    w.setChecked("B", true);  // no sibling is unchecked by the window
    w.setChecked("Check", true);
    TypeParam::settle(w);
    EXPECT_TRUE(w.isChecked("A"));
    EXPECT_TRUE(w.isChecked("B"));
    EXPECT_TRUE(w.isChecked("Check"));
    w.setChecked("A", false);
    EXPECT_FALSE(w.isChecked("A"));
    EXPECT_FALSE(w.isChecked("Go"));
    EXPECT_THROW(w.isEnabled("Nothing"), std::out_of_range);
    EXPECT_EQ(this->goClicks, 0);
}

TYPED_TEST_P(FormViewContract, AClickChecksWithinTheGroupAndRunsTheNamedHandler) {
    auto& w = *this->window;
    w.show();
    TypeParam::click(w, "A");
    TypeParam::click(w, "B");
    TypeParam::settle(w);
    EXPECT_FALSE(w.isChecked("A"));
    EXPECT_TRUE(w.isChecked("B"));
    TypeParam::click(w, "Alone");  // in no group: the others stay as they are
    TypeParam::click(w, "Check");
    TypeParam::settle(w);
    EXPECT_TRUE(w.isChecked("Alone"));
    EXPECT_TRUE(w.isChecked("B"));
    EXPECT_TRUE(w.isChecked("Check"));
    TypeParam::click(w, "Go");
    TypeParam::settle(w);
    EXPECT_EQ(this->goClicks, 1);
}

TYPED_TEST_P(FormViewContract, ASpinEditHoldsWhatItIsGivenAndTheFocusStartsWhereTheFormSays) {
    auto& w = *this->window;
    EXPECT_EQ(w.text("Count"), "0");
    for (const char* value : {"-2147483648", "2147483647", "12abc", ""}) {
        w.setText("Count", value);
        EXPECT_EQ(w.text("Count"), value);
    }
    w.setText("Caption", "A longer caption");
    EXPECT_EQ(w.text("Caption"), "A longer caption");
    w.show();
    TypeParam::settle(w);
    EXPECT_EQ(w.focusedControl(), "Name");
}

REGISTER_TYPED_TEST_SUITE_P(FormViewContract, AMemoHoldsLinesEachEndedByABreak,
                            EveryAnsiCharacterComesBackFromEditsAndMemos,
                            EnablingAndCheckingChangeThatControlAloneAndRunNoHandler,
                            AClickChecksWithinTheGroupAndRunsTheNamedHandler,
                            ASpinEditHoldsWhatItIsGivenAndTheFocusStartsWhereTheFormSays);

}  // namespace veltrona::ui::testing
