#include "DialogStyle.h"

#include <QApplication>

namespace veltrona::ui {

namespace {

constexpr int kLabelSpacing = 4;

}  // namespace

int DialogStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                             const QWidget* widget) const {
    if (metric == PM_RadioButtonLabelSpacing || metric == PM_CheckBoxLabelSpacing) {
        return kLabelSpacing;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

DialogStyle* DialogStyle::instance() {
    // Parented to the application, so it goes with it; QProxyStyle wraps the current style.
    static DialogStyle* style = [] {
        auto* made = new DialogStyle;
        made->setParent(qApp);
        return made;
    }();
    return style;
}

}  // namespace veltrona::ui
