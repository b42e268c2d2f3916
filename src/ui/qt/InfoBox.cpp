#include "InfoBox.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>

#include "WindowFont.h"

namespace veltrona::ui {

namespace {

// What the caption needs in a title bar: its text in the desktop's title font, drawn bold as
// title bars draw it, and a square of the title bar's height each for the window icon and
// up to three buttons. Qt sizes a message box by its text and buttons alone, which leaves
// the box of a short or empty text too narrow to show its caption.
int captionWidth(const QMessageBox& box) {
    QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    title.setBold(true);
    const int square = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    return QFontMetrics(title).horizontalAdvance(box.windowTitle()) + 4 * square;
}

void keepCaptionVisible(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    grid->addItem(new QSpacerItem(captionWidth(box), 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void showInfo(const QString& text) {
    // Whatever the caller queued (a repaint, a status line) is dealt with before the box
    // blocks the window; processEvents() returns once the queue is empty.
    QCoreApplication::processEvents();

    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Information"), text, QMessageBox::Ok);
    box.setFont(windowFont());
    keepCaptionVisible(box);
    box.setWindowModality(Qt::ApplicationModal);
    // Set after the modality: changing the modality of a message box drops this hint again.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

}  // namespace veltrona::ui
