#include "LaunchCommand.h"

#include "SettingsSchema.h"

namespace veltrona::config {

namespace {

// The server takes the folder without a closing separator. Only a separator is dropped:
// cutting any other last character would send the images to a different folder.
std::string_view withoutClosingSeparator(std::string_view folder) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.remove_suffix(1);
    }
    return folder;
}

}  // namespace

std::string buildOptionText(const LaunchInput& input) {
    std::string option;
    if (input.profilePath) {
        // The profile replaces the transfer-syntax choice; the server reads its syntaxes
        // from the profile instead.
        option = " -xf \"" + *input.profilePath + "\" \"default\"";
    } else {
        option = transferSyntaxCode(input.settings.transferSyntax);
    }
    if (!input.settings.parameters.empty()) {
        option += ' ';
        option += input.commandLine.fromUtf8(input.settings.parameters);
    }
    return option;
}

std::string buildParameterString(const LaunchInput& input) {
    const ServerSettings& s = input.settings;
    std::string parameters = input.verbose ? " -d -dw " : " -dw ";
    parameters += dhcpFlag(s);
    parameters += buildOptionText(input);
    parameters += " -od \"";
    parameters += withoutClosingSeparator(input.commandLine.fromUtf8(s.imageFolder));
    parameters += "\" ";
    parameters += " -aet ";
    parameters += input.commandLine.fromUtf8(s.aeTitle);
    parameters += ' ';
    parameters += input.commandLine.fromUtf8(s.port);
    return parameters;
}

}  // namespace veltrona::config
