// The signals that ask a program to end (SIGTERM from kill or a logout, SIGINT from Ctrl+C in
// a terminal, SIGHUP when the terminal or the session goes away) turned into a Qt signal, so
// the viewer closes as File > Exit does: settings saved, its handle cleared for the installer.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace app {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Catches the stop signals from now on (a signal ignored when the program started, as
    // under nohup, stays ignored); one object per process. A signal that comes before
    // listen() waits for it, so start-up is never cut short half way.
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;  // the signals' former handling comes back
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // From the event loop on, every stop signal caught emits stopRequested.
    void listen();

signals:
    void stopRequested(int signalNumber);

private:
    bool owner_ = false;  // this object installed the handlers
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace app
