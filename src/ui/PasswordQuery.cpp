#include "PasswordQuery.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "PromptGeometry.h"

namespace veltrona::ui {

namespace {

constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;
constexpr int kMaxTypedCharacters = 255;

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
class PromptDialog : public QDialog {
  public:
    PromptDialog()
        : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint) {}

    void reject() override { done(kResultCancel); }
};

void setBounds(QWidget& widget, const Rect& r) {
    widget.setGeometry(r.left, r.top, r.width, r.height);
}

// The label is as wide as its text up to `maxWidth`, wrapped at word boundaries within that
// width and as high as its lines. An empty prompt still takes one line, as a one-blank text.
QSize promptLabelSize(const QLabel& label, int maxWidth) {
    const QString text = label.text().isEmpty() ? QStringLiteral(" ") : label.text();
    const QRect wrapped =
        label.fontMetrics().boundingRect(QRect(0, 0, maxWidth, QWIDGETSIZE_MAX),
                                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return QSize(std::min(wrapped.width(), maxWidth), wrapped.height());
}

// The whole window, frame included, goes to the middle of the primary screen. The frame's
// size is known once the window exists on the platform; where it is not, the client size
// stands in for it.
void centreOnScreen(QWidget& dialog) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    dialog.winId();
    const QSize frame = dialog.frameGeometry().size();
    const QRect area = screen->geometry();
    dialog.move(area.left() + (area.width() - frame.width()) / 2,
                area.top() + (area.height() - frame.height()) / 2);
}

}  // namespace

bool passwordQuery(const QString& caption, const QString& prompt, QString& value) {
    // Declared before the dialog so that it outlives the field that uses it.
    MaskStyle maskStyle;
    PromptDialog dialog;  // Destroyed with all its controls on every way out of here.

    dialog.setFont(QApplication::font());
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
    const QSize labelSize = promptLabelSize(*label, promptLabelMaxWidth(units));

    auto* field = new QLineEdit(&dialog);
    field->setObjectName(kPasswordFieldName);
    field->setStyle(&maskStyle);
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(kMaxTypedCharacters);
    field->setText(value);
    field->selectAll();

    const PromptGeometry geometry =
        promptGeometry(units, labelSize.height(), field->sizeHint().height());
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
    centreOnScreen(dialog);
    field->setFocus(Qt::OtherFocusReason);

    if (dialog.exec() != kResultOk) {
        return false;
    }
    value = field->text();
    return true;
}

}  // namespace veltrona::ui
