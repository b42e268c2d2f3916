#include "ui/qt/PasswordQuery.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFontInfo>
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
#include "ui/qt/WindowFont.h"

namespace veltrona::ui {
namespace {

using testing::whenModalOpens;

// The prompt runs with the font the tool gives the application, so that its layout is
// checked against the real metrics.
class PasswordQuery : public ::testing::Test {
  protected:
    void SetUp() override {
        useWindowFont();
        applicationFont_ = QApplication::font();
        QApplication::setFont(windowFont());
    }
    void TearDown() override { QApplication::setFont(applicationFont_); }

  private:
    QFont applicationFont_;
};

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

class PasswordAnswer : public PasswordQuery, public ::testing::WithParamInterface<AnswerCase> {};

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
    {"The256thCharacterIsDropped", "", [](Prompt& p) { typeThenEnter(p, QString(255, 'a') + 'b'); },
     true, QString(255, 'a')},
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

TEST_F(PasswordQuery, ShowsTheInitialValueMaskedAndWhollySelected) {
    QString value = "old";
    runPrompt("Enter password:", value, [](Prompt& p) {
        EXPECT_EQ(p.field->displayText(), "***");
        EXPECT_EQ(p.field->selectedText(), "old");
        QTest::keyClicks(p.field, "pw");
        EXPECT_EQ(p.field->displayText(), "**");
        p.dialog->close();
    });
}

TEST_F(PasswordQuery, IsAFixedModalDialogWithTheGivenTexts) {
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

TEST_F(PasswordQuery, StartsInTheFieldAndTabsToOkThenCancel) {
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
    QRect label;
    QRect field;
    QRect ok;
    QRect cancel;
    QSize client;
};

Measured openAndMeasure(const QString& prompt) {
    Measured m;
    QString value;
    runPrompt(prompt, value, [&m](Prompt& p) {
        m = {p.label->geometry(), p.field->geometry(), p.ok->geometry(), p.cancel->geometry(),
             p.dialog->size()};
        // The label paints its text wrapped into exactly the lines it was sized for.
        if (!p.label->text().isEmpty()) {
            EXPECT_EQ(p.label->heightForWidth(p.label->width()), p.label->height());
        }
        p.dialog->close();
    });
    return m;
}

bool windowFontInstalled() {
    return QFile::exists(kWindowFontFile);
}

// X = 6 and Y = 13 at the window font: the dialog-unit layout to the pixel.
TEST_F(PasswordQuery, OneLinePromptHasTheDesignedGeometry) {
    if (!windowFontInstalled()) {
        GTEST_SKIP() << kWindowFontFile << " is not installed";
    }
    const Measured m = openAndMeasure("Enter password:");
    EXPECT_EQ(m.client, QSize(270, 103));
    EXPECT_EQ(m.label.topLeft(), QPoint(12, 13));
    EXPECT_LE(m.label.width(), 246);
    EXPECT_EQ(m.label.height(), 13);
    EXPECT_EQ(m.field, QRect(12, 31, 246, 21));
    EXPECT_EQ(m.ok, QRect(57, 67, 75, 23));
    EXPECT_EQ(m.cancel, QRect(138, 67, 75, 23));
}

TEST_F(PasswordQuery, LongPromptWrapsAndPushesFieldAndButtonsDown) {
    const Measured oneLine = openAndMeasure("Enter password:");
    const Measured wrapped = openAndMeasure(
        "Please enter the administrator password of this server before the settings can be "
        "changed; the password is the one stored in the settings file next to the tool.");
    const int lineHeight = QFontMetrics(windowFont()).height();
    const int extra = wrapped.label.height() - oneLine.label.height();
    EXPECT_EQ(oneLine.label.height(), lineHeight);
    EXPECT_GE(wrapped.label.height(), 2 * lineHeight);
    EXPECT_EQ(wrapped.label.height() % lineHeight, 0) << "a line is one character height";
    EXPECT_LE(wrapped.label.width(), oneLine.field.width());
    EXPECT_EQ(wrapped.field.top() - oneLine.field.top(), extra);
    EXPECT_EQ(wrapped.ok.top() - oneLine.ok.top(), extra);
    EXPECT_EQ(wrapped.client.height() - oneLine.client.height(), extra);
}

TEST_F(PasswordQuery, EmptyPromptStillTakesOneLine) {
    EXPECT_EQ(openAndMeasure("").label.height(), QFontMetrics(windowFont()).height());
}

// The prompt keeps the window's font whatever font the application was given.
TEST_F(PasswordQuery, UsesTheWindowFontWhateverTheApplicationFont) {
    QApplication::setFont(QFont("DejaVu Sans", 14));
    QString value;
    runPrompt("Enter password:", value, [](Prompt& p) {
        for (QWidget* w : {static_cast<QWidget*>(p.label), static_cast<QWidget*>(p.field),
                           static_cast<QWidget*>(p.ok), static_cast<QWidget*>(p.cancel)}) {
            EXPECT_EQ(QFontInfo(w->font()).family(), QFontInfo(windowFont()).family());
            EXPECT_EQ(QFontInfo(w->font()).pixelSize(), QFontInfo(windowFont()).pixelSize());
        }
        p.dialog->close();
    });
}

}  // namespace
}  // namespace veltrona::ui
