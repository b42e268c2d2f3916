// The window as the form builds it, before any file is read.
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

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

TEST_F(Layout, StatusLogTextCanBeSelectedFromTheKeyboard) {
    create();
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto* log = control<QPlainTextEdit>("SStatus");
    log->setFocus();
    QTest::keyClick(log, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_TRUE(log->textCursor().hasSelection());
    EXPECT_TRUE(log->isReadOnly());
}

}  // namespace
}  // namespace veltrona::app::testing
