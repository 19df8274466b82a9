#include "platform/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace app {

namespace {
bool StartProgram(const QString& program, const QStringList& arguments, const QString& workingFolder) {
    return QProcess::startDetached(program, arguments, workingFolder);
}

class DesktopShell : public Shell {
public:
    bool open(const QString& pathOrUrl, const QString&) override {
        const bool local = QFileInfo(pathOrUrl).isAbsolute() || QFileInfo::exists(pathOrUrl);
        // The desktop's opener runs detached and cannot report a missing document; say it here.
        if (local && !QFileInfo::exists(pathOrUrl)) return false;
        QUrl url = local ? QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath()) : QUrl(pathOrUrl);
        return QDesktopServices::openUrl(url);
    }
    bool start(const QString& program, const QStringList& arguments, const QString& workingFolder) override {
        return StartProgram(program, arguments, workingFolder);
    }
};
Shell* g_shell = nullptr;
}  // namespace

bool RecordingShell::start(const QString& program, const QStringList& arguments, const QString& workingFolder) {
    started << (QStringList{program} + arguments).join(QLatin1Char(' '));
    if (runPrograms) return StartProgram(program, arguments, workingFolder);
    return startResult;
}

Shell& shell() {
    static DesktopShell desktop;
    return g_shell ? *g_shell : desktop;
}

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
