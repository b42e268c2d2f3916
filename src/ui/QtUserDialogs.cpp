#include "QtUserDialogs.h"

#include <QApplication>
#include <QMessageBox>

#include "InfoBox.h"
#include "PasswordQuery.h"

namespace veltrona::ui {

namespace {

void showMessageBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
}

}  // namespace

void QtUserDialogs::showInfo(const QString& text) {
    ui::showInfo(text);
}

bool QtUserDialogs::passwordQuery(const QString& caption, const QString& prompt, QString& value) {
    return ui::passwordQuery(caption, prompt, value);
}

void QtUserDialogs::showError(const QString& message) {
    showMessageBox(QMessageBox::Critical, QApplication::applicationName(), message);
}

void QtUserDialogs::showStopFailure() {
    // A fixed English text of its own, not a catalogue message: translation never reaches it.
    showMessageBox(QMessageBox::Information, QStringLiteral("Information"),
                   QStringLiteral("Server cannot be stopped, access denied"));
}

}  // namespace veltrona::ui
