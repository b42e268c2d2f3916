#pragma once

#include <cstdint>
#include <string>

namespace veltrona::config {

// The preferred transfer syntax: at most one of the four exclusive choices.
enum class TransferSyntax {
    None,
    Uncompressed,  // "+x=", RadioButton2
    JpegLossless,  // "+xs", RadioButton3
    JpegLossy,     // "+xy", RadioButton4
    ImplicitVR,    // "+xi", RadioButton5
};

// A text as the settings file holds it: bytes in the file's code page. It is no
// std::string, so that it cannot be shown, compared with or stored as UTF-8 text by
// mistake; turning it into UTF-8 takes the file's code page.
struct FileText {
    std::string bytes;

    bool empty() const { return bytes.empty(); }
    bool operator==(const FileText&) const = default;
};

// Everything the settings file carries; nothing here is trimmed or validated. `Text` is
// what its texts are: FileText as the file's reader and writer hold them (FileSettings),
// UTF-8 in a std::string as the window and VeltronaCtl hold them (ServerSettings).
// server::SettingsDocument turns the one into the other, walking the schema's entries.
// The admin password is the file's bytes in both: it is compared as such and never shown.
template <typename Text>
struct BasicSettings {
    using TextType = Text;

    Text aeTitle;                      // "-aet", Edit1
    Text port;                         // "Port", Edit2
    std::int32_t fifoMax = 0;          // "FIFOMax", SpinEdit1
    std::int32_t fifoMin = 0;          // "FIFOMin", SpinEdit3
    bool maxDaysLocalChecked = false;  // "MaxDaysLocal", CheckBox2
    std::int32_t maxDaysLocal = 0;     // "MaxDaysLocal", SpinEdit2
    bool regNewOnView = false;         // "RegNewOnView", RadioButton1
    Text imageFolder;                  // "-od", Edit3
    Text database;                     // "-db", edDatabase
    TransferSyntax transferSyntax = TransferSyntax::None;
    FileText adminPassword;  // "AdminPassword"; empty when no password is set
    Text parameters;         // "parameter", Edit4
    bool noDhcp = false;     // "-dhl": the DHCP flag holds "-dhl "

    bool operator==(const BasicSettings&) const = default;
};

// The settings as the window shows them and VeltronaCtl names them: texts in UTF-8.
using ServerSettings = BasicSettings<std::string>;
// The settings as the file holds them: texts in its code page.
using FileSettings = BasicSettings<FileText>;

// The DHCP flag as the launch passes it on: empty, or "-dhl " with its trailing blank.
inline std::string dhcpFlag(const ServerSettings& s) {
    return s.noDhcp ? "-dhl " : "";
}

}  // namespace veltrona::config
