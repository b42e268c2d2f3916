#include "ui/FileErrorText.h"

namespace veltrona::ui {

std::string fileErrorText(const config::FileError& error) {
    const std::u8string utf8 = error.path().u8string();
    const std::string path(utf8.begin(), utf8.end());
    switch (error.action()) {
        case config::FileAction::Open:
            return "Datei " + path + " kann nicht ge\u00f6ffnet werden. " + error.reason();
        case config::FileAction::Read:
            return "Datei \"" + path +
                   "\" kann nicht gelesen werden und bleibt unver\u00e4ndert. " + error.reason();
        case config::FileAction::Write:
            break;
    }
    return "Datei \"" + path + "\" kann nicht erstellt werden. " + error.reason();
}

}  // namespace veltrona::ui
