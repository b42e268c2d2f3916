// The prompt as the X server shows it under a window manager, judged from outside the
// toolkit: the geometry comes from xwininfo, not from what Qt believes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "ModalDriver.h"
#include "ui/qt/PasswordQuery.h"
#include "ui/qt/WindowFont.h"

namespace veltrona::ui {
namespace {

QString xwininfo(const QStringList& arguments) {
    QProcess process;
    process.start("xwininfo", arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

int field(const QString& info, const QString& name) {
    return QRegularExpression(name + R"(:\s*(-?\d+))").match(info).captured(1).toInt();
}

// Absolute position and size of the window `which` selects, or of the window manager's
// frame around it (its parent, unless that is the root window) when `frame` is set.
QRect geometryOf(QStringList which, bool frame = false) {
    if (frame) {
        const auto parent =
            QRegularExpression(R"(Parent window id: (0x[0-9a-f]+)(?![0-9a-f]| \(the root))")
                .match(xwininfo(QStringList{"-tree"} + which));
        if (parent.hasMatch()) {
            which = QStringList{"-id", parent.captured(1)};
        }
    }
    const QString info = xwininfo(which);
    return QRect(field(info, "Absolute upper-left X"), field(info, "Absolute upper-left Y"),
                 field(info, "Width"), field(info, "Height"));
}

TEST(PasswordQueryOnScreen, FrameSitsInTheMiddleOfTheScreenAroundTheDesignedClientArea) {
    if (QGuiApplication::platformName() != "xcb" || !QFile::exists(kWindowFontFile)) {
        GTEST_SKIP() << "needs Xvfb, openbox, xwininfo and " << kWindowFontFile;
    }
    const QRect screen = geometryOf({"-root"});
    QRect frame, client;
    const auto centred = [&] {
        return frame.topLeft() ==
               QPoint((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2);
    };
    testing::whenModalOpens([&](QWidget* modal) {
        const QStringList window{"-id", QString::number(modal->winId())};
        // The window manager frames the prompt once it is mapped, and the prompt may move
        // once more then; only a prompt that never gets there fails.
        (void)QTest::qWaitFor(
            [&] {
                client = geometryOf(window);
                frame = geometryOf(window, true);
                return frame != client && centred();
            },
            10000);
        modal->close();
    });
    QString value;
    passwordQuery("Login required", "Enter password:", value);

    EXPECT_GT(frame.height(), client.height()) << "no window manager frame";
    EXPECT_TRUE(centred()) << "frame at " << frame.x() << "," << frame.y() << ", " << frame.width()
                           << "x" << frame.height();
    EXPECT_EQ(client.size(), QSize(270, 103));
}

}  // namespace
}  // namespace veltrona::ui
