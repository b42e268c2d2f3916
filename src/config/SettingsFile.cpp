#include "SettingsFile.h"

#include <array>

#include "IntegerConversion.h"
#include "TextLines.h"

namespace veltrona::config {

namespace {

enum class Entry {
    AeTitle,
    Port,
    FifoMax,
    FifoMin,
    MaxDaysLocal,
    RegNewOnView,
    ImageFolder,
    Database,
    Uncompressed,
    JpegLossless,
    JpegLossy,
    ImplicitVR,
    AdminPassword,
    Parameter,
    NoDhcp,
};

struct Key {
    std::string_view text;
    Entry entry;
};

// The order in which a line is tested. No key is a prefix of another, so the first match
// is the only one; the order still matters to anyone who adds a key.
constexpr std::array<Key, 15> kKeys{{
    {"-aet", Entry::AeTitle},
    {"Port", Entry::Port},
    {"FIFOMax", Entry::FifoMax},
    {"FIFOMin", Entry::FifoMin},
    {"MaxDaysLocal", Entry::MaxDaysLocal},
    {"RegNewOnView", Entry::RegNewOnView},
    {"-od", Entry::ImageFolder},
    {"-db", Entry::Database},
    {"+x=", Entry::Uncompressed},
    {"+xs", Entry::JpegLossless},
    {"+xy", Entry::JpegLossy},
    {"+xi", Entry::ImplicitVR},
    {"AdminPassword", Entry::AdminPassword},
    {"parameter", Entry::Parameter},
    {"-dhl", Entry::NoDhcp},
}};

const Key* matchKey(std::string_view line) {
    for (const Key& key : kKeys) {
        if (line.starts_with(key.text)) {
            return &key;
        }
    }
    return nullptr;
}

// The text after the first "=", or the whole line when there is none, without the blanks
// and control characters around it.
std::string valueOf(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
        line.remove_prefix(equals + 1);
    }
    return std::string(trimControls(line));
}

void readInteger(const Key& key, const std::string& line, std::int32_t& holder,
                 std::vector<InvalidInteger>& invalid) {
    const std::string value = valueOf(line);
    if (const auto number = parseInteger(value)) {
        holder = *number;
    } else {
        invalid.push_back({std::string(key.text), value, line});
    }
}

// No written text may add, split or end a line, so line breaks and NUL become blanks.
std::string oneLine(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return result;
}

}  // namespace

SettingsReadResult readSettings(const std::vector<std::string>& lines, ServerSettings initial) {
    SettingsReadResult result{std::move(initial), {}};
    ServerSettings& s = result.settings;
    for (const std::string& line : lines) {
        const Key* key = matchKey(line);
        if (key == nullptr) {
            continue;
        }
        switch (key->entry) {
            case Entry::AeTitle:
                s.aeTitle = valueOf(line);
                break;
            case Entry::Port:
                s.port = valueOf(line);
                break;
            case Entry::FifoMax:
                readInteger(*key, line, s.fifoMax, result.invalidIntegers);
                break;
            case Entry::FifoMin:
                readInteger(*key, line, s.fifoMin, result.invalidIntegers);
                break;
            case Entry::MaxDaysLocal:
                // The box is checked even when the number is bad; a bad number is dropped
                // silently and the spin edit keeps what it had.
                s.maxDaysLocalChecked = true;
                if (const auto days = parseInteger(valueOf(line))) {
                    s.maxDaysLocal = *days;
                }
                break;
            case Entry::RegNewOnView:
                s.regNewOnView = true;
                break;
            case Entry::ImageFolder:
                s.imageFolder = valueOf(line);
                break;
            case Entry::Database:
                s.database = valueOf(line);
                break;
            case Entry::Uncompressed:
                s.transferSyntax = TransferSyntax::Uncompressed;
                break;
            case Entry::JpegLossless:
                s.transferSyntax = TransferSyntax::JpegLossless;
                break;
            case Entry::JpegLossy:
                s.transferSyntax = TransferSyntax::JpegLossy;
                break;
            case Entry::ImplicitVR:
                s.transferSyntax = TransferSyntax::ImplicitVR;
                break;
            case Entry::AdminPassword:
                s.adminPassword = valueOf(line);
                break;
            case Entry::Parameter:
                s.parameters = valueOf(line);
                break;
            case Entry::NoDhcp:
                s.noDhcp = true;
                break;
        }
    }
    return result;
}

std::string writeSettings(const ServerSettings& s) {
    std::string out;
    const auto line = [&out](std::string_view head, std::string_view text = {}) {
        out += head;
        out += oneLine(text);
        out += "\r\n";
    };

    line("#Server Settings");
    line("");
    line("-aet = ", s.aeTitle);
    line("Port = ", s.port);
    line("FIFOMax = ", std::to_string(s.fifoMax));
    line("FIFOMin = ", std::to_string(s.fifoMin));
    if (s.regNewOnView) {
        line("RegNewOnView");
    }
    if (s.maxDaysLocalChecked) {
        line("MaxDaysLocal = ", std::to_string(s.maxDaysLocal));
    }
    line("-od = ", s.imageFolder);
    line("-db = ", s.database);
    switch (s.transferSyntax) {
        case TransferSyntax::None:
            break;
        case TransferSyntax::Uncompressed:
            line("+x=    # unkomprimiert");
            break;
        case TransferSyntax::JpegLossy:
            line("+xy    # Jpeg lossless 8bit (baseline)");
            break;
        case TransferSyntax::JpegLossless:
            line("+xs    # JPeg lossless");
            break;
        case TransferSyntax::ImplicitVR:
            line("+xi    # ImplicitVR Little Endian only (Compatiblity mode)");
            break;
    }
    if (s.noDhcp) {
        line("-dhl   # No DHCP available");
    }
    if (!s.parameters.empty()) {
        line("parameter=", s.parameters);
    }
    if (!s.adminPassword.empty()) {
        line("AdminPassword=", s.adminPassword);
    }
    return out;
}

std::string invalidIntegerMessage(std::string_view value) {
    std::string message = "'";
    message += value;
    message += "' ist kein g\u00fcltiger Integerwert";
    return message;
}

}  // namespace veltrona::config
