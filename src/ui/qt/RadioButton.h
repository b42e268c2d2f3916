#pragma once

#include <QRadioButton>

namespace veltrona::ui {

// A radio button that leaves its siblings to the form: a click checks it and reports the
// click, and the form unchecks the others of its group. Each button is its own tab stop,
// so Tab visits every button of a group in turn; the arrow keys move to the next or previous
// button of its group (in the tab order, round) and check it, as in a dialog. With `wordWrap`, a
// caption longer than the button's width wraps onto further lines.
class RadioButton : public QRadioButton {
    Q_OBJECT

  public:
    // `group` names the button's radio group; empty for a button that stands alone.
    RadioButton(bool wordWrap, QString group, QWidget* parent = nullptr);

  protected:
    void nextCheckState() override { setChecked(true); }
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    bool wordWrap_;
    QString group_;
};

}  // namespace veltrona::ui
