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

void QtUserDialogs::showStopFailure(const std::string& text) {
    showMessageBox(QMessageBox::Information, QStringLiteral("Information"), fromUtf8(text));
}

}  // namespace veltrona::ui
