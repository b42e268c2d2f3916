#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace veltrona::ui {

// A spin edit: an edit whose text the arrows step by 1 as a whole number, over the full
// 32-bit range. Typing takes digits and a minus sign in front; the form reads the text
// as it stands and counts a text that is no integer (empty, "-", out of range) as 0, so
// nothing here corrects it.
class SpinEdit : public QSpinBox {
    Q_OBJECT

  public:
    explicit SpinEdit(QWidget* parent = nullptr);

    QLineEdit* edit() const { return lineEdit(); }

  protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    // Plain decimal, as the settings file writes it: no group separators, which the
    // toolkit would otherwise put into the lowest value (its magnitude does not fit).
    QString textFromValue(int value) const override;
};

}  // namespace veltrona::ui
