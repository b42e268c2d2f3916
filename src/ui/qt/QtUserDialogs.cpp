#include "QtUserDialogs.h"

#include <QApplication>
#include <QMessageBox>

#include "InfoBox.h"
#include "PasswordQuery.h"

namespace veltrona::ui {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void showMessageBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
}

}  // namespace

void QtUserDialogs::showInfo(const std::string& text) {
    ui::showInfo(fromUtf8(text));
}

bool QtUserDialogs::passwordQuery(const std::string& caption, const std::string& prompt,
                                  std::string& value) {
    QString entered = fromUtf8(value);
    if (!ui::passwordQuery(fromUtf8(caption), fromUtf8(prompt), entered)) {
        return false;
    }
    value = entered.toUtf8().toStdString();
    return true;
}

void QtUserDialogs::showError(const std::string& message) {
    showMessageBox(QMessageBox::Critical, QApplication::applicationName(), fromUtf8(message));
}

void QtUserDialogs::showStopFailure() {
    // A fixed English text of its own, not a catalogue message: translation never reaches it.
    showMessageBox(QMessageBox::Information, QStringLiteral("Information"),
                   QStringLiteral("Server cannot be stopped, access denied"));
}

}  // namespace veltrona::ui
