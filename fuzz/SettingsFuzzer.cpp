// The settings file survives its own round trip: whatever the reader accepts, the writer
// writes so that reading it back gives the same settings, and only the lines the settings
// call for, each ended by CR LF. Arbitrary settings, texts with line breaks and NULs
// included, come back as the reader would have made them.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "config/settings/ServerSettings.h"
#include "config/settings/SettingsFile.h"
#include "config/text/TextLines.h"

namespace {

using veltrona::config::FileSettings;
using veltrona::config::FileText;
using veltrona::config::TransferSyntax;
using veltrona::fuzz::escaped;

// The reader's keys. A written line that began with any of them would be read as that
// entry, so a line may only begin with the key of the entry it was written for.
constexpr std::array<std::string_view, 15> kKeys{
    "-aet", "Port", "FIFOMax", "FIFOMin", "MaxDaysLocal",  "RegNewOnView", "-od", "-db",
    "+x=",  "+xs",  "+xy",     "+xi",     "AdminPassword", "parameter",    "-dhl"};

std::string_view keyOf(std::string_view line) {
    for (const std::string_view key : kKeys) {
        if (line.starts_with(key)) {
            return key;
        }
    }
    return {};
}

// The key of every line the writer owes `s`, in the written order; empty for the heading
// and the blank line, which must match no key.
std::vector<std::string_view> expectedKeys(const FileSettings& s) {
    std::vector<std::string_view> keys{"", "", "-aet", "Port", "FIFOMax", "FIFOMin"};
    if (s.regNewOnView) {
        keys.push_back("RegNewOnView");
    }
    if (s.maxDaysLocalChecked) {
        keys.push_back("MaxDaysLocal");
    }
    keys.push_back("-od");
    keys.push_back("-db");
    switch (s.transferSyntax) {
        case TransferSyntax::None:
            break;
        case TransferSyntax::Uncompressed:
            keys.push_back("+x=");
            break;
        case TransferSyntax::JpegLossy:
            keys.push_back("+xy");
            break;
        case TransferSyntax::JpegLossless:
            keys.push_back("+xs");
            break;
        case TransferSyntax::ImplicitVR:
            keys.push_back("+xi");
            break;
    }
    if (s.noDhcp) {
        keys.push_back("-dhl");
    }
    if (!s.parameters.empty()) {
        keys.push_back("parameter");
    }
    if (!s.adminPassword.empty()) {
        keys.push_back("AdminPassword");
    }
    return keys;
}

// CR LF after every line and nowhere else, no NUL, and each line read as the entry it
// was written for.
void checkWritten(const FileSettings& s, const std::string& file) {
    FUZZ_CHECK(file.find('\0') == std::string::npos, escaped(file));
    FUZZ_CHECK(file.ends_with("\r\n"), escaped(file));
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < file.size()) {
        const std::size_t end = file.find("\r\n", start);
        const std::string_view line(file.data() + start, end - start);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos,
                   "bare line break in " + escaped(line));
        lines.push_back(line);
        start = end + 2;
    }
    const std::vector<std::string_view> keys = expectedKeys(s);
    FUZZ_CHECK(lines.size() == keys.size(), escaped(file));
    FUZZ_CHECK(lines[0] == "#Server Settings" && lines[1].empty(), escaped(file));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        FUZZ_CHECK(keyOf(lines[i]) == keys[i], "line " + std::to_string(i) + " " +
                                                   escaped(lines[i]) + " should be read as " +
                                                   escaped(keys[i]));
    }
}

veltrona::config::SettingsReadResult readBack(const std::string& file) {
    return veltrona::config::readSettings(veltrona::config::splitLines(file));
}

// What a text becomes after writing and reading: line breaks and NUL written as blanks,
// then the reader's trimming of codes 0 to 32 at both ends.
std::string asRead(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return std::string(veltrona::config::trimControls(text));
}

std::string describe(const FileSettings& s) {
    return "aet=" + escaped(s.aeTitle.bytes) + " port=" + escaped(s.port.bytes) +
           " max=" + std::to_string(s.fifoMax) + " min=" + std::to_string(s.fifoMin) +
           " days=" + std::to_string(s.maxDaysLocalChecked) + "/" + std::to_string(s.maxDaysLocal) +
           " reg=" + std::to_string(s.regNewOnView) + " od=" + escaped(s.imageFolder.bytes) +
           " db=" + escaped(s.database.bytes) +
           " ts=" + std::to_string(static_cast<int>(s.transferSyntax)) +
           " pw=" + escaped(s.adminPassword.bytes) + " par=" + escaped(s.parameters.bytes) +
           " dhl=" + std::to_string(s.noDhcp);
}

// The input as a settings file: read, write, read again, write again.
void roundTripFile(std::string_view content) {
    const auto first = veltrona::config::readSettings(veltrona::config::splitLines(content));
    const std::string written = veltrona::config::writeSettings(first.settings);
    checkWritten(first.settings, written);

    const auto second = readBack(written);
    FUZZ_CHECK(second.settings == first.settings,
               "read " + describe(first.settings) + "\nback " + describe(second.settings));
    FUZZ_CHECK(second.invalidIntegers.empty(), escaped(written));
    const std::string rewritten = veltrona::config::writeSettings(second.settings);
    FUZZ_CHECK(rewritten == written, escaped(written) + "\nthen " + escaped(rewritten));
}

// The input as the values of a window, any bytes in its texts.
void roundTripSettings(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    FileSettings s;
    s.fifoMax = in.ConsumeIntegral<std::int32_t>();
    s.fifoMin = in.ConsumeIntegral<std::int32_t>();
    s.maxDaysLocal = in.ConsumeIntegral<std::int32_t>();
    s.maxDaysLocalChecked = in.ConsumeBool();
    s.regNewOnView = in.ConsumeBool();
    s.noDhcp = in.ConsumeBool();
    s.transferSyntax = static_cast<TransferSyntax>(in.ConsumeIntegralInRange(0, 4));
    s.aeTitle.bytes = in.ConsumeRandomLengthString(64);
    s.port.bytes = in.ConsumeRandomLengthString(64);
    s.imageFolder.bytes = in.ConsumeRandomLengthString(64);
    s.database.bytes = in.ConsumeRandomLengthString(64);
    s.adminPassword.bytes = in.ConsumeRandomLengthString(64);
    s.parameters.bytes = in.ConsumeRemainingBytesAsString();

    const std::string written = veltrona::config::writeSettings(s);
    checkWritten(s, written);

    FileSettings expected = s;
    for (FileText* text : {&expected.aeTitle, &expected.port, &expected.imageFolder,
                           &expected.database, &expected.adminPassword, &expected.parameters}) {
        text->bytes = asRead(text->bytes);
    }
    if (!expected.maxDaysLocalChecked) {
        expected.maxDaysLocal = 0;  // not written while unchecked, so the fresh value comes back
    }
    const auto back = readBack(written);
    FUZZ_CHECK(back.settings == expected,
               "expected " + describe(expected) + "\nback " + describe(back.settings));
    FUZZ_CHECK(back.invalidIntegers.empty(), escaped(written));

    // From the first read on, the file is a fixed point.
    const std::string rewritten = veltrona::config::writeSettings(back.settings);
    FUZZ_CHECK(veltrona::config::writeSettings(readBack(rewritten).settings) == rewritten,
               escaped(rewritten));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    roundTripFile(std::string_view(reinterpret_cast<const char*>(data), size));
    roundTripSettings(data, size);
    return 0;
}
