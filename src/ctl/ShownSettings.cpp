#include "ShownSettings.h"

#include <charconv>

namespace veltrona::ctl {

namespace fs = std::filesystem;

void refuseUnreadDocument(const server::SettingsDocument& document) {
    if (document.tooBig) {
        throw config::FileError(config::FileAction::Read, document.path.value_or(fs::path()),
                                "It is larger than " + std::string(config::kReadLimitText) +
                                    ", more than any settings file holds");
    }
    if (!document.unreadable.empty()) {
        // Empty settings in the place of the file's would be a wrong answer to any command.
        throw server::unreadableError(document);
    }
}

ShownSettings readShownSettings(const CtlContext& context) {
    ShownSettings result;
    result.document = server::readSettingsDocument(context.programFolder);
    refuseUnreadDocument(result.document);
    result.shown = result.document.settings;
    server::defaultDatabase(result.shown);
    const config::CodePage system = config::CodePage::system();
    for (const config::InvalidInteger& invalid : result.document.invalidIntegers) {
        context.err << "warning: Server.INI: '" << system.fromUtf8(invalid.value)
                    << "' is not a valid integer (FIFOMax or FIFOMin); that line is ignored, "
                       "as in the window\n";
    }
    return result;
}

std::optional<std::uint16_t> portNumber(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    unsigned long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1 || number > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(number);
}

}  // namespace veltrona::ctl
