// The dialogs as the X server shows them under a window manager, judged from outside the
// toolkit: window geometry comes from xwininfo, not from what Qt believes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include "ModalDriver.h"
#include "ui/PasswordQuery.h"
#include "ui/WindowFont.h"

namespace veltrona::ui {
namespace {

using testing::whenModalOpens;

QString xwininfo(const QStringList& arguments) {
    QProcess process;
    process.start("xwininfo", arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

int field(const QString& info, const char* name) {
    const QRegularExpression line(QString(R"(%1:\s*(-?\d+))").arg(name));
    return line.match(info).captured(1).toInt();
}

// Absolute position and size of a window as the server has them.
QRect geometryOf(const QStringList& window) {
    const QString info = xwininfo(window);
    return QRect(field(info, "Absolute upper-left X"), field(info, "Absolute upper-left Y"),
                 field(info, "Width"), field(info, "Height"));
}

QRect geometryOf(const QString& id) {
    return geometryOf(QStringList{"-id", id});
}

// The window manager's frame around a top-level window: its outermost ancestor below the
// root window.
QString frameOf(WId window) {
    QString id = QString::number(window);
    for (int depth = 0; depth < 10; ++depth) {
        const QString tree = xwininfo({"-tree", "-id", id});
        const auto parent =
            QRegularExpression(R"(Parent window id: (0x[0-9a-f]+)( \(the root)?)").match(tree);
        if (!parent.hasMatch() || !parent.captured(2).isEmpty()) {
            return id;
        }
        id = parent.captured(1);
    }
    return id;
}

bool onRealScreen() {
    return QGuiApplication::platformName() == "xcb";
}

TEST(PasswordQueryOnScreen, FrameSitsInTheMiddleOfTheScreenAroundTheDesignedClientArea) {
    if (!onRealScreen() || !QFile::exists(kWindowFontFile)) {
        GTEST_SKIP() << "needs Xvfb, openbox, wmctrl, xwininfo and " << kWindowFontFile;
    }
    useWindowFont();
    QApplication::setFont(windowFont());
    const QRect screen = geometryOf(QStringList{"-root"});
    QRect frame;
    QRect client;
    whenModalOpens([&](QWidget* modal) {
        const WId window = modal->winId();
        // The window manager frames the window after it is mapped; the prompt may move once
        // more then. Only a prompt that never gets there fails.
        (void)QTest::qWaitFor(
            [&] {
                frame = geometryOf(frameOf(window));
                client = geometryOf(QString::number(window));
                return frame != client &&
                       frame.topLeft() == QPoint((screen.width() - frame.width()) / 2,
                                                 (screen.height() - frame.height()) / 2);
            },
            10000);
        modal->close();
    });
    QString value;
    passwordQuery("Login required", "Enter password:", value);

    EXPECT_NE(frame, client) << "no window manager frame around the prompt";
    EXPECT_EQ(frame.topLeft(),
              QPoint((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2))
        << "frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x"
        << frame.height() << " on a " << screen.width() << "x" << screen.height() << " screen";
    EXPECT_EQ(client.size(), QSize(270, 103));
}

}  // namespace
}  // namespace veltrona::ui
