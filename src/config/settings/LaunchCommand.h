#pragma once

#include <optional>
#include <string>

#include "ServerSettings.h"
#include "config/text/CodePage.h"

namespace veltrona::config {

// What the start button reads at the moment of the click.
struct LaunchInput {
    ServerSettings settings;  // as the window shows them, texts in UTF-8
    bool verbose = false;     // CheckBox1
    // The program folder's "setup.cfg", when it exists, as the command line spells it.
    std::optional<std::string> profilePath;
    // The code page the server's command line is written in; the texts are put into it.
    CodePage commandLine = CodePage::utf8();
};

// The option text: the transfer-syntax code, or the server profile in its place, then
// the additional parameters after one blank.
std::string buildOptionText(const LaunchInput& input);

// The parameter string handed to the server, beginning with a blank. The image folder
// loses its last character only when that is a path separator ("\" or "/").
std::string buildParameterString(const LaunchInput& input);

}  // namespace veltrona::config
