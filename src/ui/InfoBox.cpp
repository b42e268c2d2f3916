#include "InfoBox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace veltrona::ui {

void showInfo(const QString& text) {
    // Whatever the caller queued (a repaint, a status line) is dealt with before the box
    // blocks the window; processEvents() returns once the queue is empty.
    QCoreApplication::processEvents();

    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Information"), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    // Set after the modality: changing the modality of a message box drops this hint again.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

}  // namespace veltrona::ui
