// The Qt window keeps its controls as every window does.
#include <QApplication>
#include <QTest>

#include "FormViewContract.h"
#include "ui/qt/QtFormWindow.h"

namespace veltrona::ui::testing {
namespace {

struct Qt {
    using Window = QtFormWindow;
    static std::unique_ptr<Window> make(const FormSpec& form) {
        return std::make_unique<Window>(form);
    }
    static void click(Window& window, std::string_view control) {
        // On the button's indicator, at its left end, where a user clicks it.
        QWidget* widget = window.control(control);
        QTest::mouseClick(widget, ::Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
    }
    static void settle(Window&) { QApplication::processEvents(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, FormViewContract, Qt);

}  // namespace
}  // namespace veltrona::ui::testing
