// Veltrona Administration: the window that runs the storage server beside it.
#include <QApplication>
#include <filesystem>
#include <memory>

#include "QtAdminWindow.h"
#include "process/ProcessPlatform.h"
#include "ui/QtUserDialogs.h"
#include "ui/WindowFont.h"

int main(int argc, char* argv[]) {
    // The program takes no command-line options: the toolkit sees the program name alone,
    // so none of its own options ("-style", "-reverse", ...) can change the window.
    int toolkitArgc = argc > 0 ? 1 : 0;
    QApplication application(toolkitArgc, argv);
    // The title of the task-bar entry and the caption of every error box.
    QApplication::setApplicationName("Veltrona Administration");
    // Message boxes and the password prompt use the window's font, as the window does.
    veltrona::ui::useWindowFont();
    QApplication::setFont(veltrona::ui::windowFont());

    std::filesystem::path programFolder =
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    programFolder /= "";  // the program folder ends with a separator

    const std::unique_ptr<veltrona::process::ProcessPlatform> processes =
        veltrona::process::createProcessPlatform();
    veltrona::ui::QtUserDialogs dialogs;
    const veltrona::app::SystemClock clock;

    veltrona::app::QtAdminWindow window(
        {*processes, dialogs, clock, veltrona::app::readLocaleTimeFormat, programFolder});
    window.form().FormCreate();
    if (window.form().endRequested()) {
        return 0;  // refused at the password gate: the window is never shown, nothing written
    }
    window.show();
    return application.exec();
}
