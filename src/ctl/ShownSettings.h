#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CtlOutput.h"
#include "config/settings/ServerSettings.h"
#include "server/SettingsDocument.h"

namespace veltrona::ctl {

// The settings as the window shows them once it has started: Server.INI read by the
// window's reader, its texts in UTF-8 (the file's code page converted), and an empty
// database filled from the image folder.
struct ShownSettings {
    server::SettingsDocument document;
    config::ServerSettings shown;  // texts in UTF-8; the admin password as the file's bytes
};

// Throws config::FileError when the document's file is there but was not read (too big,
// or unreadable): no command answers from the empty settings that stand in for it.
void refuseUnreadDocument(const server::SettingsDocument& document);

// Reads them from the program folder. Every "FIFOMax" or "FIFOMin" value that is no
// integer is named on the error stream, as the window reports it at start-up.
ShownSettings readShownSettings(const CtlContext& context);

// The port a Port setting names: decimal digits for 1 to 65535, nothing else.
std::optional<std::uint16_t> portNumber(const std::string& text);

}  // namespace veltrona::ctl
