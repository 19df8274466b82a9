#include "platform/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QFileInfo>
#include <QUrl>

namespace app {

namespace {
class DesktopShell : public Shell {
public:
    bool open(const QString& pathOrUrl, const QString&) override {
        QUrl url = QFileInfo(pathOrUrl).isAbsolute() || QFileInfo::exists(pathOrUrl)
                       ? QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath())
                       : QUrl(pathOrUrl);
        return QDesktopServices::openUrl(url);
    }
};
Shell* g_shell = nullptr;
}  // namespace

Shell& shell() {
    static DesktopShell desktop;
    return g_shell ? *g_shell : desktop;
}

void setShell(Shell* s) { g_shell = s; }

bool DiscardFile(const QString& path) {
    // When Qt finds no trash at all it "trashes" into files/ and info/ of the current folder,
    // so the home trash ($XDG_DATA_HOME/Trash), its last resort, is made sure of first.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QFileInfo trash(QDir(data).filePath(QStringLiteral("Trash")));
    const bool homeTrash = !data.isEmpty() && QDir().mkpath(data) && (trash.isDir() || !trash.exists());
    if (homeTrash && QFile::moveToTrash(path)) return true;
    // No trash for this file (or none that can be made): the file goes for good.
    return QFile::remove(path);
}

}  // namespace app
