#pragma once

#include <QRadioButton>

namespace veltrona::app {

// A radio button whose caption wraps onto further lines within the button's width,
// for captions longer than the room the form gives them.
class WrappingRadioButton : public QRadioButton {
    Q_OBJECT

  public:
    explicit WrappingRadioButton(QWidget* parent = nullptr) : QRadioButton(parent) {}

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace veltrona::app
