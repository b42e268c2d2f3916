#include "Label.h"

#include <QPainter>

#include "ui/qt/WindowFont.h"

namespace veltrona::ui {

void Label::paintEvent(QPaintEvent* event) {
    if (!ui::emboldenedWithoutBoldFace(font()) || wordWrap()) {
        QLabel::paintEvent(event);
        return;
    }
    QFont regular = font();
    regular.setBold(false);
    QPainter painter(this);
    painter.setFont(regular);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect area = contentsRect();
    painter.drawText(area, static_cast<int>(alignment()), text());
    painter.drawText(area.translated(1, 0), static_cast<int>(alignment()), text());
}

}  // namespace veltrona::ui
