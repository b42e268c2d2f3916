#include "SpinEdit.h"

#include <limits>

#include "config/settings/IntegerConversion.h"
#include "ui/SpinEditText.h"

namespace veltrona::ui {

SpinEdit::SpinEdit(QWidget* parent) : QSpinBox(parent) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    lineEdit()->setMaxLength(std::numeric_limits<int>::max());
}

QValidator::State SpinEdit::validate(QString& input, int& /*pos*/) const {
    // What may be typed stays as it is, with no fix-up to an earlier value; anything else
    // is refused, keystroke or paste.
    return spinEditAccepts(input.toStdString()) ? QValidator::Acceptable : QValidator::Invalid;
}

int SpinEdit::valueFromText(const QString& text) const {
    return config::parseInteger(text.toStdString()).value_or(0);
}

QString SpinEdit::textFromValue(int value) const {
    return QString::number(value);
}

}  // namespace veltrona::ui
