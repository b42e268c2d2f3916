#pragma once

// What every window does with its controls, whichever toolkit draws it: one body of tests,
// instantiated for each window with a traits type:
//
//   struct Traits {
//       using Window = ...;                                  // a ui::FormWindow
//       static std::unique_ptr<Window> make(const ui::FormSpec& form);
//       static void click(Window& window, std::string_view control);  // as the user does
//       static void settle(Window& window);                 // lets queued events arrive
//       // What the window does beyond keeping its controls' state. A case that needs what
//       // a window does not do is skipped for it, and says so.
//       static constexpr bool kRoutesKeys;  // the keyboard reaches the focused control
//       static constexpr bool kLaysOut;     // controls stand somewhere on a screen
//       static constexpr bool kRunsTimers;  // timers tick by themselves
//       // With kRoutesKeys: keys pressed, characters typed and a text pasted as a user
//       // does, all reaching the control that has the focus.
//       static void focus(Window& window, std::string_view control);
//       static void pressKey(Window& window, contract::Key key);
//       static void type(Window& window, std::string_view characters);
//       static void paste(Window& window, std::string_view text);  // over the whole text
//       // With kLaysOut: the control's bounds in the window's client area.
//       static ui::Rect bounds(Window& window, std::string_view control);
//   };
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "config/text/TextEncoding.h"
#include "ui/FormBinder.h"
#include "ui/FormDescription.h"
#include "ui/FormWindow.h"
#include "ui/PromptGeometry.h"
#include "ui/UserDialogs.h"

namespace veltrona::ui::testing {

namespace contract {

using K = ControlKind;

constexpr auto make = &ui::control;

inline const FormSpec& form() {
    static const std::array<ControlSpec, 11> controls = [] {
        std::array<ControlSpec, 11> c{{
            make("Log", K::Memo, "", 8, 8, 200, 60, "one\ntwo", 0),
            make("Name", K::Edit, "", 8, 76, 120, 21, "", 2),  // Tab reaches it after "Count"
            make("Count", K::SpinEdit, "", 136, 76, 60, 22, "0", 1),
            make("Check", K::CheckBox, "", 8, 104, 120, 17, "Check", 3),
            make("Box", K::GroupBox, "", 8, 128, 200, 70, "Box", 4),
            make("A", K::RadioButton, "Box", 8, 16, 80, 17, "A", 0),
            make("B", K::RadioButton, "Box", 8, 36, 80, 17, "B", 1),
            make("Alone", K::RadioButton, "Box", 100, 16, 80, 17, "Alone", 2),
            make("Go", K::PushButton, "", 8, 206, 80, 25, "Go", 5),
            make("Caption", K::Label, "", 100, 210, 40, 13, "Caption", -1),
            make("Tick", K::Timer, "", 0, 0, 0, 0, "", -1),
        }};
        c[1].event = c[2].event = ControlEvent::Change;
        c[1].handler = "NameChange";
        c[2].handler = "CountChange";
        c[8].event = ControlEvent::Click;
        c[8].handler = "GoClick";
        c[10].event = ControlEvent::Tick;
        c[10].handler = "TickTimer";
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
                                 .onClose = "FormClose"};
    return design;
}

// The handlers the form names, and those of a window's creation and showing, each noting
// its name in `ran` when it runs; the close handler keeps the window open.
inline std::vector<FormHandler> notingHandlers(std::vector<std::string>& ran) {
    std::vector<FormHandler> handlers;
    for (const char* name : {"GoClick", "NameChange", "CountChange", "TickTimer", "FormClose",
                             "FormCreate", "FormShow"}) {
        handlers.push_back({name, [&ran, name] {
                                ran.emplace_back(name);
                                return std::string_view(name) != "FormClose";
                            }});
    }
    return handlers;
}

// The keys the cases press; the traits map them in this order.
enum class Key { Tab, ShiftTab, Up, Down, Left, Right, Space, Enter, KeypadEnter, Escape };

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
        binder = std::make_unique<FormBinder>(contract::form(), *window,
                                              contract::notingHandlers(ran), dialogs, nullptr);
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

    // How often the handler of that name ran.
    long runs(std::string_view handler) const {
        return std::count(ran.begin(), ran.end(), handler);
    }

    // Shown, with the focus put on `control`, for a case that presses keys.
    void focusAfterShowing(std::string_view control) {
        window->show();
        Traits::settle(*window);
        Traits::focus(*window, control);
    }
    // The focused control, then again after each of `presses` presses of `key`.
    std::vector<std::string> walk(contract::Key key, std::size_t presses) {
        std::vector<std::string> visited{window->focusedControl()};
        while (visited.size() <= presses) {
            Traits::pressKey(*window, key);
            visited.push_back(window->focusedControl());
        }
        return visited;
    }

    std::unique_ptr<typename Traits::Window> window;
    contract::NoDialogs dialogs;
    std::vector<std::string> ran;  // the handlers, in the order they ran
    std::unique_ptr<FormBinder> binder;
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
    EXPECT_EQ(this->ran, Lines());
}

TYPED_TEST_P(FormViewContract, AClickChecksWithinTheGroupAndRunsTheNamedHandler) {
    auto& w = *this->window;
    w.show();
    TypeParam::click(w, "A");
    TypeParam::click(w, "B");
    TypeParam::click(w, "B");  // a second click leaves it checked
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
    EXPECT_EQ(this->runs("GoClick"), 1);
}

TYPED_TEST_P(FormViewContract, ASpinEditHoldsWhatItIsGivenAndTheFocusStartsWhereTheFormSays) {
    auto& w = *this->window;
    EXPECT_EQ(w.text("Count"), "0");
    for (const char* value : {"-2147483648", "2147483647", "99999999999", "12abc", " 12", ""}) {
        w.setText("Count", value);
        EXPECT_EQ(w.text("Count"), value);
    }
    w.setText("Caption", "A longer caption");
    EXPECT_EQ(w.text("Caption"), "A longer caption");
    w.show();
    TypeParam::settle(w);
    EXPECT_EQ(w.focusedControl(), "Name");
}

TYPED_TEST_P(FormViewContract, EveryControlStandsInItsContainerWhereTheFormPutsIt) {
    if constexpr (!TypeParam::kLaysOut) {
        GTEST_SKIP() << "the window puts its controls on no screen";
    } else {
        for (const ControlSpec& design : contract::form().controls) {
            if (!isVisual(design.kind)) {
                continue;
            }
            SCOPED_TRACE(std::string(design.name));
            Rect designed{design.left, design.top, design.width, design.height};
            for (const ControlSpec* c = &design; !c->parent.empty();) {
                c = contract::form().find(c->parent);  // inside its container, wherever that is
                designed.left += c->left;
                designed.top += c->top;
            }
            const Rect bounds = TypeParam::bounds(*this->window, design.name);
            if (design.kind == ControlKind::Label) {  // fits its text from its designed corner
                designed.width = bounds.width;
                designed.height = bounds.height;
            }
            EXPECT_EQ(bounds, designed)
                << bounds.left << "," << bounds.top << " " << bounds.width << "x" << bounds.height;
            if (hasCaption(design.kind)) {
                EXPECT_EQ(this->window->text(design.name), design.caption);
            }
        }
    }
}

TYPED_TEST_P(FormViewContract, ATimerTicksFromTheMomentTheWindowIsMadeBeforeAnyHandler) {
    if constexpr (!TypeParam::kRunsTimers) {
        GTEST_SKIP() << "the window's timers tick when a test says";
    } else {
        std::vector<ControlSpec> controls(contract::form().controls.begin(),
                                          contract::form().controls.end());
        controls[10].enabled = true;
        controls[10].interval = 10;
        FormSpec ticking = contract::form();
        ticking.controls = controls;
        const auto window = TypeParam::make(ticking);
        FormBinder binder(ticking, *window, contract::notingHandlers(this->ran), this->dialogs,
                          nullptr);
        window->setEvents(&binder);  // neither created nor shown
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (this->runs("TickTimer") < 2 && std::chrono::steady_clock::now() < end) {
            TypeParam::settle(*window);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        window->setEvents(nullptr);
        EXPECT_GE(this->runs("TickTimer"), 2);
    }
}

TYPED_TEST_P(FormViewContract, TabWalksTheSequenceBothWaysAndChoosesNothing) {
    if constexpr (!TypeParam::kRoutesKeys) {
        GTEST_SKIP() << "the window routes no keys";
    } else {
        this->focusAfterShowing("Count");
        const Lines forward{"Count", "Name", "Check", "A", "B", "Alone", "Go"};
        EXPECT_EQ(this->walk(contract::Key::Tab, 6), forward);
        EXPECT_EQ(this->walk(contract::Key::ShiftTab, 6), Lines(forward.rbegin(), forward.rend()));
        for (const char* button : {"Check", "A", "B", "Alone"}) {
            EXPECT_FALSE(this->window->isChecked(button)) << button << ": passing chooses nothing";
        }
        EXPECT_EQ(this->ran, Lines());
    }
}

TYPED_TEST_P(FormViewContract, ArrowsMoveAndCheckRoundTheRadioGroupAlone) {
    if constexpr (!TypeParam::kRoutesKeys) {
        GTEST_SKIP() << "the window routes no keys";
    } else {
        using contract::Key;
        auto& w = *this->window;
        this->focusAfterShowing("A");
        TypeParam::pressKey(w, Key::Space);
        EXPECT_TRUE(w.isChecked("A"));
        // "Alone" follows in the tab order but belongs to no group: the arrows go round.
        EXPECT_EQ(this->walk(Key::Down, 2), Lines({"A", "B", "A"}));
        EXPECT_EQ(this->walk(Key::Up, 1), Lines({"A", "B"}));
        EXPECT_EQ(this->walk(Key::Right, 1), Lines({"B", "A"}));
        EXPECT_EQ(this->walk(Key::Left, 1), Lines({"A", "B"}));
        EXPECT_FALSE(w.isChecked("A"));  // each one reached is the group's checked one
        EXPECT_TRUE(w.isChecked("B"));
        EXPECT_FALSE(w.isChecked("Alone"));
    }
}

TYPED_TEST_P(FormViewContract, EnterPressesTheFocusedButtonOnlyAndEscapeClosesNothing) {
    if constexpr (!TypeParam::kRoutesKeys) {
        GTEST_SKIP() << "the window routes no keys";
    } else {
        using contract::Key;
        auto& w = *this->window;
        this->focusAfterShowing("Go");
        TypeParam::pressKey(w, Key::Enter);
        TypeParam::pressKey(w, Key::KeypadEnter);
        for (const char* name : {"Name", "Log", "Check"}) {
            TypeParam::focus(w, name);
            TypeParam::pressKey(w, Key::Enter);
            TypeParam::pressKey(w, Key::Escape);
        }
        EXPECT_FALSE(w.isChecked("Check"));
        // Away and back by Tab: the button that has the focus again is the one Enter presses.
        TypeParam::focus(w, "Go");
        this->walk(Key::Tab, 1);
        this->walk(Key::ShiftTab, 1);
        TypeParam::pressKey(w, Key::Enter);
        EXPECT_EQ(this->ran, Lines(3, "GoClick")) << "no close was asked";
    }
}

TYPED_TEST_P(FormViewContract, ASpinEditTakesDigitsWithAMinusInFrontAndStepsByOne) {
    if constexpr (!TypeParam::kRoutesKeys) {
        GTEST_SKIP() << "the window routes no keys";
    } else {
        using contract::Key;
        auto& w = *this->window;
        this->focusAfterShowing("Count");
        for (const auto& [typed, shown] : {std::pair{"12abc", "12"}, std::pair{"-", "-"},
                                           std::pair{"4-", "4"}, std::pair{"-1-2 x3", "-123"}}) {
            w.setText("Count", "");
            TypeParam::type(w, typed);
            EXPECT_EQ(w.text("Count"), shown) << typed;
        }
        TypeParam::paste(w, "7 days");
        EXPECT_EQ(w.text("Count"), "-123") << "a paste that is no number is refused";
        TypeParam::paste(w, "45");
        EXPECT_EQ(w.text("Count"), "45");
        for (const auto& [start, key, after] :
             {std::tuple{"41", Key::Up, "42"}, std::tuple{"-1", Key::Up, "0"},
              std::tuple{"0", Key::Down, "-1"}}) {
            w.setText("Count", start);
            TypeParam::pressKey(w, key);
            EXPECT_EQ(w.text("Count"), after) << start;
        }
        const std::string pasted(70000, 'x');  // nothing pasted is cut, however long
        TypeParam::focus(w, "Name");
        TypeParam::paste(w, pasted);
        EXPECT_EQ(w.text("Name"), pasted);
    }
}

TYPED_TEST_P(FormViewContract, TypingInAnEditOrSpinEditReportsEachChange) {
    if constexpr (!TypeParam::kRoutesKeys) {
        GTEST_SKIP() << "the window routes no keys";
    } else {
        auto& w = *this->window;
        this->focusAfterShowing("Name");
        w.setText("Name", "");
        w.setText("Count", "");
        this->ran.clear();
        TypeParam::type(w, "ab");
        TypeParam::focus(w, "Count");
        TypeParam::type(w, "1x2");  // the refused letter changes nothing
        TypeParam::settle(w);
        EXPECT_EQ(this->ran, Lines({"NameChange", "NameChange", "CountChange", "CountChange"}));
    }
}

REGISTER_TYPED_TEST_SUITE_P(FormViewContract, AMemoHoldsLinesEachEndedByABreak,
                            EveryAnsiCharacterComesBackFromEditsAndMemos,
                            EnablingAndCheckingChangeThatControlAloneAndRunNoHandler,
                            AClickChecksWithinTheGroupAndRunsTheNamedHandler,
                            ASpinEditHoldsWhatItIsGivenAndTheFocusStartsWhereTheFormSays,
                            EveryControlStandsInItsContainerWhereTheFormPutsIt,
                            ATimerTicksFromTheMomentTheWindowIsMadeBeforeAnyHandler,
                            TabWalksTheSequenceBothWaysAndChoosesNothing,
                            ArrowsMoveAndCheckRoundTheRadioGroupAlone,
                            EnterPressesTheFocusedButtonOnlyAndEscapeClosesNothing,
                            ASpinEditTakesDigitsWithAMinusInFrontAndStepsByOne,
                            TypingInAnEditOrSpinEditReportsEachChange);

}  // namespace veltrona::ui::testing
