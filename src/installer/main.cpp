// tarvexinst: installs the Vantorel viewer for this user, and uninstalls it again.
#include <QApplication>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "installer/installer_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(app::kProductName);
    QApplication::setApplicationVersion(app::kVersion);
    inst::InstallerWindow window(app::JoinCommandLine(argc, argv), QCoreApplication::applicationFilePath());
    return window.run();
}
