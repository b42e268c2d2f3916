// The window as the form builds it, before any file is read.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <string>
#include <vector>

#include "FormFixture.h"

namespace veltrona::app::testing {
namespace {

using Layout = FormTest;

TEST_F(Layout, WindowIsAFixedSizeDialogWithItsCaption) {
    build();
    EXPECT_EQ(form->objectName(), "ServerAdminForm");
    EXPECT_EQ(form->windowTitle(), "Zarvo Server Einstellungen");
    EXPECT_EQ(form->size(), QSize(485, 432));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(control<QLabel>("Label1")->font().bold());
}

TEST_F(Layout, EveryControlSitsInItsContainerWithTheDesignedBoundsAndCaption) {
    build();
    const ui::FormSpec& design = serverAdminFormSpec();
    for (const ui::ControlSpec& c : design.controls) {
        if (!ui::isVisual(c.kind)) {
            continue;
        }
        QWidget* widget = control<QWidget>(std::string(c.name).c_str());
        ASSERT_NE(widget, nullptr) << c.name;
        const std::string parent(c.parent.empty() ? design.name : c.parent);
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), parent) << c.name;
        if (ui::hasCaption(c.kind)) {
            EXPECT_EQ(form->text(c.name), c.caption) << c.name;
        }
        if (c.kind != ui::ControlKind::Label) {  // labels fit their text
            EXPECT_EQ(widget->geometry(), QRect(c.left, c.top, c.width, c.height)) << c.name;
        }
    }
}

TEST_F(Layout, InitialStateIsEmptyUncheckedAndPartlyDisabled) {
    build();
    for (const char* edit : {"Edit1", "Edit2", "Edit3", "Edit4", "edDatabase"}) {
        EXPECT_TRUE(text(edit).isEmpty()) << edit;
    }
    for (const char* spin : {"SpinEdit1", "SpinEdit2", "SpinEdit3"}) {
        EXPECT_EQ(control<QSpinBox>(spin)->value(), 0) << spin;
        // No bounds: any 32-bit integer is accepted.
        EXPECT_EQ(control<QSpinBox>(spin)->minimum(), INT_MIN) << spin;
        EXPECT_EQ(control<QSpinBox>(spin)->maximum(), INT_MAX) << spin;
    }
    for (const char* button :
         {"RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5"}) {
        EXPECT_FALSE(control<QRadioButton>(button)->isChecked()) << button;
    }
    EXPECT_FALSE(control<QCheckBox>("CheckBox1")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("CheckBox2")->isChecked());
    for (const char* disabled : {"RadioButton1", "SpinEdit1", "SpinEdit3"}) {
        EXPECT_FALSE(control<QWidget>(disabled)->isEnabled()) << disabled;
    }
    for (const char* enabled : {"Label3", "Label7", "SpinEdit2", "RadioButton2"}) {
        EXPECT_TRUE(control<QWidget>(enabled)->isEnabled()) << enabled;
    }
    EXPECT_TRUE(control<QPlainTextEdit>("SStatus")->isReadOnly());
    EXPECT_TRUE(control<QPlainTextEdit>("SStatus")->toPlainText().isEmpty());
    EXPECT_EQ(form->pollingTimer()->objectName(), "Timer1");
    EXPECT_EQ(form->pollingTimer()->interval(), 1000);
}

TEST_F(Layout, TimerIsArmedBeforeStartUp) {
    QtAdminWindow armed({processes, dialogs, clock, germanTimeFormat, programFolder});
    EXPECT_TRUE(armed.pollingTimer()->isActive());
}

TEST_F(Layout, CatalogueHoldsNineWholeLinesAndStaysHidden) {
    build();
    form->show();
    EXPECT_FALSE(control<QWidget>("ServerMessage")->isVisible());
    // Whole logical lines, however narrow the memo wraps them on screen.
    EXPECT_EQ(form->lineCount("ServerMessage"), 9);
    EXPECT_EQ(form->line("ServerMessage", 5), "Server konnte nicht gestartet werden");
}

TEST_F(Layout, CaptionsFitTheButtonsTheFormGivesThem) {
    build();
    for (const char* name : {"RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5",
                             "CheckBox1", "CheckBox2"}) {
        auto* button = control<QAbstractButton>(name);
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QStyle::SubElement contents = qobject_cast<QRadioButton*>(button)
                                                ? QStyle::SE_RadioButtonContents
                                                : QStyle::SE_CheckBoxContents;
        const QRect room = button->style()->subElementRect(contents, &option, button);
        EXPECT_GE(room.width(), button->fontMetrics().horizontalAdvance(button->text())) << name;
    }
}

TEST_F(Layout, TabOrderInsideTheDicomGroup) {
    build();
    QStringList order;
    QWidget* widget = control<QWidget>("Edit1");
    do {
        if (widget->parentWidget() && widget->parentWidget()->objectName() == "GroupBox2" &&
            (widget->focusPolicy() & Qt::TabFocus)) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != control<QWidget>("Edit1"));
    EXPECT_EQ(order, QStringList({"Edit1", "Edit2", "Edit3", "edDatabase", "RadioButton2",
                                  "RadioButton4", "RadioButton3", "RadioButton5", "Edit4"}));
}

TEST_F(Layout, ClicksOnCheckBox2AndTheRadioButtonsReachTheForm) {
    build();
    form->show();
    const auto click = [&](const char* name) {
        auto* button = control<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
    };
    click("CheckBox2");
    click("CheckBox2");
    EXPECT_FALSE(control<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_FALSE(control<QWidget>("SpinEdit2")->isEnabled());

    click("RadioButton3");
    click("RadioButton3");  // a second click leaves it checked
    EXPECT_TRUE(control<QRadioButton>("RadioButton3")->isChecked());
    click("RadioButton2");
    EXPECT_FALSE(control<QRadioButton>("RadioButton3")->isChecked());
    control<QRadioButton>("RadioButton1")->setEnabled(true);
    click("RadioButton1");
    EXPECT_TRUE(control<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("RadioButton2")->isChecked());
}

// The window driven by real key presses, as an administrator without a mouse would.
class Keyboard : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        create();
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    std::string focused() const {
        QWidget* widget = QApplication::focusWidget();
        return widget ? widget->objectName().toStdString() : std::string();
    }
    std::vector<std::string> walk(int presses, Qt::KeyboardModifiers modifiers) {
        std::vector<std::string> visited{focused()};
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            visited.push_back(focused());
        }
        return visited;
    }
};

TEST_F(Keyboard, OpensOnTheFirstControlOfTheTabOrder) {
    EXPECT_EQ(focused(), "Button1");
}

TEST_F(Keyboard, TabRunsThroughTheDicomSettingsInOrder) {
    const std::vector<std::string> forward = {"Edit1",        "Edit2",        "Edit3",
                                              "edDatabase",   "RadioButton2", "RadioButton4",
                                              "RadioButton3", "RadioButton5", "Edit4"};
    control<QWidget>("Edit1")->setFocus();
    EXPECT_EQ(walk(8, Qt::NoModifier), forward);
    const std::vector<std::string> backward(forward.rbegin(), forward.rend());
    EXPECT_EQ(walk(8, Qt::ShiftModifier), backward);
}

TEST_F(Keyboard, EnterPressesTheFocusedButton) {
    control<QWidget>("Button2")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(processes.launches.size(), 1u);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    EXPECT_EQ(processes.launches.size(), 2u);
}

TEST_F(Keyboard, ArrowsMoveThroughTheTransferSyntaxesAndCheckThem) {
    control<QWidget>("RadioButton2")->setFocus();
    const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
    press(Qt::Key_Down);
    EXPECT_EQ(focused(), "RadioButton4");
    press(Qt::Key_Right);
    press(Qt::Key_Down);
    EXPECT_EQ(focused(), "RadioButton5");
    press(Qt::Key_Down);  // round to the first
    press(Qt::Key_Up);
    EXPECT_EQ(focused(), "RadioButton5");
    for (const char* name : {"RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5"}) {
        EXPECT_EQ(control<QRadioButton>(name)->isChecked(), std::string(name) == "RadioButton5")
            << name;
    }
}

TEST_F(Keyboard, StatusLogTextCanBeSelectedFromTheKeyboard) {
    auto* log = control<QPlainTextEdit>("SStatus");
    log->setFocus();
    QTest::keyClick(log, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_TRUE(log->textCursor().hasSelection());
    EXPECT_TRUE(log->isReadOnly());
}

}  // namespace
}  // namespace veltrona::app::testing
