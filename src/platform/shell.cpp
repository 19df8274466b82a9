#include "platform/shell.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/pump_wait.h"

namespace app {

namespace {
// How long a program is watched for a failure. A program started for a page fails at once
// when it cannot run (env or flatpak naming what is not there). An opener may take longer:
// xdg-open tries browser after browser on a desktop it does not know, and then waits for the
// one it started. What still runs after the watch has started its program.
constexpr int kStartWatchMs = 2000;
constexpr int kOpenerWatchMs = 10000;
constexpr int kWatchPollMs = 10;

// Runs a program that hands something on and judges it by its exit status; one still running
// after `watchMs` (or when the viewer closes) is left to end by itself.
bool RunWatched(const QString& program, const QStringList& arguments, const QString& workingFolder, int watchMs) {
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(arguments);
    process->setWorkingDirectory(workingFolder);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);  // nothing the started program holds open
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    QElapsedTimer watched;
    watched.start();
    while (!process->waitForFinished(0) && process->state() != QProcess::NotRunning && watched.elapsed() < watchMs &&
           !ShuttingDown())
        PumpWait(kWatchPollMs);
    if (process->state() != QProcess::NotRunning) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    const bool ok = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    delete process;
    return ok;
}

class DesktopShell : public Shell {
public:
    // GLib's opener first: it returns as soon as the program is started, whatever the
    // desktop. xdg-open also knows $BROWSER and the desktops' own openers.
    bool open(const QString& pathOrUrl, const QString& workingFolder) override {
        const bool local = QFileInfo(pathOrUrl).isAbsolute() || QFileInfo::exists(pathOrUrl);
        if (local && !QFileInfo::exists(pathOrUrl)) return false;
        const QString target = local ? QFileInfo(pathOrUrl).absoluteFilePath() : pathOrUrl;
        const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (!gio.isEmpty() && RunWatched(gio, {QStringLiteral("open"), target}, workingFolder, kOpenerWatchMs))
            return true;
        const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        return !xdgOpen.isEmpty() && RunWatched(xdgOpen, {target}, workingFolder, kOpenerWatchMs);
    }
    bool start(const QString& program, const QStringList& arguments, const QString& workingFolder) override {
        return RunWatched(program, arguments, workingFolder, kStartWatchMs);
    }
};

DesktopShell& desktopShell() {
    static DesktopShell desktop;
    return desktop;
}
Shell* g_shell = nullptr;
}  // namespace

bool RecordingShell::open(const QString& pathOrUrl, const QString& workingFolder) {
    opened << pathOrUrl;
    return runPrograms ? desktopShell().open(pathOrUrl, workingFolder) : result;
}

bool RecordingShell::start(const QString& program, const QStringList& arguments, const QString& workingFolder) {
    started << (QStringList{program} + arguments).join(QLatin1Char(' '));
    return runPrograms ? desktopShell().start(program, arguments, workingFolder) : startResult;
}

Shell& shell() { return g_shell ? *g_shell : desktopShell(); }

void setShell(Shell* s) { g_shell = s; }

bool MoveToTrash(const QString& path) {
    // When Qt finds no trash at all it "trashes" into files/ and info/ of the current folder,
    // so the home trash ($XDG_DATA_HOME/Trash), its last resort, is made sure of first. Qt
    // never copies across file systems: a trash elsewhere refuses and nothing moves.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QFileInfo trash(QDir(data).filePath(QStringLiteral("Trash")));
    const bool homeTrash = !data.isEmpty() && QDir().mkpath(data) && (trash.isDir() || !trash.exists());
    return homeTrash && QFile::moveToTrash(path);
}

bool DiscardFile(const QString& path) {
    // No trash for this file (or none that can be made): the file goes for good.
    return MoveToTrash(path) || QFile::remove(path);
}

}  // namespace app
