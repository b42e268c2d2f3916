#include "QtFormWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <limits>
#include <stdexcept>

#include "DialogStyle.h"
#include "Label.h"
#include "Panel.h"
#include "RadioButton.h"
#include "SpinEdit.h"
#include "WindowFont.h"
#include "ui/MemoText.h"

namespace veltrona::ui {

namespace {

QString qstring(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

Qt::Alignment alignmentOf(Align align) {
    switch (align) {
        case Align::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case Align::Center:
            return Qt::AlignHCenter | Qt::AlignTop;
        case Align::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QWidget* makeLabel(const ControlSpec& design, QWidget* parent) {
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

QWidget* makeMemo(const ControlSpec& design, QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setReadOnly(true);
    // Read-only for the user, yet its text can be selected and copied, by mouse or keys.
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setTabChangesFocus(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setPlainText(qstring(memoText(memoLines(design.caption))));
    return memo;
}

QWidget* makePushButton(const ControlSpec& design, QWidget* parent) {
    auto* button = new QPushButton(qstring(design.caption), parent);
    // Enter presses the focused button, as in a dialog.
    button->setAutoDefault(true);
    return button;
}

QWidget* makeRadioButton(const FormSpec& form, const ControlSpec& design, QWidget* parent) {
    const RadioGroup* group = form.groupOf(design.name);
    auto* button =
        new RadioButton(design.wordWrap, group ? qstring(group->name) : QString(), parent);
    button->setText(qstring(design.caption));
    button->setStyle(DialogStyle::instance());
    return button;
}

QWidget* makeEdit(const ControlSpec& /*design*/, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(std::numeric_limits<int>::max());  // nothing the user wrote is cut
    return edit;
}

QWidget* makePanel(const ControlSpec& design, QWidget* parent) {
    auto* panel = new Panel(parent);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(design.bevel == Bevel::Raised ? QFrame::Raised : QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setCaption(qstring(design.caption));
    return panel;
}

}  // namespace

QtFormWindow::QtFormWindow(const FormSpec& form, QWidget* parent) : QWidget(parent), form_(form) {
    build();
}

QtFormWindow::~QtFormWindow() = default;

void QtFormWindow::build() {
    useWindowFont();  // the face may be the one the program brings
    setObjectName(qstring(form_.name));
    setWindowTitle(qstring(form_.caption));
    setFont(QFont(qstring(form_.fontFamily), form_.fontPointSize));
    // A fixed dialog frame: title and close box, no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(form_.clientWidth, form_.clientHeight);
    move(form_.left, form_.top);

    for (const ControlSpec& design : form_.controls) {
        if (design.kind == ControlKind::Timer) {
            armTimer(design);
        }
        if (!isVisual(design.kind)) {
            continue;  // the manifest is the platform's style
        }
        QWidget* parent = design.parent.empty() ? this : &at(design.parent);
        QWidget* widget = make(design, parent);
        widget->setObjectName(qstring(design.name));
        widget->setGeometry(design.left, design.top, design.width, design.height);
        widget->setEnabled(design.enabled);
        widget->setVisible(design.visible);
        controls_.emplace(std::string(design.name), widget);
        report(design);
        if (design.kind == ControlKind::Label && !design.wordWrap) {
            if (design.align == Align::Right) {
                designedRightEdges_.emplace(std::string(design.name), design.left + design.width);
            }
            fitLabel(design.name);
        }
    }

    const std::vector<const ControlSpec*> sequence = tabSequence(form_);
    for (std::size_t i = 1; i < sequence.size(); ++i) {
        setTabOrder(&at(sequence[i - 1]->name), &at(sequence[i]->name));
    }
}

void QtFormWindow::armTimer(const ControlSpec& design) {
    // Armed with the window, before any handler runs. A tick that falls due while one is
    // still pending is merged into it.
    auto* timer = new QTimer(this);
    timer->setObjectName(qstring(design.name));
    timer->setInterval(design.interval);
    const std::string name(design.name);
    connect(timer, &QTimer::timeout, this, [this, name] {
        if (events_ != nullptr) {
            events_->controlEvent(name, ControlEvent::Tick);
        }
    });
    timers_.emplace(name, timer);
    if (design.enabled) {
        timer->start();
    }
}

void QtFormWindow::report(const ControlSpec& design) {
    const std::string name(design.name);
    const auto send = [this, name](ControlEvent event) {
        if (events_ != nullptr) {
            events_->controlEvent(name, event);
        }
    };
    QWidget& widget = at(name);
    switch (eventOf(design.kind)) {
        case ControlEvent::Click:
            connect(qobject_cast<QAbstractButton*>(&widget), &QAbstractButton::clicked, this,
                    [send] { send(ControlEvent::Click); });
            break;
        case ControlEvent::Change: {
            auto* edit = design.kind == ControlKind::SpinEdit
                             ? qobject_cast<SpinEdit*>(&widget)->edit()
                             : qobject_cast<QLineEdit*>(&widget);
            connect(edit, &QLineEdit::textChanged, this, [send] { send(ControlEvent::Change); });
            break;
        }
        default:
            break;
    }
}

QWidget* QtFormWindow::make(const ControlSpec& design, QWidget* parent) {
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
            return makeRadioButton(form_, design, parent);
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

void QtFormWindow::fitLabel(std::string_view name) {
    auto* label = qobject_cast<QLabel*>(&at(name));
    if (label == nullptr || label->wordWrap()) {
        return;
    }
    // Labels fit their text; a right-aligned one keeps its right edge where the form put it.
    const QSize size = labelTextSize(label->font(), label->text());
    const auto rightEdge = designedRightEdges_.find(name);
    const int left =
        rightEdge != designedRightEdges_.end() ? rightEdge->second - size.width() : label->x();
    label->setGeometry(left, label->y(), size.width(), size.height());
}

QWidget* QtFormWindow::control(std::string_view name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

QTimer* QtFormWindow::timer(std::string_view name) const {
    const auto found = timers_.find(name);
    return found == timers_.end() ? nullptr : found->second;
}

QWidget& QtFormWindow::at(std::string_view name) const {
    QWidget* widget = control(name);
    if (widget == nullptr) {
        throw std::out_of_range("no control named " + std::string(name));
    }
    return *widget;
}

QPlainTextEdit& QtFormWindow::memoAt(std::string_view memo) const {
    auto* widget = qobject_cast<QPlainTextEdit*>(&at(memo));
    if (widget == nullptr) {
        throw std::out_of_range(std::string(memo) + " is no memo");
    }
    return *widget;
}

void QtFormWindow::show() {
    QWidget::show();
}

std::string QtFormWindow::focusedControl() const {
    for (const QWidget* focused = QApplication::focusWidget(); focused != nullptr;
         focused = focused->parentWidget()) {
        for (const auto& [name, widget] : controls_) {
            if (widget == focused) {
                return name;
            }
        }
    }
    return {};
}

int QtFormWindow::runMessageLoop() {
    return QApplication::exec();
}

void QtFormWindow::setWindowCaption(std::string_view text) {
    setWindowTitle(qstring(text));
}

std::string QtFormWindow::text(std::string_view name) const {
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
    if (auto* panel = qobject_cast<Panel*>(&widget)) {
        return utf8(panel->caption());
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(&widget)) {
        return utf8(memo->toPlainText());
    }
    return {};
}

void QtFormWindow::setText(std::string_view name, std::string_view text) {
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
    } else if (auto* panel = qobject_cast<Panel*>(&widget)) {
        panel->setCaption(value);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(&widget)) {
        memo->setPlainText(qstring(memoText(memoLines(text))));
    }
}

std::string QtFormWindow::hint(std::string_view name) const {
    at(name);
    const auto found = hints_.find(name);
    return found == hints_.end() ? std::string() : found->second;
}

void QtFormWindow::setHint(std::string_view name, std::string_view text) {
    at(name);
    hints_[std::string(name)] = std::string(text);  // no tooltip: hints are never shown
}

bool QtFormWindow::isChecked(std::string_view name) const {
    auto* button = qobject_cast<QAbstractButton*>(&at(name));
    return button != nullptr && button->isChecked();
}

void QtFormWindow::setChecked(std::string_view name, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(&at(name));
    if (button == nullptr) {
        return;
    }
    const QSignalBlocker noHandlers(button);  // this control alone changes, no handler runs
    button->setChecked(checked);
}

bool QtFormWindow::isEnabled(std::string_view name) const {
    return at(name).isEnabled();
}

void QtFormWindow::setEnabled(std::string_view name, bool enabled) {
    at(name).setEnabled(enabled);
}

// The memo's document holds its lines each ended by a break, so its last block is the
// empty one after the final break and is no line.
int QtFormWindow::lineCount(std::string_view memo) const {
    return memoAt(memo).document()->blockCount() - 1;
}

std::string QtFormWindow::line(std::string_view memo, int index) const {
    if (index < 0 || index >= lineCount(memo)) {
        throw std::out_of_range(std::string(memo) + " has no line " + std::to_string(index));
    }
    return utf8(memoAt(memo).document()->findBlockByNumber(index).text());
}

void QtFormWindow::setLine(std::string_view memo, int index, std::string_view text) {
    if (index < 0 || index >= lineCount(memo)) {
        throw std::out_of_range(std::string(memo) + " has no line " + std::to_string(index));
    }
    QTextCursor cursor(memoAt(memo).document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(qstring(text));
}

void QtFormWindow::appendLine(std::string_view memo, std::string_view text) {
    QPlainTextEdit& widget = memoAt(memo);
    // A log that shows its end keeps showing it.
    QScrollBar* scrollBar = widget.verticalScrollBar();
    const bool atEnd = scrollBar->value() == scrollBar->maximum();
    QTextCursor cursor(widget.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(qstring(text) + '\n');
    if (atEnd) {
        scrollBar->setValue(scrollBar->maximum());
    }
}

void QtFormWindow::closeEvent(QCloseEvent* event) {
    // A handler that refuses keeps the window open; the next close asks again.
    if (events_ == nullptr || events_->closeRequested()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void QtFormWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        if (QWidget* first = control(form_.firstFocus)) {
            first->setFocus();
        }
    }
}

void QtFormWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange && events_ != nullptr) {
        events_->regionalSettingsChanged();
    }
    QWidget::changeEvent(event);
}

}  // namespace veltrona::ui
