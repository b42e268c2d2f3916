#pragma once

#include <QProxyStyle>

namespace veltrona::ui {

// The window's style with the spacing of the platform the form was designed on: four
// pixels between a radio button's or check box's indicator and its caption, so captions
// fit the widths the form gives them.
class DialogStyle : public QProxyStyle {
    Q_OBJECT

  public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

    // One instance for the whole application, made on first use.
    static DialogStyle* instance();
};

}  // namespace veltrona::ui
