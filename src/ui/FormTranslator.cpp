#include "FormTranslator.h"

#include <string>

#include "config/text/AsciiCase.h"

namespace veltrona::ui {

namespace {

std::string indexedKey(const std::string& prefix, const char* list, int index) {
    return prefix + list + std::to_string(index) + "]";
}

void translateMemoLines(FormView& view, const ControlSpec& memo, const TranslationFile& file,
                        const std::string& section, const std::string& prefix,
                        const TextDecoder& decode) {
    // The default marks a line the file leaves alone; any other value, an empty one
    // included, replaces the line. The comparison is on the file's bytes, before decoding.
    static constexpr std::string_view kKeepLine = "fsdef";
    const int count = view.lineCount(memo.name);  // counted once, before any change
    for (int i = 0; i < count; ++i) {
        const std::string value = file.lookup(section, indexedKey(prefix, ".lines[", i), kKeepLine);
        if (value != kKeepLine) {
            view.setLine(memo.name, i, decode(value));
        }
    }
}

// Item-list controls (".items[i]" keys) would be translated here. No kind of control takes
// part yet, because no form holds one: when one is added, decide whether it follows the
// memo-line rule ("fsdef" default, any other value replaces) or the caption rule (empty
// default, only a non-empty value replaces) and loop over its items here.
void translateItems(FormView& /*view*/, const ControlSpec& /*component*/,
                    const TranslationFile& /*file*/, const std::string& /*section*/,
                    const std::string& /*prefix*/, const TextDecoder& /*decode*/) {}

void translateComponent(FormView& view, const ControlSpec& component, const TranslationFile& file,
                        const std::string& section, const TextDecoder& decode) {
    const std::string prefix = section + "." + std::string(component.name);

    const std::string caption = file.lookup(section, prefix + ".Caption", "");
    if (!caption.empty()) {
        setTextProperty(view, component, "Caption", decode(caption));
    }
    const std::string hint = file.lookup(section, prefix + ".Hint", "");
    if (!hint.empty()) {
        setTextProperty(view, component, "Hint", decode(hint));
    }
    if (component.kind == ControlKind::Memo) {
        translateMemoLines(view, component, file, section, prefix, decode);
    }
    translateItems(view, component, file, section, prefix, decode);
}

void translateForm(const FormSpec& form, FormView& view, const TranslationFile& file,
                   const TextDecoder& decode) {
    // Window and component names are ASCII identifiers: the same bytes in any code page.
    const std::string section(form.name);
    const std::string caption = file.lookup(section, section + ".Caption", "");
    if (!caption.empty()) {
        view.setWindowCaption(decode(caption));
    }
    for (const ControlSpec& component : form.controls) {
        translateComponent(view, component, file, section, decode);
    }
}

}  // namespace

void translateForms(const std::vector<TranslatableForm>& windows, const TranslationFile& file,
                    const TextDecoder& decode) {
    for (const TranslatableForm& window : windows) {
        if (window.form != nullptr && window.view != nullptr) {
            translateForm(*window.form, *window.view, file, decode);
        }
    }
}

bool setTextProperty(FormView& view, const ControlSpec& component, std::string_view property,
                     std::string_view value) {
    if (value.empty()) {
        return false;
    }
    if (config::equalsIgnoringAsciiCase(property, "Caption") && hasCaption(component.kind)) {
        view.setText(component.name, value);
        return true;
    }
    if (config::equalsIgnoringAsciiCase(property, "Hint") && hasHint(component.kind)) {
        view.setHint(component.name, value);
        return true;
    }
    return false;
}

}  // namespace veltrona::ui
