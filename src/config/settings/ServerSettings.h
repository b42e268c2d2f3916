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

// Everything the settings file carries, as the window holds it; nothing here is trimmed or
// validated. Its texts are UTF-8: server::SettingsDocument converts the file's code page
// at reading and writing, walking the schema's text entries. Only this library's reader
// and writer (SettingsFile.h), below the document, see them as the file's bytes. The admin
// password is always the file's bytes: it is compared as such and never shown.
struct ServerSettings {
    std::string aeTitle;               // "-aet", Edit1
    std::string port;                  // "Port", Edit2
    std::int32_t fifoMax = 0;          // "FIFOMax", SpinEdit1
    std::int32_t fifoMin = 0;          // "FIFOMin", SpinEdit3
    bool maxDaysLocalChecked = false;  // "MaxDaysLocal", CheckBox2
    std::int32_t maxDaysLocal = 0;     // "MaxDaysLocal", SpinEdit2
    bool regNewOnView = false;         // "RegNewOnView", RadioButton1
    std::string imageFolder;           // "-od", Edit3
    std::string database;              // "-db", edDatabase
    TransferSyntax transferSyntax = TransferSyntax::None;
    std::string adminPassword;  // "AdminPassword"; empty when no password is set
    std::string parameters;     // "parameter", Edit4
    bool noDhcp = false;        // "-dhl": the DHCP flag holds "-dhl "

    bool operator==(const ServerSettings&) const = default;
};

// The DHCP flag as the launch passes it on: empty, or "-dhl " with its trailing blank.
inline std::string dhcpFlag(const ServerSettings& s) {
    return s.noDhcp ? "-dhl " : "";
}

}  // namespace veltrona::config
