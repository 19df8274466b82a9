// tarvex: the Vantorel fax viewer.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "app/commands.h"
#include "app/startup.h"
#include "app/viewer_state.h"
#include "platform/stop_signals.h"
#include "viewer/find_bar.h"
#include "viewer/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(app::kProductName);
    QApplication::setApplicationVersion(app::kVersion);

    // kill, a logout or Ctrl+C close the viewer as File > Exit does; one that comes during
    // start-up waits until the window runs.
    app::StopSignals stopSignals;
    app::ViewerState state;
    state.commandLine = app::JoinCommandLine(argc, argv, &state.findText);
    state.startDir = QDir::currentPath();
    int result = 0;
    {
        app::MainWindow window(state);
        QObject::connect(&stopSignals, &app::StopSignals::stopRequested, &window,
                         [&window] { window.postCommand(app::cmd::Exit); });
        if (window.start()) {
            stopSignals.listen();
            result = QApplication::exec();
        }
    }
    // A recogniser still ending its page after the window's wait must not see the
    // program's statics torn down under it: leave without running them.
    if (!app::WaitForFindWorkers(std::chrono::milliseconds(0))) {
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
