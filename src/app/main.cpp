// Veltrona Administration: the window that runs the storage server beside it.
#include <QApplication>

#include "ServerAdminForm.h"
#include "process/ProcessPlatform.h"
#include "ui/QtUserDialogs.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The title of the task-bar entry and the caption of every error box.
    QApplication::setApplicationName("Veltrona Administration");
    // Message boxes and the password prompt use the window's font, as the window does.
    QApplication::setFont(veltrona::app::windowFont());

    std::filesystem::path programFolder =
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    programFolder /= "";  // the program folder ends with a separator

    const std::unique_ptr<veltrona::process::ProcessPlatform> processes =
        veltrona::process::createProcessPlatform();
    veltrona::ui::QtUserDialogs dialogs;
    const veltrona::app::SystemClock clock;

    veltrona::app::TServerAdminForm window(
        {*processes, dialogs, clock, veltrona::app::readLocaleTimeFormat, programFolder});
    window.FormCreate();
    if (window.endRequested()) {
        return 0;  // refused at the password gate: the window is never shown, nothing written
    }
    window.show();
    return application.exec();
}
