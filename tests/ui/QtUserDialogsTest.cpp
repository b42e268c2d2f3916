#include "ui/qt/QtUserDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <functional>

#include "ModalDriver.h"
#include "ui/qt/PasswordQuery.h"

namespace veltrona::ui {
namespace {

using testing::whenModalOpens;

struct BoxCase {
    const char* name;
    std::function<void(UserDialogs&)> show;
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

class UserDialogBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(UserDialogBox, ShowsItsKindOfMessageBox) {
    const BoxCase& c = GetParam();
    bool seen = false;
    whenModalOpens([&](QWidget* modal) {
        seen = true;
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), c.icon);
        EXPECT_EQ(box->windowTitle(), c.caption);
        EXPECT_EQ(box->text(), c.text);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    QtUserDialogs dialogs;
    c.show(dialogs);
    EXPECT_TRUE(seen);
}

const BoxCase kBoxCases[] = {
    {"Info", [](UserDialogs& d) { d.showInfo("Server l\xC3\xA4uft nicht"); }, QMessageBox::NoIcon,
     "Information", QString::fromUtf8("Server l\xC3\xA4uft nicht")},
    {"Error", [](UserDialogs& d) { d.showError("'x' ist kein g\xC3\xBCltiger Integerwert."); },
     QMessageBox::Critical, "Veltrona Administration",
     QString::fromUtf8("'x' ist kein g\xC3\xBCltiger Integerwert.")},
    {"StopFailure",
     [](UserDialogs& d) { d.showStopFailure("Server cannot be stopped, access denied"); },
     QMessageBox::Information, "Information", "Server cannot be stopped, access denied"},
};

INSTANTIATE_TEST_SUITE_P(Kinds, UserDialogBox, ::testing::ValuesIn(kBoxCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QtUserDialogs, PasswordQueryAsksThroughThePrompt) {
    whenModalOpens([](QWidget* modal) {
        auto* field = modal->findChild<QLineEdit*>(kPasswordFieldName);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(modal->windowTitle(), "Login required");
        QTest::keyClicks(field, "pw");
        QTest::keyClick(field, Qt::Key_Return);
    });
    QtUserDialogs dialogs;
    std::string value;
    EXPECT_TRUE(dialogs.passwordQuery("Login required", "Enter password:", value));
    EXPECT_EQ(value, "pw");
}

}  // namespace
}  // namespace veltrona::ui
