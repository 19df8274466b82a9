// tarvex: the Vantorel fax viewer.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "viewer/find_bar.h"
#include "viewer/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(app::kProductName);
    QApplication::setApplicationVersion(app::kVersion);

    app::ViewerState state;
    state.commandLine = app::JoinCommandLine(argc, argv, &state.findText);
    state.startDir = QDir::currentPath();
    int result = 0;
    {
        app::MainWindow window(state);
        if (window.start()) result = QApplication::exec();
    }
    // A recogniser still ending its page after the window's wait must not see the
    // program's statics torn down under it: leave without running them.
    if (!app::WaitForFindWorkers(std::chrono::milliseconds(0))) {
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
