#include "ui/PasswordQuery.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <functional>

#include "ModalDriver.h"
#include "ui/PromptGeometry.h"

namespace veltrona::ui {
namespace {

using testing::whenModalOpens;

struct Prompt {
    QDialog* dialog = nullptr;
    QLabel* label = nullptr;
    QLineEdit* field = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

Prompt partsOf(QWidget* modal) {
    Prompt p;
    p.dialog = qobject_cast<QDialog*>(modal);
    if (p.dialog == nullptr) {
        ADD_FAILURE() << "the modal widget is no dialog";
        return p;
    }
    p.label = p.dialog->findChild<QLabel*>(kPromptLabelName);
    p.field = p.dialog->findChild<QLineEdit*>(kPasswordFieldName);
    p.ok = p.dialog->findChild<QPushButton*>(kOkButtonName);
    p.cancel = p.dialog->findChild<QPushButton*>(kCancelButtonName);
    EXPECT_TRUE(p.label && p.field && p.ok && p.cancel) << "a control of the prompt is missing";
    return p;
}

// Opens the prompt, lets `drive` act on it once it is up, and returns what the call
// returned; `dialogGone` tells whether the dialog was destroyed by the time it returned.
bool runPrompt(const QString& prompt, QString& value, std::function<void(Prompt&)> drive,
               bool* dialogGone = nullptr) {
    QPointer<QWidget> opened;
    whenModalOpens([&](QWidget* modal) {
        opened = modal;
        Prompt p = partsOf(modal);
        if (p.dialog == nullptr || p.field == nullptr || p.ok == nullptr || p.cancel == nullptr) {
            modal->close();
            return;
        }
        drive(p);
    });
    const bool result = passwordQuery("Login required", prompt, value);
    if (dialogGone != nullptr) {
        *dialogGone = opened.isNull();
    }
    return result;
}

void typeThenEnter(Prompt& p, const QString& text) {
    QTest::keyClicks(p.field, text);
    QTest::keyClick(p.field, Qt::Key_Return);
}

struct AnswerCase {
    const char* name;
    const char* initial;
    std::function<void(Prompt&)> drive;
    bool confirmed;
    QString value;
};

class PasswordAnswer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(PasswordAnswer, GivesTheFieldOnlyThroughOk) {
    const AnswerCase& c = GetParam();
    QString value = c.initial;
    bool dialogGone = false;
    EXPECT_EQ(runPrompt("Enter password:", value, c.drive, &dialogGone), c.confirmed);
    EXPECT_EQ(value, c.value);
    EXPECT_TRUE(dialogGone);
}

const AnswerCase kAnswerCases[] = {
    {"TypedThenEnter", "", [](Prompt& p) { typeThenEnter(p, "s3cret Pass"); }, true, "s3cret Pass"},
    {"TypedThenOkClicked", "",
     [](Prompt& p) {
         QTest::keyClicks(p.field, "abc");
         QTest::mouseClick(p.ok, Qt::LeftButton);
     },
     true, "abc"},
    {"FirstKeyReplacesInitialValue", "old", [](Prompt& p) { typeThenEnter(p, "n"); }, true, "n"},
    {"EnterKeepsInitialValue", "old", [](Prompt& p) { typeThenEnter(p, ""); }, true, "old"},
    {"OkWithEmptyField", "", [](Prompt& p) { QTest::mouseClick(p.ok, Qt::LeftButton); }, true, ""},
    {"OkAfterClearingTheField", "old",
     [](Prompt& p) {
         QTest::keyClick(p.field, Qt::Key_Delete);
         QTest::mouseClick(p.ok, Qt::LeftButton);
     },
     true, ""},
    {"TypingStopsAt255", "", [](Prompt& p) { typeThenEnter(p, QString(300, 'x')); }, true,
     QString(255, 'x')},
    {"Escape", "prev",
     [](Prompt& p) {
         QTest::keyClicks(p.field, "typed");
         QTest::keyClick(p.field, Qt::Key_Escape);
     },
     false, "prev"},
    {"CancelClicked", "prev",
     [](Prompt& p) {
         QTest::keyClicks(p.field, "typed");
         QTest::mouseClick(p.cancel, Qt::LeftButton);
     },
     false, "prev"},
    {"CloseBox", "prev",
     [](Prompt& p) {
         QTest::keyClicks(p.field, "typed");
         p.dialog->close();
     },
     false, "prev"},
};

INSTANTIATE_TEST_SUITE_P(Keys, PasswordAnswer, ::testing::ValuesIn(kAnswerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PasswordQuery, ShowsTheInitialValueMaskedAndWhollySelected) {
    QString value = "old";
    runPrompt("Enter password:", value, [](Prompt& p) {
        EXPECT_EQ(p.field->displayText(), "***");
        EXPECT_EQ(p.field->selectedText(), "old");
        QTest::keyClicks(p.field, "pw");
        EXPECT_EQ(p.field->displayText(), "**");
        p.dialog->close();
    });
}

TEST(PasswordQuery, IsAFixedModalDialogWithTheGivenTexts) {
    QString value;
    runPrompt("Enter password:", value, [](Prompt& p) {
        EXPECT_EQ(p.dialog->windowTitle(), "Login required");
        EXPECT_EQ(p.label->text(), "Enter password:");
        EXPECT_EQ(p.ok->text(), "OK");
        EXPECT_EQ(p.cancel->text(), "Cancel");
        EXPECT_TRUE(p.ok->isDefault());
        EXPECT_FALSE(p.cancel->isDefault());
        EXPECT_EQ(p.field->echoMode(), QLineEdit::Password);
        EXPECT_EQ(p.dialog->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(p.dialog->minimumSize(), p.dialog->maximumSize());
        const Qt::WindowFlags flags = p.dialog->windowFlags();
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_EQ(p.dialog->parentWidget(), nullptr);

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect frame = p.dialog->frameGeometry();
        EXPECT_EQ(frame.topLeft(),
                  screen.topLeft() + QPoint((screen.width() - frame.width()) / 2,
                                            (screen.height() - frame.height()) / 2));
        p.dialog->close();
    });
}

TEST(PasswordQuery, StartsInTheFieldAndTabsToOkThenCancel) {
    QString value;
    QStringList visited;
    runPrompt("Enter password:", value, [&visited](Prompt& p) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(p.dialog));
        for (int i = 0; i < 4; ++i) {
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            visited << focus->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        p.dialog->close();
    });
    EXPECT_EQ(visited, (QStringList{kPasswordFieldName, kOkButtonName, kCancelButtonName,
                                    kPasswordFieldName}));
}

struct Measured {
    int labelHeight = 0;
    int fieldTop = 0;
    int buttonTop = 0;
    int clientHeight = 0;
};

// Checks the open prompt against the layout rules computed from the font the dialog
// measured, and returns the positions that a longer prompt moves.
Measured checkLayout(Prompt& p) {
    const QFontMetrics metrics(QApplication::font());
    const CharSize units = averageCharSize(
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
        metrics.height());
    const PromptGeometry expected =
        promptGeometry(units, p.label->height(), p.field->sizeHint().height());

    EXPECT_EQ(p.dialog->size(), QSize(expected.clientWidth, expected.clientHeight));
    EXPECT_EQ(p.label->pos(), QPoint(expected.labelLeft, expected.labelTop));
    EXPECT_LE(p.label->width(), expected.labelMaxWidth);
    EXPECT_GE(p.label->height(), metrics.height());
    // The label paints its text wrapped into exactly the lines it was sized for.
    if (!p.label->text().isEmpty()) {
        EXPECT_EQ(p.label->heightForWidth(p.label->width()), p.label->height());
    }
    const auto rect = [](const Rect& r) { return QRect(r.left, r.top, r.width, r.height); };
    EXPECT_EQ(p.field->geometry(), rect(expected.field));
    EXPECT_EQ(p.ok->geometry(), rect(expected.okButton));
    EXPECT_EQ(p.cancel->geometry(), rect(expected.cancelButton));
    return {p.label->height(), p.field->y(), p.ok->y(), p.dialog->height()};
}

Measured openAndMeasure(const QString& prompt) {
    Measured measured;
    QString value;
    runPrompt(prompt, value, [&measured](Prompt& p) {
        measured = checkLayout(p);
        p.dialog->close();
    });
    return measured;
}

TEST(PasswordQuery, LaysOutByTheDialogUnitsOfItsFont) {
    const Measured oneLine = openAndMeasure("Enter password:");
    EXPECT_EQ(oneLine.labelHeight, QFontMetrics(QApplication::font()).height());
}

TEST(PasswordQuery, LongPromptWrapsAndPushesFieldAndButtonsDown) {
    const Measured oneLine = openAndMeasure("Enter password:");
    const Measured wrapped = openAndMeasure(
        "Please enter the administrator password of this server before the settings can be "
        "changed; the password is the one stored in the settings file next to the tool.");
    const int extra = wrapped.labelHeight - oneLine.labelHeight;
    EXPECT_GE(wrapped.labelHeight, 2 * oneLine.labelHeight);
    EXPECT_EQ(wrapped.fieldTop - oneLine.fieldTop, extra);
    EXPECT_EQ(wrapped.buttonTop - oneLine.buttonTop, extra);
    EXPECT_EQ(wrapped.clientHeight - oneLine.clientHeight, extra);
}

TEST(PasswordQuery, EmptyPromptStillTakesOneLine) {
    const Measured empty = openAndMeasure("");
    EXPECT_EQ(empty.labelHeight, QFontMetrics(QApplication::font()).height());
}

}  // namespace
}  // namespace veltrona::ui
