#include "platform/shell.h"

#include <QDesktopServices>
#include <QFile>
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
    if (QFile::moveToTrash(path)) return true;
    // No trash for this file's volume (or none that can be made): the file goes for good.
    return QFile::remove(path);
}

}  // namespace app
