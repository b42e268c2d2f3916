#include "FormTranslator.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMetaProperty>
#include <QObject>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>
#include <array>
#include <string>

#include "Panel.h"

namespace veltrona::ui {

namespace {

// Which Qt property stands for the file's "Caption" and "Hint" on each kind of control.
// A component has the file's property when its class is, or derives from, the row's
// class; the first such row wins. Kinds not listed (edits, spin edits, memos) have a
// hint through QWidget but no caption, so a ".Caption" key leaves their content alone.
struct TextPropertyRow {
    const QMetaObject* kind;
    const char* fileProperty;
    const char* qtProperty;
};

const std::array<TextPropertyRow, 5>& textPropertyTable() {
    static const std::array<TextPropertyRow, 5> table{{
        {&QLabel::staticMetaObject, "Caption", "text"},
        {&QAbstractButton::staticMetaObject, "Caption", "text"},
        {&QGroupBox::staticMetaObject, "Caption", "title"},
        {&Panel::staticMetaObject, "Caption", "caption"},
        {&QWidget::staticMetaObject, "Hint", "toolTip"},
    }};
    return table;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto upper = [](char c) {
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        };
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

// Qt names the parts it builds inside its own widgets (a spin box's line edit, a memo's
// viewport and scroll bars) with this prefix; those parts belong to the control, not to
// the window.
bool isInternalPart(const QObject* object) {
    return object->objectName().startsWith(QLatin1String("qt_"));
}

// The components the window owns, in its own order: every named descendant, depth first,
// each object's children in the order they were created. Qt makes a form's controls
// children of their visual parents, and a form builds them in the order its description
// lists them, so this walk yields that order. Unnamed objects are passed over but their
// children are still visited; Qt's internal parts are passed over with all they hold.
void collectComponents(const QObject* parent, std::vector<QObject*>& components) {
    for (QObject* child : parent->children()) {
        if (isInternalPart(child)) {
            continue;
        }
        if (!child->objectName().isEmpty()) {
            components.push_back(child);
        }
        collectComponents(child, components);
    }
}

// A memo's lines as its owner sees them: an empty memo has none, and a break after the
// last line opens no further one.
int memoLineCount(const QPlainTextEdit& memo) {
    const QTextDocument* document = memo.document();
    int count = document->blockCount();
    if (count > 0 && document->lastBlock().text().isEmpty()) {
        --count;
    }
    return count;
}

void replaceMemoLine(QPlainTextEdit& memo, int index, const QString& text) {
    const QTextBlock block = memo.document()->findBlockByNumber(index);
    if (!block.isValid()) {
        return;
    }
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

std::string indexedKey(const std::string& prefix, const char* list, int index) {
    return prefix + list + std::to_string(index) + "]";
}

void translateMemoLines(QPlainTextEdit& memo, const TranslationFile& file,
                        const std::string& section, const std::string& prefix,
                        const TextDecoder& decode) {
    // The default marks a line the file leaves alone; any other value, an empty one
    // included, replaces the line. The comparison is on the file's bytes, before decoding.
    static constexpr std::string_view kKeepLine = "fsdef";
    const int count = memoLineCount(memo);
    for (int i = 0; i < count; ++i) {
        const std::string value = file.lookup(section, indexedKey(prefix, ".lines[", i), kKeepLine);
        if (value != kKeepLine) {
            replaceMemoLine(memo, i, decode(value));
        }
    }
}

// Item-list controls (".items[i]" keys) would be translated here. No kind of control takes
// part yet, because the window holds none: when one is added, decide whether it follows
// the memo-line rule ("fsdef" default, any other value replaces) or the caption rule
// (empty default, only a non-empty value replaces) and loop over its items here.
void translateItems(QObject* /*component*/, const TranslationFile& /*file*/,
                    const std::string& /*section*/, const std::string& /*prefix*/,
                    const TextDecoder& /*decode*/) {}

void translateComponent(QObject* component, const TranslationFile& file, const std::string& section,
                        const TextDecoder& decode) {
    const std::string prefix = section + "." + component->objectName().toStdString();

    const std::string caption = file.lookup(section, prefix + ".Caption", "");
    if (!caption.empty()) {
        setTextProperty(component, "Caption", decode(caption));
    }
    const std::string hint = file.lookup(section, prefix + ".Hint", "");
    if (!hint.empty()) {
        setTextProperty(component, "Hint", decode(hint));
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(component)) {
        translateMemoLines(*memo, file, section, prefix, decode);
    }
    translateItems(component, file, section, prefix, decode);
}

void translateForm(QWidget& window, const TranslationFile& file, const TextDecoder& decode) {
    // Window and component names are identifiers in ASCII, so their UTF-8 form is the
    // same bytes the file spells them with.
    const std::string section = window.objectName().toStdString();

    const std::string caption = file.lookup(section, section + ".Caption", "");
    if (!caption.empty()) {
        window.setWindowTitle(decode(caption));
    }

    // Collected once up front: whatever a translation might add is not visited.
    std::vector<QObject*> components;
    collectComponents(&window, components);
    for (QObject* component : components) {
        translateComponent(component, file, section, decode);
    }
}

}  // namespace

void translateForms(const std::vector<QWidget*>& windows, const TranslationFile& file,
                    const TextDecoder& decode) {
    for (QWidget* window : windows) {
        if (window != nullptr) {
            translateForm(*window, file, decode);
        }
    }
}

bool setTextProperty(QObject* component, std::string_view property, const QString& value) {
    if (component == nullptr || value.isEmpty()) {
        return false;
    }
    const QMetaObject* kind = component->metaObject();
    for (const TextPropertyRow& row : textPropertyTable()) {
        if (!equalsIgnoringAsciiCase(row.fileProperty, property) || !kind->inherits(row.kind)) {
            continue;
        }
        // A property that holds no text is left alone.
        const int index = kind->indexOfProperty(row.qtProperty);
        if (index < 0 || kind->property(index).metaType().id() != QMetaType::QString) {
            return false;
        }
        return kind->property(index).write(component, value);
    }
    return false;
}

}  // namespace veltrona::ui
