#include "SettingsSchema.h"

#include <array>
#include <stdexcept>

namespace veltrona::config {

namespace {

using S = ServerSettings;
using K = SettingKind;

// The schema for either kind of settings, made from one list.
template <typename Settings>
constexpr std::array<BasicSettingEntry<Settings>, 15> makeSchema() {
    using E = BasicSettingEntry<Settings>;
    using T = Settings;
    const auto text = [](std::string_view key, std::string_view separator,
                         typename T::TextType T::*holder, bool omittedWhenEmpty = false) {
        return E{key, K::Text, separator, omittedWhenEmpty, holder};
    };
    const auto integer = [](std::string_view key, std::int32_t T::*holder) {
        return E{key, K::Integer, " = ", false, nullptr, nullptr, holder};
    };
    const auto flag = [](std::string_view key, std::string_view comment, bool T::*holder) {
        return E{key, K::Flag, comment, false, nullptr, nullptr, nullptr, holder};
    };
    const auto choice = [](std::string_view key, std::string_view comment, TransferSyntax syntax) {
        return E{key, K::Choice, comment, false, nullptr, nullptr, nullptr, nullptr, syntax};
    };
    return {{
        text("-aet", " = ", &T::aeTitle),
        text("Port", " = ", &T::port),
        integer("FIFOMax", &T::fifoMax),
        integer("FIFOMin", &T::fifoMin),
        flag("RegNewOnView", "", &T::regNewOnView),
        {"MaxDaysLocal", K::OptionalInteger, " = ", false, nullptr, nullptr, &T::maxDaysLocal,
         &T::maxDaysLocalChecked},
        text("-od", " = ", &T::imageFolder),
        text("-db", " = ", &T::database),
        // At most one choice is set, so their order among themselves is never seen.
        choice("+x=", "    # unkomprimiert", TransferSyntax::Uncompressed),
        choice("+xy", "    # Jpeg lossless 8bit (baseline)", TransferSyntax::JpegLossy),
        choice("+xs", "    # JPeg lossless", TransferSyntax::JpegLossless),
        choice("+xi", "    # ImplicitVR Little Endian only (Compatiblity mode)",
               TransferSyntax::ImplicitVR),
        flag("-dhl", "   # No DHCP available", &T::noDhcp),
        text("parameter", "=", &T::parameters, true),
        {"AdminPassword", K::Password, "=", true, nullptr, &T::adminPassword},
    }};
}

constexpr auto kSchema = makeSchema<ServerSettings>();
constexpr auto kFileSchema = makeSchema<FileSettings>();

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

template <>
std::span<const SettingEntry> settingsSchema<ServerSettings>() {
    return kSchema;
}

template <>
std::span<const FileSettingEntry> settingsSchema<FileSettings>() {
    return kFileSchema;
}

const FileSettingEntry* entryOfLine(std::string_view line) {
    for (const FileSettingEntry& entry : kFileSchema) {
        if (line.starts_with(entry.key)) {
            return &entry;
        }
    }
    return nullptr;
}

const SettingEntry* entryOfKey(std::string_view key) {
    for (const SettingEntry& entry : kSchema) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

bool holdsSame(const SettingEntry& entry, const S& a, const S& b) {
    switch (entry.kind) {
        case K::Text:
            return a.*entry.text == b.*entry.text;
        case K::Password:
            return a.*entry.password == b.*entry.password;
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
                current.*entry.text = after.*entry.text;
                break;
            case K::Password:
                current.*entry.password = after.*entry.password;
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
