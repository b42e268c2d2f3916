#pragma once

#include <optional>
#include <string>

#include "ServerSettings.h"

namespace veltrona::config {

// What the start button reads at the moment of the click.
struct LaunchInput {
    bool verbose = false;  // CheckBox1
    std::string dhcpFlag;  // "" or "-dhl "
    TransferSyntax transferSyntax = TransferSyntax::None;
    std::optional<std::string> profilePath;  // the program folder's "setup.cfg", when it exists
    std::string parameters;                  // Edit4
    std::string imageFolder;                 // Edit3
    std::string aeTitle;                     // Edit1
    std::string port;                        // Edit2
};

// The option text: the transfer-syntax code, or the server profile in its place, then
// the additional parameters after one blank.
std::string buildOptionText(const LaunchInput& input);

// The parameter string handed to the server, beginning with a blank. The image folder
// loses its last character only when that is a path separator ("\" or "/").
std::string buildParameterString(const LaunchInput& input);

}  // namespace veltrona::config
