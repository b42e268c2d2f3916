#include "ui/FormTranslator.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "MemoryFormView.h"

namespace veltrona::ui {
namespace {

using testing::MemoryFormView;
using Lines = std::vector<std::string>;

ControlSpec control(std::string_view name, ControlKind kind, std::string_view parent,
                    std::string_view caption = {}) {
    ControlSpec design;
    design.name = name;
    design.kind = kind;
    design.parent = parent;
    design.caption = caption;
    return design;
}

// A small window shaped like the administration window: controls nested in a group box
// and a panel, a timer, and memos with and without a break after their last line.
const std::array<ControlSpec, 13> kControls{{
    control("Label1", ControlKind::Label, {}, "Server Status"),
    control("Button1", ControlKind::PushButton, {}, "Zarvo Server stoppen"),
    control("GroupBox3", ControlKind::GroupBox, {}, "Ueberlaufmanagement"),
    control("RadioButton2", ControlKind::RadioButton, "GroupBox3", "Uncompressed"),
    control("Edit1", ControlKind::Edit, "GroupBox3", "AET"),
    control("Panel2", ControlKind::Panel, "GroupBox3"),
    control("Label3", ControlKind::Label, "Panel2", "Maximal"),
    control("SpinEdit2", ControlKind::SpinEdit, "Panel2", "0"),
    control("CheckBox1", ControlKind::CheckBox, {}, "Verbose mode"),
    control("SStatus", ControlKind::Memo, {}),
    control("ServerMessage", ControlKind::Memo, {}, "m0\nm1\nm2\nm3\nm4\nm5\nm6\nm7\nm8"),
    control("Trailing", ControlKind::Memo, {}, "t0\nt1\n"),
    control("Timer1", ControlKind::Timer, {}),
}};

FormSpec makeForm() {
    FormSpec form;
    form.name = "ServerAdminForm";
    form.caption = "Zarvo Server Einstellungen";
    form.controls = kControls;
    return form;
}

const FormSpec kForm = makeForm();

const Lines kCatalogue = {"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8"};

Lines catalogueWith(std::size_t index, const std::string& text) {
    Lines lines = kCatalogue;
    lines[index] = text;
    return lines;
}

// The file's bytes read as Windows-1252 for the characters used here (Latin-1 range).
std::string latin1ToUtf8(std::string_view bytes) {
    std::string utf8;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

void translate(MemoryFormView& view, const std::string& sectionBody) {
    const auto file = TranslationFile::parse("[ServerAdminForm]\n" + sectionBody);
    translateForms({{&kForm, &view}}, file, latin1ToUtf8);
}

// A key and what it must change. `expect` edits an untranslated view into the expected
// one, so every other control is checked to be left alone; none expects no change.
struct TranslateCase {
    const char* name;
    const char* entries;  // the body of the window's section
    std::function<void(MemoryFormView&)> expect;
};

class TranslateWindow : public ::testing::TestWithParam<TranslateCase> {};

TEST_P(TranslateWindow, ChangesExactlyWhatTheKeyReaches) {
    const TranslateCase& c = GetParam();
    MemoryFormView translated(kForm);
    translate(translated, c.entries);
    MemoryFormView expected(kForm);
    if (c.expect) {
        c.expect(expected);
    }
    EXPECT_EQ(translated, expected);
}

auto caption(const char* text) {
    return [=](MemoryFormView& v) { v.setWindowCaption(text); };
}
auto text(const char* name, const char* value) {
    return [=](MemoryFormView& v) { v.setText(name, value); };
}
auto hint(const char* name, const char* value) {
    return [=](MemoryFormView& v) { v.setHint(name, value); };
}
auto catalogue(Lines lines) {
    return [=](MemoryFormView& v) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            v.setLine("ServerMessage", static_cast<int>(i), lines[i]);
        }
    };
}

const TranslateCase kTranslateCases[] = {
    {"WindowCaption", "ServerAdminForm.Caption=Zarvo Settings", caption("Zarvo Settings")},
    {"WindowCaptionEmptyKeeps", "ServerAdminForm.Caption=", nullptr},
    {"WindowHintHasNoEffect", "ServerAdminForm.Hint=window hint", nullptr},
    {"LabelCaption", "ServerAdminForm.Label1.Caption=Status", text("Label1", "Status")},
    {"CaptionDecodedFromCodePage",
     "ServerAdminForm.Label1.Caption=\xDC"
     "berlauf",
     text("Label1", "Überlauf")},
    {"QuotesStay", "ServerAdminForm.Label1.Caption=\"Status\"", text("Label1", "\"Status\"")},
    {"ButtonCaptionKeyInCapitals", "SERVERADMINFORM.BUTTON1.CAPTION=Stop server",
     text("Button1", "Stop server")},
    {"GroupBoxCaptionKeyInSmallLetters", "serveradminform.groupbox3.caption=Overflow",
     text("GroupBox3", "Overflow")},
    {"RadioButtonInGroupBox", "ServerAdminForm.RadioButton2.Caption=Raw",
     text("RadioButton2", "Raw")},
    {"CheckBoxCaption", "ServerAdminForm.CheckBox1.Caption=Verbose", text("CheckBox1", "Verbose")},
    {"PanelCaption", "ServerAdminForm.Panel2.Caption=Days", text("Panel2", "Days")},
    {"LabelInsidePanel", "ServerAdminForm.Label3.Caption=Maximum", text("Label3", "Maximum")},
    {"CaptionEmptyKeeps", "ServerAdminForm.Button1.Caption=", nullptr},
    {"LabelHint", "ServerAdminForm.Label1.Hint=the log", hint("Label1", "the log")},
    {"EditHint", "ServerAdminForm.Edit1.Hint=AE title", hint("Edit1", "AE title")},
    {"EditCaptionChangesNothing", "ServerAdminForm.Edit1.Caption=changed", nullptr},
    {"SpinEditHint", "ServerAdminForm.SpinEdit2.Hint=days", hint("SpinEdit2", "days")},
    {"SpinEditCaptionChangesNothing", "ServerAdminForm.SpinEdit2.Caption=7", nullptr},
    {"MemoHint", "ServerAdminForm.SStatus.Hint=log", hint("SStatus", "log")},
    {"ComponentTheFormDoesNotOwn", "ServerAdminForm.qt_spinbox_lineedit.Hint=inner", nullptr},
    {"TimerHasNoTextProperty", "ServerAdminForm.Timer1.Caption=x\nServerAdminForm.Timer1.Hint=x",
     nullptr},
    {"MemoLineReplaced", "ServerAdminForm.ServerMessage.lines[5]=Start failed",
     catalogue(catalogueWith(5, "Start failed"))},
    {"MemoLineBlankedByEmptyValue",
     "ServerAdminForm.ServerMessage.lines[3]=", catalogue(catalogueWith(3, ""))},
    {"MemoLineFsdefKeeps", "ServerAdminForm.ServerMessage.lines[3]=fsdef", nullptr},
    {"MemoLineFsdefInCapitalsReplaces", "ServerAdminForm.ServerMessage.lines[3]=FSDEF",
     catalogue(catalogueWith(3, "FSDEF"))},
    {"MemoLineKeyWithCapitalL", "ServerAdminForm.ServerMessage.Lines[1]=Stopped",
     catalogue(catalogueWith(1, "Stopped"))},
    {"MemoLastLine", "ServerAdminForm.ServerMessage.lines[8]=Wrong!",
     catalogue(catalogueWith(8, "Wrong!"))},
    // The view throws for a line it does not hold, so these also show the key is not used.
    {"MemoLineNineNeverConsulted", "ServerAdminForm.ServerMessage.lines[9]=tenth", nullptr},
    {"EmptyMemoHasNoLineZero", "ServerAdminForm.SStatus.lines[0]=first", nullptr},
    {"FinalBreakOpensNoLine", "ServerAdminForm.Trailing.lines[2]=third", nullptr},
    {"MemoCaptionChangesNothing", "ServerAdminForm.ServerMessage.Caption=all", nullptr},
    {"ItemsKeysHaveNoEffect", "ServerAdminForm.ServerMessage.items[0]=item", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Keys, TranslateWindow, ::testing::ValuesIn(kTranslateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TranslateForms, ComparesMemoValuesWithFsdefBeforeDecoding) {
    MemoryFormView view(kForm);
    const auto file =
        TranslationFile::parse("[ServerAdminForm]\nServerAdminForm.ServerMessage.lines[2]=FSDEF\n");
    const TextDecoder lowerCasing = [](std::string_view bytes) {
        std::string lower(bytes);
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return lower;
    };
    translateForms({{&kForm, &view}}, file, lowerCasing);
    EXPECT_EQ(view.lines("ServerMessage"), catalogueWith(2, "fsdef"));
}

TEST(TranslateForms, UsesEachWindowsOwnSectionOnlyAndSkipsMissingWindows) {
    FormSpec otherForm = kForm;
    otherForm.name = "OtherForm";
    MemoryFormView first(kForm);
    MemoryFormView second(otherForm);
    const auto file = TranslationFile::parse(
        "[ServerAdminForm]\nServerAdminForm.Caption=first\nOtherForm.Caption=misplaced\n"
        "[OtherForm]\nOtherForm.Button1.Caption=second\n");
    translateForms(
        {{nullptr, &first}, {&kForm, &first}, {&otherForm, nullptr}, {&otherForm, &second}}, file,
        latin1ToUtf8);
    EXPECT_EQ(first.windowCaption(), "first");
    EXPECT_EQ(first.text("Button1"), "Zarvo Server stoppen");
    EXPECT_EQ(second.windowCaption(), "Zarvo Server Einstellungen");
    EXPECT_EQ(second.text("Button1"), "second");
}

TEST(TranslateForms, FileWithoutTheWindowsSectionChangesNothing) {
    for (const char* content : {"", "[Elsewhere]\nServerAdminForm.Caption=x\n"}) {
        MemoryFormView view(kForm);
        translateForms({{&kForm, &view}}, TranslationFile::parse(content), latin1ToUtf8);
        EXPECT_EQ(view, MemoryFormView(kForm)) << content;
    }
}

struct SetPropertyCase {
    const char* name;
    const char* component;
    const char* property;
    const char* value;
    bool set;
};

class SetTextProperty : public ::testing::TestWithParam<SetPropertyCase> {};

TEST_P(SetTextProperty, SetsOnlyTextPropertiesTheKindHas) {
    const SetPropertyCase& c = GetParam();
    MemoryFormView view(kForm);
    EXPECT_EQ(setTextProperty(view, *kForm.find(c.component), c.property, c.value), c.set);
    MemoryFormView expected(kForm);
    if (c.set) {
        const std::string property = c.property;
        if (property == "HINT" || property == "Hint") {
            expected.setHint(c.component, c.value);
        } else {
            expected.setText(c.component, c.value);
        }
    }
    EXPECT_EQ(view, expected);
}

const SetPropertyCase kSetPropertyCases[] = {
    {"LabelCaption", "Label1", "Caption", "x", true},
    {"PropertyNameInSmallLetters", "Label1", "caption", "x", true},
    {"PropertyNameInCapitals", "Edit1", "HINT", "x", true},
    {"EmptyValue", "Label1", "Caption", "", false},
    {"UnknownProperty", "Label1", "Text", "x", false},
    {"EditHasNoCaption", "Edit1", "Caption", "x", false},
    {"TimerHasNoHint", "Timer1", "Hint", "x", false},
};

INSTANTIATE_TEST_SUITE_P(Table, SetTextProperty, ::testing::ValuesIn(kSetPropertyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltrona::ui
