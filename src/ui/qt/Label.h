#pragma once

#include <QLabel>

namespace veltrona::ui {

// A label that draws a bold caption even where the font has no bold face: as the platform
// the window was designed on does for bitmap fonts, each glyph is drawn a second time one
// pixel to the right.
class Label : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace veltrona::ui
