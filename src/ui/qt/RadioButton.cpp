#include "RadioButton.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <utility>

namespace veltrona::ui {

RadioButton::RadioButton(bool wordWrap, QString group, QWidget* parent)
    : QRadioButton(parent), wordWrap_(wordWrap), group_(std::move(group)) {
    setAutoExclusive(false);
}

void RadioButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool forward = key == Qt::Key_Down || key == Qt::Key_Right;
    const bool backward = key == Qt::Key_Up || key == Qt::Key_Left;
    if (!forward && !backward) {
        QRadioButton::keyPressEvent(event);
        return;
    }
    // The other members of the group, in the window's tab order, round.
    const auto step = [forward](QWidget* widget) {
        return forward ? widget->nextInFocusChain() : widget->previousInFocusChain();
    };
    for (QWidget* widget = step(this); widget != nullptr && widget != this; widget = step(widget)) {
        auto* sibling = qobject_cast<RadioButton*>(widget);
        if (sibling != nullptr && !group_.isEmpty() && sibling->group_ == group_ &&
            sibling->isEnabled() && sibling->isVisible()) {
            sibling->setFocus(Qt::TabFocusReason);
            sibling->click();  // checks it and reports the click, as a mouse click does
            return;
        }
    }
}

bool RadioButton::hitButton(const QPoint& pos) const {
    return wordWrap_ ? rect().contains(pos) : QRadioButton::hitButton(pos);
}

void RadioButton::paintEvent(QPaintEvent* event) {
    if (!wordWrap_) {
        QRadioButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    // The indicator stays at the top left, level with the first line of the caption.
    const int indicatorWidth =
        style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &option, this);
    const int indicatorHeight =
        style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, &option, this);
    const int lineHeight = fontMetrics().height();
    QStyleOptionButton indicator = option;
    indicator.rect =
        QRect(0, qMax(0, (lineHeight - indicatorHeight) / 2), indicatorWidth, indicatorHeight);
    painter.drawPrimitive(QStyle::PE_IndicatorRadioButton, indicator);

    const int spacing = style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, this);
    const QRect textRect = rect().adjusted(indicatorWidth + spacing, 0, 0, 0);
    painter.drawItemText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, option.palette,
                         isEnabled(), text(), QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

}  // namespace veltrona::ui
