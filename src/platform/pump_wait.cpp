#include "platform/pump_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace app {

namespace {
bool g_shuttingDown = false;
}

bool ShuttingDown() { return g_shuttingDown; }
void SetShuttingDown(bool value) { g_shuttingDown = value; }

void PumpWait(int milliseconds, bool evenWhenClosing) {
    QElapsedTimer timer;
    timer.start();
    const unsigned long nap = milliseconds > 1000 ? 100 : 1;
    for (;;) {
        if (g_shuttingDown && !evenWhenClosing) return;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (timer.elapsed() >= milliseconds) return;
        QThread::msleep(nap);
    }
}

}  // namespace app
