#include "SettingsSchema.h"

#include <array>
#include <stdexcept>

namespace veltrona::config {

namespace {

using S = ServerSettings;
using K = SettingKind;

constexpr SettingEntry text(std::string_view key, std::string_view separator,
                            std::string S::*holder, bool omittedWhenEmpty = false) {
    return {key, K::Text, separator, omittedWhenEmpty, holder};
}

constexpr SettingEntry flag(std::string_view key, std::string_view comment, bool S::*holder) {
    return {key, K::Flag, comment, false, nullptr, nullptr, holder};
}

constexpr SettingEntry choice(std::string_view key, std::string_view comment,
                              TransferSyntax syntax) {
    return {key, K::Choice, comment, false, nullptr, nullptr, nullptr, syntax};
}

constexpr std::array<SettingEntry, 15> kSchema{{
    text("-aet", " = ", &S::aeTitle),
    text("Port", " = ", &S::port),
    {"FIFOMax", K::Integer, " = ", false, nullptr, &S::fifoMax},
    {"FIFOMin", K::Integer, " = ", false, nullptr, &S::fifoMin},
    flag("RegNewOnView", "", &S::regNewOnView),
    {"MaxDaysLocal", K::OptionalInteger, " = ", false, nullptr, &S::maxDaysLocal,
     &S::maxDaysLocalChecked},
    text("-od", " = ", &S::imageFolder),
    text("-db", " = ", &S::database),
    // At most one choice is set, so their order among themselves is never seen.
    choice("+x=", "    # unkomprimiert", TransferSyntax::Uncompressed),
    choice("+xy", "    # Jpeg lossless 8bit (baseline)", TransferSyntax::JpegLossy),
    choice("+xs", "    # JPeg lossless", TransferSyntax::JpegLossless),
    choice("+xi", "    # ImplicitVR Little Endian only (Compatiblity mode)",
           TransferSyntax::ImplicitVR),
    flag("-dhl", "   # No DHCP available", &S::noDhcp),
    text("parameter", "=", &S::parameters, true),
    {"AdminPassword", K::Password, "=", true, &S::adminPassword},
}};

// A line matches a key by its beginning, so a key that began another would take that
// key's lines, depending on the order of testing.
constexpr bool noKeyBeginsAnother() {
    for (const SettingEntry& a : kSchema) {
        for (const SettingEntry& b : kSchema) {
            if (&a != &b && b.key.starts_with(a.key)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(noKeyBeginsAnother());

template <typename Matches>
const SettingEntry& findEntry(Matches matches) {
    for (const SettingEntry& entry : kSchema) {
        if (matches(entry)) {
            return entry;
        }
    }
    throw std::logic_error("no settings entry holds this member");
}

}  // namespace

std::span<const SettingEntry> settingsSchema() {
    return kSchema;
}

const SettingEntry* entryOfLine(std::string_view line) {
    for (const SettingEntry& entry : kSchema) {
        if (line.starts_with(entry.key)) {
            return &entry;
        }
    }
    return nullptr;
}

const SettingEntry& settingEntry(std::string S::*holder) {
    return findEntry([holder](const SettingEntry& e) { return e.text == holder; });
}

const SettingEntry& settingEntry(std::int32_t S::*holder) {
    return findEntry([holder](const SettingEntry& e) { return e.integer == holder; });
}

const SettingEntry& settingEntry(bool S::*holder) {
    return findEntry([holder](const SettingEntry& e) { return e.flag == holder; });
}

bool holdsSame(const SettingEntry& entry, const S& a, const S& b) {
    switch (entry.kind) {
        case K::Text:
        case K::Password:
            return a.*entry.text == b.*entry.text;
        case K::Integer:
            return a.*entry.integer == b.*entry.integer;
        case K::OptionalInteger:
            return a.*entry.flag == b.*entry.flag && a.*entry.integer == b.*entry.integer;
        case K::Flag:
            return a.*entry.flag == b.*entry.flag;
        case K::Choice:
            return a.transferSyntax == b.transferSyntax;
    }
    return true;
}

S withChanges(S current, const S& before, const S& after) {
    for (const SettingEntry& entry : kSchema) {
        if (holdsSame(entry, before, after)) {
            continue;
        }
        switch (entry.kind) {
            case K::Text:
            case K::Password:
                current.*entry.text = after.*entry.text;
                break;
            case K::OptionalInteger:
                current.*entry.flag = after.*entry.flag;
                current.*entry.integer = after.*entry.integer;
                break;
            case K::Integer:
                current.*entry.integer = after.*entry.integer;
                break;
            case K::Flag:
                current.*entry.flag = after.*entry.flag;
                break;
            case K::Choice:
                current.transferSyntax = after.transferSyntax;
                break;
        }
    }
    return current;
}

std::string_view transferSyntaxCode(TransferSyntax syntax) {
    if (syntax == TransferSyntax::None) {
        return {};
    }
    return findEntry([syntax](const SettingEntry& e) {
               return e.kind == K::Choice && e.choice == syntax;
           })
        .key;
}

}  // namespace veltrona::config
