// tarvex: the Vantorel fax viewer.
#include <QApplication>
#include <QDir>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "viewer/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(app::kProductName);
    QApplication::setApplicationVersion(app::kVersion);

    app::ViewerState state;
    state.commandLine = app::JoinCommandLine(argc, argv);
    state.startDir = QDir::currentPath();
    int result = 0;
    {
        app::MainWindow window(state);
        if (window.start()) result = QApplication::exec();
    }
    return result;
}
