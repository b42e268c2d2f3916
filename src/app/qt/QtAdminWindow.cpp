#include "QtAdminWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <limits>
#include <stdexcept>

#include "DialogStyle.h"
#include "Label.h"
#include "RadioButton.h"
#include "SpinEdit.h"
#include "app/ServerAdminFormDescription.h"
#include "ui/Panel.h"
#include "ui/WindowFont.h"

namespace veltrona::app {

namespace {

using ui::ControlKind;

QString qstring(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

Qt::Alignment alignmentOf(ui::Align align) {
    switch (align) {
        case ui::Align::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case ui::Align::Center:
            return Qt::AlignHCenter | Qt::AlignTop;
        case ui::Align::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QWidget* makeLabel(const ui::ControlSpec& design, QWidget* parent) {
    auto* label = new Label(qstring(design.caption), parent);
    if (design.bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    label->setAlignment(alignmentOf(design.align));
    label->setWordWrap(design.wordWrap);
    return label;
}

QWidget* makeMemo(const ui::ControlSpec& design, QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setReadOnly(true);
    // Read-only for the user, yet its text can be selected and copied, by mouse or keys.
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setTabChangesFocus(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setPlainText(qstring(design.caption));
    return memo;
}

QWidget* makePushButton(const ui::ControlSpec& design, QWidget* parent) {
    auto* button = new QPushButton(qstring(design.caption), parent);
    // Enter presses the focused button, as in a dialog.
    button->setAutoDefault(true);
    return button;
}

QWidget* makeRadioButton(const ui::ControlSpec& design, QWidget* parent) {
    auto* button = new RadioButton(design.wordWrap, parent);
    button->setText(qstring(design.caption));
    button->setStyle(DialogStyle::instance());
    return button;
}

QWidget* makeEdit(const ui::ControlSpec& /*design*/, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(std::numeric_limits<int>::max());  // nothing the user wrote is cut
    return edit;
}

QWidget* makePanel(const ui::ControlSpec& design, QWidget* parent) {
    auto* panel = new ui::Panel(parent);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(design.bevel == ui::Bevel::Raised ? QFrame::Raised : QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setCaption(qstring(design.caption));
    return panel;
}

// A memo's logical lines: an empty memo has none, and a break after the last line opens
// no further one.
int memoLineCount(const QPlainTextEdit& memo) {
    const QTextDocument* document = memo.document();
    int count = document->blockCount();
    if (count > 0 && document->lastBlock().text().isEmpty()) {
        --count;
    }
    return count;
}

}  // namespace

QtAdminWindow::QtAdminWindow(FormServices services, QWidget* parent) : QWidget(parent) {
    build(serverAdminFormSpec());

    connect(qobject_cast<QPushButton*>(&at("Button1")), &QPushButton::clicked, this,
            [this] { form_->Button1Click(); });
    connect(qobject_cast<QPushButton*>(&at("Button2")), &QPushButton::clicked, this,
            [this] { form_->Button2Click(); });
    connect(qobject_cast<QCheckBox*>(&at("CheckBox2")), &QCheckBox::clicked, this,
            [this] { form_->CheckBox2Click(); });

    for (RadioButton* button : findChildren<RadioButton*>()) {
        connect(button, &QRadioButton::clicked, this,
                [this, button] { form_->RadioButtonClick(button->objectName().toStdString()); });
    }

    form_ = std::make_unique<TServerAdminForm>(*this, std::move(services));

    // The poll is armed with the form, before FormCreate runs. A tick that falls due
    // while one is still pending is merged into it.
    timer_ = new QTimer(this);
    timer_->setObjectName("Timer1");
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] { form_->Timer1Timer(); });
    timer_->start();
}

QtAdminWindow::~QtAdminWindow() = default;

void QtAdminWindow::build(const ui::FormSpec& form) {
    ui::useWindowFont();
    setObjectName(qstring(form.name));
    setWindowTitle(qstring(form.caption));
    setFont(ui::windowFont());
    // A fixed dialog frame: title and close box, no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(form.clientWidth, form.clientHeight);
    move(form.left, form.top);

    for (const ui::ControlSpec& design : form.controls) {
        if (!ui::isVisual(design.kind)) {
            continue;  // the timer is armed below; the manifest is the platform's style
        }
        QWidget* parent = design.parent.empty() ? this : &at(design.parent);
        QWidget* widget = make(design, parent);
        widget->setObjectName(qstring(design.name));
        widget->setGeometry(design.left, design.top, design.width, design.height);
        widget->setEnabled(design.enabled);
        widget->setVisible(design.visible);
        controls_.emplace(std::string(design.name), widget);
        if (design.kind == ControlKind::Label && !design.wordWrap) {
            if (design.align == ui::Align::Right) {
                designedRightEdges_.emplace(std::string(design.name), design.left + design.width);
            }
            fitLabel(design.name);
        }
    }

    const std::vector<const ui::ControlSpec*> sequence = ui::tabSequence(form);
    for (std::size_t i = 1; i < sequence.size(); ++i) {
        setTabOrder(&at(sequence[i - 1]->name), &at(sequence[i]->name));
    }
}

QWidget* QtAdminWindow::make(const ui::ControlSpec& design, QWidget* parent) {
    switch (design.kind) {
        case ControlKind::Label:
            return makeLabel(design, parent);
        case ControlKind::Memo:
            return makeMemo(design, parent);
        case ControlKind::PushButton:
            return makePushButton(design, parent);
        case ControlKind::GroupBox:
            return new QGroupBox(qstring(design.caption), parent);
        case ControlKind::RadioButton:
            return makeRadioButton(design, parent);
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(qstring(design.caption), parent);
            box->setStyle(DialogStyle::instance());
            return box;
        }
        case ControlKind::Edit:
            return makeEdit(design, parent);
        case ControlKind::SpinEdit: {
            auto* spin = new SpinEdit(parent);
            spin->edit()->setText(qstring(design.caption));
            return spin;
        }
        case ControlKind::Panel:
            return makePanel(design, parent);
        case ControlKind::Timer:
        case ControlKind::Manifest:
            break;
    }
    throw std::logic_error("no widget for control " + std::string(design.name));
}

void QtAdminWindow::fitLabel(std::string_view name) {
    auto* label = qobject_cast<QLabel*>(&at(name));
    if (label == nullptr || label->wordWrap()) {
        return;
    }
    // Labels fit their text; a right-aligned one keeps its right edge where the form put it.
    const QSize size = ui::labelTextSize(label->font(), label->text());
    const auto rightEdge = designedRightEdges_.find(name);
    const int left =
        rightEdge != designedRightEdges_.end() ? rightEdge->second - size.width() : label->x();
    label->setGeometry(left, label->y(), size.width(), size.height());
}

QWidget* QtAdminWindow::control(std::string_view name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

QWidget& QtAdminWindow::at(std::string_view name) const {
    QWidget* widget = control(name);
    if (widget == nullptr) {
        throw std::out_of_range("no control named " + std::string(name));
    }
    return *widget;
}

void QtAdminWindow::setWindowCaption(std::string_view text) {
    setWindowTitle(qstring(text));
}

std::string QtAdminWindow::text(std::string_view name) const {
    QWidget& widget = at(name);
    if (auto* spin = qobject_cast<SpinEdit*>(&widget)) {
        return utf8(spin->edit()->text());
    }
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        return utf8(edit->text());
    }
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        return utf8(label->text());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        return utf8(button->text());
    }
    if (auto* group = qobject_cast<QGroupBox*>(&widget)) {
        return utf8(group->title());
    }
    if (auto* panel = qobject_cast<ui::Panel*>(&widget)) {
        return utf8(panel->caption());
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(&widget)) {
        return utf8(memo->toPlainText());
    }
    return {};
}

void QtAdminWindow::setText(std::string_view name, std::string_view text) {
    QWidget& widget = at(name);
    const QString value = qstring(text);
    if (auto* spin = qobject_cast<SpinEdit*>(&widget)) {
        spin->edit()->setText(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        edit->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(&widget)) {
        label->setText(value);
        fitLabel(name);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        button->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(&widget)) {
        group->setTitle(value);
    } else if (auto* panel = qobject_cast<ui::Panel*>(&widget)) {
        panel->setCaption(value);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(&widget)) {
        memo->setPlainText(value);
    }
}

std::string QtAdminWindow::hint(std::string_view name) const {
    at(name);
    const auto found = hints_.find(name);
    return found == hints_.end() ? std::string() : found->second;
}

void QtAdminWindow::setHint(std::string_view name, std::string_view text) {
    at(name);
    hints_[std::string(name)] = std::string(text);  // no tooltip: hints are never shown
}

bool QtAdminWindow::isChecked(std::string_view name) const {
    auto* button = qobject_cast<QAbstractButton*>(&at(name));
    return button != nullptr && button->isChecked();
}

void QtAdminWindow::setChecked(std::string_view name, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(&at(name));
    if (button == nullptr) {
        return;
    }
    const QSignalBlocker noHandlers(button);  // this control alone changes, no handler runs
    button->setChecked(checked);
}

bool QtAdminWindow::isEnabled(std::string_view name) const {
    return at(name).isEnabled();
}

void QtAdminWindow::setEnabled(std::string_view name, bool enabled) {
    at(name).setEnabled(enabled);
}

int QtAdminWindow::lineCount(std::string_view memo) const {
    auto* widget = qobject_cast<QPlainTextEdit*>(&at(memo));
    return widget == nullptr ? 0 : memoLineCount(*widget);
}

std::string QtAdminWindow::line(std::string_view memo, int index) const {
    auto* widget = qobject_cast<QPlainTextEdit*>(&at(memo));
    if (widget == nullptr) {
        return {};
    }
    const QTextBlock block = widget->document()->findBlockByNumber(index);
    return block.isValid() ? utf8(block.text()) : std::string();
}

void QtAdminWindow::setLine(std::string_view memo, int index, std::string_view text) {
    auto* widget = qobject_cast<QPlainTextEdit*>(&at(memo));
    if (widget == nullptr) {
        return;
    }
    const QTextBlock block = widget->document()->findBlockByNumber(index);
    if (!block.isValid()) {
        return;
    }
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(qstring(text));
}

void QtAdminWindow::appendLine(std::string_view memo, std::string_view text) {
    if (auto* widget = qobject_cast<QPlainTextEdit*>(&at(memo))) {
        widget->appendPlainText(qstring(text));
    }
}

void QtAdminWindow::closeEvent(QCloseEvent* event) {
    // A settings file that cannot be written keeps the window open; the next close tries again.
    if (form_->FormClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void QtAdminWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        at("Button1").setFocus();  // the first control of the tab order
    }
    form_->FormShow();
}

void QtAdminWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        form_->regionalSettingsChanged();
    }
    QWidget::changeEvent(event);
}

}  // namespace veltrona::app
