#include "ui/FormTranslator.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/Panel.h"

namespace veltrona::ui {
namespace {

const QStringList kCatalogue = {"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8"};

template <typename T>
T* add(QObject* parent, const char* name) {
    auto* object = new T(qobject_cast<QWidget*>(parent));
    object->setObjectName(name);
    return object;
}

// A small window shaped like the administration window: controls nested in a group box and
// a panel, as the form builds them, plus a timer and two memos.
std::unique_ptr<QWidget> makeWindow() {
    auto window = std::make_unique<QWidget>();
    window->setObjectName("ServerAdminForm");
    window->setWindowTitle("Zarvo Server Einstellungen");

    add<QLabel>(window.get(), "Label1")->setText("Server Status");
    add<QPushButton>(window.get(), "Button1")->setText("Zarvo Server stoppen");
    auto* group = add<QGroupBox>(window.get(), "GroupBox3");
    group->setTitle("Ueberlaufmanagement");
    add<QRadioButton>(group, "RadioButton2")->setText("Uncompressed");
    add<QLineEdit>(group, "Edit1")->setText("AET");
    auto* panel = add<Panel>(group, "Panel2");
    add<QLabel>(panel, "Label3")->setText("Maximal");
    add<QSpinBox>(panel, "SpinEdit2");
    add<QCheckBox>(window.get(), "CheckBox1")->setText("Verbose mode");
    add<QPlainTextEdit>(window.get(), "SStatus");
    add<QPlainTextEdit>(window.get(), "ServerMessage")->setPlainText(kCatalogue.join('\n'));
    auto* trailing = add<QPlainTextEdit>(window.get(), "Trailing");
    trailing->setPlainText("t0\nt1\n");  // two lines; the final break opens no third
    auto* timer = new QTimer(window.get());
    timer->setObjectName("Timer1");
    return window;
}

template <typename T>
T* find(QWidget& window, const char* name) {
    T* object = window.findChild<T*>(name);
    EXPECT_NE(object, nullptr) << name;
    return object;
}

QStringList memoLines(QWidget& window, const char* name) {
    QStringList lines;
    const QTextDocument* document = find<QPlainTextEdit>(window, name)->document();
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
        lines << b.text();
    }
    return lines;
}

QStringList catalogueWith(int index, const QString& text) {
    QStringList lines = kCatalogue;
    lines[index] = text;
    return lines;
}

QString latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

struct TranslateCase {
    const char* name;
    const char* entries;  // the body of the window's section
    std::function<QVariant(QWidget&)> observe;
    QVariant expected;
};

class TranslateWindow : public ::testing::TestWithParam<TranslateCase> {};

TEST_P(TranslateWindow, AppliesTheFileToTheWindow) {
    const TranslateCase& c = GetParam();
    auto window = makeWindow();
    const auto file = TranslationFile::parse(std::string("[ServerAdminForm]\n") + c.entries);
    translateForms({nullptr, window.get(), nullptr}, file, latin1);
    EXPECT_EQ(c.observe(*window), c.expected);
}

QVariant title(QWidget& w) {
    return w.windowTitle();
}
QVariant toolTipOf(QWidget& w) {
    return w.toolTip();
}
template <typename T>
std::function<QVariant(QWidget&)> property(const char* name, const char* qtProperty) {
    return [=](QWidget& w) { return find<T>(w, name)->property(qtProperty); };
}
std::function<QVariant(QWidget&)> lines(const char* name) {
    return [=](QWidget& w) { return memoLines(w, name); };
}

const TranslateCase kTranslateCases[] = {
    {"WindowCaption", "ServerAdminForm.Caption=Zarvo Settings", title, "Zarvo Settings"},
    {"WindowCaptionEmptyKeeps", "ServerAdminForm.Caption=", title, "Zarvo Server Einstellungen"},
    {"WindowHintHasNoEffect", "ServerAdminForm.Hint=window hint", toolTipOf, ""},
    {"LabelCaption", "ServerAdminForm.Label1.Caption=Status", property<QLabel>("Label1", "text"),
     "Status"},
    {"CaptionDecodedFromCodePage",
     "ServerAdminForm.Label1.Caption=\xDC"
     "berlauf",
     property<QLabel>("Label1", "text"), QString::fromUtf8("Überlauf")},
    {"QuotesStay", "ServerAdminForm.Label1.Caption=\"Status\"", property<QLabel>("Label1", "text"),
     "\"Status\""},
    {"ButtonCaption", "SERVERADMINFORM.BUTTON1.CAPTION=Stop server",
     property<QPushButton>("Button1", "text"), "Stop server"},
    {"GroupBoxCaption", "serveradminform.groupbox3.caption=Overflow",
     property<QGroupBox>("GroupBox3", "title"), "Overflow"},
    {"RadioButtonInGroupBox", "ServerAdminForm.RadioButton2.Caption=Raw",
     property<QRadioButton>("RadioButton2", "text"), "Raw"},
    {"CheckBoxCaption", "ServerAdminForm.CheckBox1.Caption=Verbose",
     property<QCheckBox>("CheckBox1", "text"), "Verbose"},
    {"PanelCaption", "ServerAdminForm.Panel2.Caption=Days", property<Panel>("Panel2", "caption"),
     "Days"},
    {"LabelInsidePanel", "ServerAdminForm.Label3.Caption=Maximum",
     property<QLabel>("Label3", "text"), "Maximum"},
    {"CaptionEmptyKeeps", "ServerAdminForm.Button1.Caption=",
     property<QPushButton>("Button1", "text"), "Zarvo Server stoppen"},
    {"LabelHint", "ServerAdminForm.Label1.Hint=the log", property<QLabel>("Label1", "toolTip"),
     "the log"},
    {"EditHint", "ServerAdminForm.Edit1.Hint=AE title", property<QLineEdit>("Edit1", "toolTip"),
     "AE title"},
    {"EditCaptionChangesNothing", "ServerAdminForm.Edit1.Caption=changed",
     property<QLineEdit>("Edit1", "text"), "AET"},
    {"SpinEditHint", "ServerAdminForm.SpinEdit2.Hint=days",
     property<QSpinBox>("SpinEdit2", "toolTip"), "days"},
    {"MemoHint", "ServerAdminForm.SStatus.Hint=log", property<QPlainTextEdit>("SStatus", "toolTip"),
     "log"},
    {"SpinBoxInnerEditUntouched", "ServerAdminForm.qt_spinbox_lineedit.Hint=inner",
     [](QWidget& w) { return find<QSpinBox>(w, "SpinEdit2")->findChild<QLineEdit*>()->toolTip(); },
     ""},
    {"TimerHasNoTextProperty", "ServerAdminForm.Timer1.Caption=x\nServerAdminForm.Timer1.Hint=x",
     [](QWidget& w) { return find<QTimer>(w, "Timer1")->dynamicPropertyNames().size(); }, 0},
    {"MemoLineReplaced", "ServerAdminForm.ServerMessage.lines[5]=Start failed",
     lines("ServerMessage"), catalogueWith(5, "Start failed")},
    {"MemoLineBlankedByEmptyValue",
     "ServerAdminForm.ServerMessage.lines[3]=", lines("ServerMessage"), catalogueWith(3, "")},
    {"MemoLineFsdefKeeps", "ServerAdminForm.ServerMessage.lines[3]=fsdef", lines("ServerMessage"),
     kCatalogue},
    {"MemoLineFsdefInCapitalsReplaces", "ServerAdminForm.ServerMessage.lines[3]=FSDEF",
     lines("ServerMessage"), catalogueWith(3, "FSDEF")},
    {"MemoLineKeyWithCapitalL", "ServerAdminForm.ServerMessage.Lines[1]=Stopped",
     lines("ServerMessage"), catalogueWith(1, "Stopped")},
    {"MemoLastLine", "ServerAdminForm.ServerMessage.lines[8]=Wrong!", lines("ServerMessage"),
     catalogueWith(8, "Wrong!")},
    {"MemoLineNineNeverConsulted", "ServerAdminForm.ServerMessage.lines[9]=tenth",
     lines("ServerMessage"), kCatalogue},
    {"EmptyMemoHasNoLineZero", "ServerAdminForm.SStatus.lines[0]=first", lines("SStatus"),
     QStringList{""}},
    {"FinalBreakOpensNoLine", "ServerAdminForm.Trailing.lines[2]=third", lines("Trailing"),
     (QStringList{"t0", "t1", ""})},
    {"ItemsKeysHaveNoEffect", "ServerAdminForm.ServerMessage.items[0]=item", lines("ServerMessage"),
     kCatalogue},
};

INSTANTIATE_TEST_SUITE_P(Keys, TranslateWindow, ::testing::ValuesIn(kTranslateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TranslateForms, ComparesMemoValuesWithFsdefBeforeDecoding) {
    auto window = makeWindow();
    const auto file =
        TranslationFile::parse("[ServerAdminForm]\nServerAdminForm.ServerMessage.lines[2]=FSDEF\n");
    const TextDecoder lowerCasing = [](std::string_view bytes) { return latin1(bytes).toLower(); };
    translateForms({window.get()}, file, lowerCasing);
    EXPECT_EQ(memoLines(*window, "ServerMessage"), catalogueWith(2, "fsdef"));
}

TEST(TranslateForms, UsesEachWindowsOwnSectionOnly) {
    auto first = makeWindow();
    auto second = makeWindow();
    second->setObjectName("OtherForm");
    const auto file = TranslationFile::parse(
        "[ServerAdminForm]\nServerAdminForm.Caption=first\nOtherForm.Caption=misplaced\n"
        "[OtherForm]\nOtherForm.Button1.Caption=second\n");
    translateForms({first.get(), second.get()}, file, latin1);
    EXPECT_EQ(first->windowTitle(), "first");
    EXPECT_EQ(second->windowTitle(), "Zarvo Server Einstellungen");
    EXPECT_EQ(find<QPushButton>(*second, "Button1")->text(), "second");
    EXPECT_EQ(find<QPushButton>(*first, "Button1")->text(), "Zarvo Server stoppen");
}

TEST(TranslateForms, FileWithoutTheWindowsSectionChangesNothing) {
    auto window = makeWindow();
    for (const char* content : {"", "[Elsewhere]\nServerAdminForm.Caption=x\n"}) {
        translateForms({window.get()}, TranslationFile::parse(content), latin1);
        EXPECT_EQ(window->windowTitle(), "Zarvo Server Einstellungen");
        EXPECT_EQ(memoLines(*window, "ServerMessage"), kCatalogue);
    }
}

struct SetPropertyCase {
    const char* name;
    std::function<QObject*(QWidget&)> component;
    const char* property;
    QString value;
    bool set;
};

class SetTextProperty : public ::testing::TestWithParam<SetPropertyCase> {};

TEST_P(SetTextProperty, SetsOnlyTextPropertiesTheKindHas) {
    const SetPropertyCase& c = GetParam();
    auto window = makeWindow();
    QObject* component = c.component(*window);
    const QVariant before = component ? component->property("text") : QVariant();
    EXPECT_EQ(setTextProperty(component, c.property, c.value), c.set);
    if (component != nullptr && !c.set) {
        EXPECT_EQ(component->property("text"), before);
        EXPECT_EQ(component->property("toolTip").toString(), QString());
    }
}

template <typename T>
std::function<QObject*(QWidget&)> named(const char* name) {
    return [=](QWidget& w) -> QObject* { return find<T>(w, name); };
}

const SetPropertyCase kSetPropertyCases[] = {
    {"LabelCaption", named<QLabel>("Label1"), "Caption", "x", true},
    {"PropertyNameInSmallLetters", named<QLabel>("Label1"), "caption", "x", true},
    {"PropertyNameInCapitals", named<QLineEdit>("Edit1"), "HINT", "x", true},
    {"EmptyValue", named<QLabel>("Label1"), "Caption", "", false},
    {"UnknownProperty", named<QLabel>("Label1"), "Text", "x", false},
    {"EditHasNoCaption", named<QLineEdit>("Edit1"), "Caption", "x", false},
    {"TimerHasNoHint", named<QTimer>("Timer1"), "Hint", "x", false},
    {"NoComponent", [](QWidget&) -> QObject* { return nullptr; }, "Caption", "x", false},
};

INSTANTIATE_TEST_SUITE_P(Table, SetTextProperty, ::testing::ValuesIn(kSetPropertyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltrona::ui
