#include "WindowSettings.h"

#include <charconv>

namespace veltrona::ctl {

WindowSettings readWindowSettings(const CtlContext& context) {
    WindowSettings result;
    result.document = app::readSettingsDocument(context.programFolder);
    if (!result.document.unreadable.empty()) {
        // Empty settings in the place of the file's would be a wrong answer to any command.
        throw config::FileError(app::unreadableMessage(result.document));
    }
    const config::CodePage& codePage = result.document.codePage;
    result.shown = app::convertTexts(result.document.settings, codePage, config::CodePage::utf8());
    app::defaultDatabase(result.shown);
    const config::CodePage system = config::CodePage::system();
    for (const config::InvalidInteger& invalid : result.document.invalidIntegers) {
        context.err << "warning: Server.INI: '" << system.fromUtf8(codePage.toUtf8(invalid.value))
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
