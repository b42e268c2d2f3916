#include "ui/InfoBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include "ModalDriver.h"

namespace veltrona::ui {
namespace {

using testing::whenModalOpens;

class InfoBoxText : public ::testing::TestWithParam<const char*> {};

TEST_P(InfoBoxText, ShowsATopmostInformationBoxWithOkOnly) {
    const QString text = QString::fromUtf8(GetParam());
    QPointer<QWidget> opened;
    whenModalOpens([&](QWidget* modal) {
        opened = modal;
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Information");
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

INSTANTIATE_TEST_SUITE_P(Texts, InfoBoxText, ::testing::Values("Server l\xC3\xA4uft nicht", ""),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "Message" : "EmptyText");
                         });

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
