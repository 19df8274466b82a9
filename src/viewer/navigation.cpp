#include "viewer/navigation.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace app {

unsigned PreviousPage(unsigned current, unsigned count) { return current <= 1 ? count : current - 1; }

unsigned NextPage(unsigned current, unsigned count) { return current + 1 > count ? 1 : current + 1; }

int SelectorIndex(unsigned current, unsigned count) { return current >= count ? 0 : static_cast<int>(current); }

namespace {
QStringList FaxNames(const QString& folder, const QString& pattern) {
    QDir dir(folder);
    // Without QDir::CaseSensitive the pattern also matches FAX.DCX.
    QStringList names = dir.entryList({pattern}, QDir::Files | QDir::Hidden, QDir::NoSort);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}
}  // namespace

QString NeighbourFax(const QString& currentFax, const QString& workingDir, bool next) {
    int dot = currentFax.lastIndexOf(QLatin1Char('.'));
    bool pcx = dot >= 0 && currentFax.mid(dot).compare(QStringLiteral(".pcx"), Qt::CaseInsensitive) == 0;
    QString pattern = pcx ? QStringLiteral("*.pcx") : QStringLiteral("*.dcx");

    QFileInfo current(currentFax);
    if (currentFax.isEmpty() || !current.isFile()) {
        QString folder = workingDir;
        while (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')))) folder.chop(1);
        QStringList names = FaxNames(folder, pattern);
        return names.isEmpty() ? QString() : QDir(folder).filePath(names.first());
    }
    QString name = current.fileName();
    if (name.size() <= 4) return {};
    QStringList names = FaxNames(current.absolutePath(), pattern);
    int at = -1;
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) at = i;
    if (at < 0) return {};
    int want = next ? at + 1 : at - 1;
    if (want < 0 || want >= names.size()) return {};
    return current.absoluteDir().filePath(names[want]);
}

}  // namespace app
