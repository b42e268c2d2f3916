#pragma once

#include <string>

#include "config/file/FileAccess.h"

namespace veltrona::ui {

// A file error as the window words it (UTF-8, without a closing period):
// `Datei "<path>" kann nicht erstellt werden. <reason>` for a write,
// `Datei "<path>" kann nicht gelesen werden und bleibt unverändert. <reason>` for a read,
// `Datei <path> kann nicht geöffnet werden. <reason>` for a file the window only opens.
std::string fileErrorText(const config::FileError& error);

}  // namespace veltrona::ui
