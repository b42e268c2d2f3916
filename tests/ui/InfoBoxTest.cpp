#include "ui/qt/InfoBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QTest>
#include <algorithm>

#include "ModalDriver.h"
#include "ui/qt/WindowFont.h"

namespace veltrona::ui {
namespace {

using testing::whenModalOpens;

// Runs with the font the tool gives the application.
class InfoBoxText : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        applicationFont_ = QApplication::font();
        QApplication::setFont(windowFont());
    }
    void TearDown() override { QApplication::setFont(applicationFont_); }

  private:
    QFont applicationFont_;
};

// A title bar shows the caption in the desktop's title font, bold, beside the window icon
// and up to three buttons, each about as wide as the bar is high.
int titleBarNeeds(const QWidget& box) {
    QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    title.setBold(true);
    return QFontMetrics(title).horizontalAdvance("Information") +
           4 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
}

TEST_P(InfoBoxText, ShowsATopmostInformationBoxWithOkOnly) {
    const QString text = QString::fromUtf8(GetParam());
    QPointer<QWidget> opened;
    whenModalOpens([&](QWidget* modal) {
        opened = modal;
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Information");
        const int textWidth = QFontMetrics(box->font()).horizontalAdvance(text);
        EXPECT_GE(box->width(), titleBarNeeds(*box)) << "too narrow for its caption";
        // Margins and the OK button take well under 100 pixels more.
        EXPECT_LE(box->width(), std::max(titleBarNeeds(*box), textWidth) + 100);
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    showInfo(text);
    EXPECT_TRUE(opened.isNull()) << "the box outlived the call";
}

const char* const kTextNames[] = {"Message", "EmptyText", "ShortText", "LongerText"};

INSTANTIATE_TEST_SUITE_P(Texts, InfoBoxText,
                         ::testing::Values("Server l\xC3\xA4uft nicht", "", "OK",
                                           "Server konnte nicht gestartet werden"),
                         [](const auto& info) { return std::string(kTextNames[info.index]); });

TEST(InfoBox, UsesTheWindowFontWhateverTheApplicationFont) {
    const QFont before = QApplication::font();
    QApplication::setFont(QFont("DejaVu Sans", 14));
    whenModalOpens([](QWidget* modal) {
        EXPECT_EQ(QFontInfo(modal->font()).family(), QFontInfo(windowFont()).family());
        EXPECT_EQ(QFontInfo(modal->font()).pixelSize(), QFontInfo(windowFont()).pixelSize());
        modal->close();
    });
    showInfo("Server l\xC3\xA4uft bereits");
    QApplication::setFont(before);
}

// Notes whether a modal widget was already up when its event was delivered.
class WaitingEvent : public QObject {
  public:
    bool handled = false;
    QWidget* modalWhenHandled = nullptr;

  protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) {
            return QObject::event(event);
        }
        handled = true;
        modalWhenHandled = QApplication::activeModalWidget();
        return true;
    }
};

TEST(InfoBox, HandlesWaitingEventsBeforeTheBoxOpens) {
    WaitingEvent waiting;
    QCoreApplication::postEvent(&waiting, new QEvent(QEvent::User));
    whenModalOpens([](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            QTest::keyClick(box, Qt::Key_Return);
        } else {
            modal->close();
        }
    });
    showInfo("Server l\xC3\xA4uft bereits");
    EXPECT_TRUE(waiting.handled);
    EXPECT_EQ(waiting.modalWhenHandled, nullptr);
}

}  // namespace
}  // namespace veltrona::ui
