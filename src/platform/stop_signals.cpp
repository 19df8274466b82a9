#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace app {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

// The self-pipe: the handler may only do what is safe inside a signal, so it writes the
// signal's number into the pipe and the event loop reads it from there.
int g_pipe[2] = {-1, -1};
struct sigaction g_former[kStopSignalCount];

void OnStopSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request; nothing is lost by dropping this one.
    [[maybe_unused]] ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // signals keep their usual effect
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kStopSignalCount; ++i) {
        // A signal ignored from the start stays ignored (nohup, a shell's background job).
        ::sigaction(kStopSignals[i], nullptr, &g_former[i]);
        if (g_former[i].sa_handler != SIG_IGN) ::sigaction(kStopSignals[i], &action, nullptr);
    }
    owner_ = true;
}

StopSignals::~StopSignals() {
    if (!owner_) return;
    for (int i = 0; i < kStopSignalCount; ++i) ::sigaction(kStopSignals[i], &g_former[i], nullptr);
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::listen() {
    if (!owner_ || notifier_) return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char received[64];
        ssize_t n = ::read(g_pipe[0], received, sizeof received);
        if (n > 0) emit stopRequested(received[0]);
    });
}

}  // namespace app
