// The parameter string reaches the server as the arguments it was built from: with
// fields that hold no quote or backslash (and, where unquoted, no blank), the server's
// own splitting gives back the switches, the profile, the image folder, the AE title and
// the port exactly, in their places.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "config/settings/LaunchCommand.h"
#include "config/settings/WindowsCommandLine.h"

namespace {

using veltrona::config::LaunchInput;
using veltrona::config::TransferSyntax;
using veltrona::fuzz::escaped;
using veltrona::fuzz::escapedList;

std::string without(std::string text, std::string_view banned) {
    std::erase_if(text, [banned](char c) { return banned.find(c) != std::string_view::npos; });
    return text;
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t begin = text.find_first_not_of(" \t", i);
        if (begin == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(text.find_first_of(" \t", begin), text.size());
        out.emplace_back(text.substr(begin, end - begin));
        i = end;
    }
    return out;
}

const char* codeOf(TransferSyntax syntax) {
    switch (syntax) {
        case TransferSyntax::Uncompressed:
            return "+x=";
        case TransferSyntax::JpegLossless:
            return "+xs";
        case TransferSyntax::JpegLossy:
            return "+xy";
        case TransferSyntax::ImplicitVR:
            return "+xi";
        case TransferSyntax::None:
            break;
    }
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    LaunchInput input;
    input.verbose = in.ConsumeBool();
    input.settings.noDhcp = in.ConsumeBool();
    input.settings.transferSyntax = static_cast<TransferSyntax>(in.ConsumeIntegralInRange(0, 4));
    if (in.ConsumeBool()) {
        // A Windows program folder: backslashes and blanks are fine inside the quotes,
        // since the name "setup.cfg" always stands between them and the closing quote.
        input.profilePath = without(in.ConsumeRandomLengthString(64), "\"") + "setup.cfg";
    }
    input.settings.parameters = without(in.ConsumeRandomLengthString(64), "\"\\");
    input.settings.imageFolder = without(in.ConsumeRandomLengthString(64), "\"\\");
    input.settings.aeTitle = without(in.ConsumeRandomLengthString(32), "\"\\ \t");
    input.settings.port = without(in.ConsumeRemainingBytesAsString(), "\"\\ \t");

    // The texts as the command line's code page spells them.
    const auto shown = [&input](const std::string& utf8) {
        return input.commandLine.fromUtf8(utf8);
    };
    std::vector<std::string> expected;
    if (input.verbose) {
        expected.push_back("-d");
    }
    expected.push_back("-dw");
    if (input.settings.noDhcp) {
        expected.push_back("-dhl");
    }
    if (input.profilePath) {
        expected.insert(expected.end(), {"-xf", *input.profilePath, "default"});
    } else if (const char* code = codeOf(input.settings.transferSyntax)) {
        expected.push_back(code);
    }
    for (std::string& word : words(shown(input.settings.parameters))) {
        expected.push_back(std::move(word));
    }
    expected.push_back("-od");
    // The folder goes without a closing separator; quoted, its blanks stay inside.
    std::string folder = shown(input.settings.imageFolder);
    if (folder.ends_with('/')) {
        folder.pop_back();
    }
    expected.push_back(folder);
    expected.push_back("-aet");
    if (!input.settings.aeTitle.empty()) {
        expected.push_back(shown(input.settings.aeTitle));
    }
    if (!input.settings.port.empty()) {
        expected.push_back(shown(input.settings.port));
    }

    const std::string parameters = veltrona::config::buildParameterString(input);
    const std::vector<std::string> arguments = veltrona::config::splitWindowsArguments(parameters);
    FUZZ_CHECK(parameters.starts_with(' '), escaped(parameters));
    FUZZ_CHECK(arguments == expected, escaped(parameters) + "\n gives    " +
                                          escapedList(arguments) + "\n expected " +
                                          escapedList(expected));
    return 0;
}
