#include "SpinEdit.h"

#include <limits>

#include "config/IntegerConversion.h"

namespace veltrona::ui {

SpinEdit::SpinEdit(QWidget* parent) : QSpinBox(parent) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    lineEdit()->setMaxLength(std::numeric_limits<int>::max());
}

QValidator::State SpinEdit::validate(QString& /*input*/, int& /*pos*/) const {
    return QValidator::Acceptable;  // what was typed stays; no fix-up to an earlier value
}

int SpinEdit::valueFromText(const QString& text) const {
    return config::parseInteger(text.toStdString()).value_or(0);
}

QString SpinEdit::textFromValue(int value) const {
    return QString::number(value);
}

}  // namespace veltrona::ui
