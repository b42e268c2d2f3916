// Veltrona Administration: the window that runs the storage server beside it.
#include <QApplication>
#include <QIcon>
#include <memory>

#include "app/AdminProgram.h"
#include "app/ServerAdminFormDescription.h"
#include "process/ProcessPlatform.h"
#include "process/ProgramFolder.h"
#include "ui/qt/QtFormWindow.h"
#include "ui/qt/QtUserDialogs.h"
#include "ui/qt/WindowFont.h"

int main(int argc, char* argv[]) {
    using namespace veltrona;
    // The program takes no command-line options: the toolkit sees the program name alone,
    // so none of its own options ("-style", "-reverse", ...) can change the window.
    int toolkitArgc = argc > 0 ? 1 : 0;
    QApplication application(toolkitArgc, argv);
    QApplication::setApplicationName(app::kApplicationTitle);
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1/veltrona-administration.png").arg(size));
    }
    QApplication::setWindowIcon(icon);
    // Message boxes and the password prompt use the window's font, as the window does.
    ui::useWindowFont();
    QApplication::setFont(ui::windowFont());
    ui::QtUserDialogs dialogs;

    return app::runGuarded(dialogs, [&] {
        const std::unique_ptr<process::ProcessPlatform> processes =
            process::createProcessPlatform();
        const app::SystemClock clock;
        ui::QtFormWindow window(app::serverAdminFormSpec());
        return app::runAdminProgram(window, {*processes, dialogs, clock, app::readLocaleTimeFormat,
                                             process::programFolder()});
    });
}
