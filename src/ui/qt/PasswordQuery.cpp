#include "PasswordQuery.h"

#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QTextLayout>
#include <QWindow>
#include <QtMath>
#include <algorithm>

#include "WindowFont.h"
#include "config/settings/PasswordPolicy.h"
#include "ui/PromptGeometry.h"

namespace veltrona::ui {

namespace {

constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;
constexpr int kMaxTypedCharacters = static_cast<int>(config::kMaxPasswordCharacters);

// Every character of the field shows as "*", whatever the platform style would pick, and
// none is ever shown in clear, not even for a moment after it is typed.
class MaskStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        if (hint == SH_LineEdit_PasswordMaskDelay) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Escape and the close box end the dialog through reject(); both count as Cancel.
//
// The whole window, frame included, goes to the middle of the primary screen. A window
// manager frames the window only once it is mapped, so the frame's size is not known
// before the dialog shows: the dialog is centred with what is known then and centred again
// whenever it is exposed with a frame of another size. A move by the user changes no frame
// size and stays where the user put it.
class PromptDialog : public QDialog {
  public:
    PromptDialog()
        : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint) {}

    void reject() override { done(kResultCancel); }

    void centreOnScreen() {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) {
            return;
        }
        if (windowHandle() == nullptr) {
            winId();
            windowHandle()->installEventFilter(this);
        }
        centredFrame_ = framedSize();
        const QRect area = screen->geometry();
        const QPoint topLeft(area.left() + (area.width() - centredFrame_.width()) / 2,
                             area.top() + (area.height() - centredFrame_.height()) / 2);
        // Once shown, the frame itself is placed: the platform then leaves it to the window
        // manager to put the client area inside it, whether or not it knows the frame yet.
        if (isVisible()) {
            windowHandle()->setFramePosition(topLeft);
        } else {
            move(topLeft);
        }
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && framedSize() != centredFrame_) {
            centreOnScreen();
        }
        return QDialog::eventFilter(watched, event);
    }

  private:
    // The window's size with the frame the platform reports now (none before framing).
    QSize framedSize() const { return size().grownBy(windowHandle()->frameMargins()); }

    QSize centredFrame_;
};

void setBounds(QWidget& widget, const Rect& r) {
    widget.setGeometry(r.left, r.top, r.width, r.height);
}

// The label is as wide as its widest line and one character height per line: its text
// wrapped at word boundaries within `maxWidth`. An empty prompt still takes one line.
QSize promptLabelSize(const QFont& font, const QString& text, int maxWidth, int lineHeight) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    int lines = 0;
    qreal widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(maxWidth);
        widest = std::max(widest, line.naturalTextWidth());
        ++lines;
    }
    layout.endLayout();
    return QSize(std::min(qCeil(widest), maxWidth), std::max(lines, 1) * lineHeight);
}

// A single-line field is one character height plus, above and below the text, a two-pixel
// sunken border and a two-pixel margin: 21 pixels at the window font, as the window's own
// edits are.
int fieldHeight(CharSize units) {
    return units.y + 8;
}

}  // namespace

bool passwordQuery(const QString& caption, const QString& prompt, QString& value) {
    // Declared before the dialog so that it outlives the field that uses it.
    MaskStyle maskStyle;
    PromptDialog dialog;  // Destroyed with all its controls on every way out of here.

    dialog.setFont(windowFont());
    const QFontMetrics metrics(dialog.font());
    const CharSize units =
        averageCharSize(metrics.horizontalAdvance(
                            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
                        metrics.height());
    dialog.setWindowTitle(caption);

    auto* label = new QLabel(prompt, &dialog);
    label->setObjectName(kPromptLabelName);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    const QSize labelSize =
        promptLabelSize(label->font(), prompt, promptLabelMaxWidth(units), units.y);

    auto* field = new QLineEdit(&dialog);
    field->setObjectName(kPasswordFieldName);
    field->setStyle(&maskStyle);
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(kMaxTypedCharacters);
    field->setText(value);
    field->selectAll();

    const PromptGeometry geometry = promptGeometry(units, labelSize.height(), fieldHeight(units));
    label->setGeometry(geometry.labelLeft, geometry.labelTop, labelSize.width(),
                       labelSize.height());
    setBounds(*field, geometry.field);

    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(kOkButtonName);
    ok->setDefault(true);
    setBounds(*ok, geometry.okButton);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kResultOk); });

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setObjectName(kCancelButtonName);
    setBounds(*cancel, geometry.cancelButton);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    QWidget::setTabOrder(field, ok);
    QWidget::setTabOrder(ok, cancel);

    dialog.setFixedSize(geometry.clientWidth, geometry.clientHeight);
    dialog.centreOnScreen();
    field->setFocus(Qt::OtherFocusReason);

    if (dialog.exec() != kResultOk) {
        return false;
    }
    value = field->text();
    return true;
}

}  // namespace veltrona::ui
