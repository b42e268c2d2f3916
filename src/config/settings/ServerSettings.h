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

// Everything the settings file carries, as the window holds it. Texts are bytes in
// the code page of the file they came from; nothing here is trimmed or validated.
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
