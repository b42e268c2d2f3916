// The Qt window keeps its controls as every window does.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "FormViewContract.h"
#include "ui/qt/QtFormWindow.h"

namespace veltrona::ui::testing {
namespace {

struct Qt {
    using Window = QtFormWindow;
    static constexpr bool kRoutesKeys = true;
    static constexpr bool kLaysOut = true;
    static constexpr bool kRunsTimers = true;

    static std::unique_ptr<Window> make(const FormSpec& form) {
        return std::make_unique<Window>(form);
    }
    static void click(Window& window, std::string_view control) {
        // On the button's indicator, at its left end, where a user clicks it.
        QWidget* widget = window.control(control);
        QTest::mouseClick(widget, ::Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
    }
    static void settle(Window&) { QApplication::processEvents(); }

    static void focus(Window& window, std::string_view control) {
        if (!window.isActiveWindow()) {
            QApplication::setActiveWindow(&window);
            ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        }
        window.control(control)->setFocus();
    }
    static void pressKey(Window&, contract::Key key) {
        // In the order of contract::Key.
        constexpr ::Qt::Key keys[] = {
            ::Qt::Key_Tab,   ::Qt::Key_Tab,   ::Qt::Key_Up,     ::Qt::Key_Down,  ::Qt::Key_Left,
            ::Qt::Key_Right, ::Qt::Key_Space, ::Qt::Key_Return, ::Qt::Key_Enter, ::Qt::Key_Escape};
        QTest::keyClick(QApplication::focusWidget(), keys[static_cast<int>(key)],
                        key == contract::Key::ShiftTab ? ::Qt::ShiftModifier : ::Qt::NoModifier);
    }
    static void type(Window&, std::string_view characters) {
        QTest::keyClicks(QApplication::focusWidget(),
                         QString::fromUtf8(characters.data(), qsizetype(characters.size())));
    }
    static void paste(Window&, std::string_view text) {
        QWidget* focused = QApplication::focusWidget();  // an edit, or a spin edit with its own
        auto* edit = focused->inherits("QLineEdit") ? qobject_cast<QLineEdit*>(focused)
                                                    : focused->findChild<QLineEdit*>();
        QApplication::clipboard()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
        edit->selectAll();
        edit->paste();
    }
    static Rect bounds(Window& window, std::string_view control) {
        const QWidget* widget = window.control(control);
        const QPoint corner = widget->mapTo(&window, QPoint(0, 0));
        return {corner.x(), corner.y(), widget->width(), widget->height()};
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, FormViewContract, Qt);

TEST(QtFormWindow, IsDrawnInTheFontItsFormNames) {
    FormSpec larger = contract::form();
    larger.fontFamily = "Liberation Serif";
    larger.fontPointSize = 12;
    const QtFormWindow window(larger);
    EXPECT_EQ(window.font().family(), "Liberation Serif");
    EXPECT_EQ(window.font().pointSize(), 12);
    EXPECT_EQ(window.control("Name")->font().pointSize(), 12);
}

}  // namespace
}  // namespace veltrona::ui::testing
