#include "app/startup.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QVersionNumber>

#include "app/viewer_state.h"

namespace app {

QString JoinCommandLine(int argc, char** argv, QString* findText) {
    const bool find = findText && argc >= 4 && QByteArray(argv[argc - 2]) == "--find";
    if (find) *findText = QString::fromLocal8Bit(argv[argc - 1]);
    QStringList parts;
    for (int i = 1; i < argc - (find ? 2 : 0); ++i) parts << QString::fromLocal8Bit(argv[i]);
    return parts.join(QLatin1Char(' '));
}

bool IsInstallingCommand(const QString& commandLine) {
    return commandLine.compare(QStringLiteral("InstallingTheProgram"), Qt::CaseInsensitive) == 0;
}

QString CommandLineFax(const QString& commandLine) {
    QString path = commandLine;
    if (path.startsWith(QLatin1Char('"'))) {
        path.remove(0, 1);
        if (path.size() > 1) path.chop(1);
    }
    return path;
}

QString ResolveProgramDir(const QString& currentDir, const QString& thisProgramDir) {
    static const QString kTrailing = QStringLiteral("\n\r /\\");
    auto strip = [](QString dir) {
        const bool rooted = dir.startsWith(QLatin1Char('/'));
        while (!dir.isEmpty() && kTrailing.contains(dir.back())) dir.chop(1);
        // Stripping the root's own separator would leave no folder at all.
        return dir.isEmpty() && rooted ? QStringLiteral("/") : dir;
    };
    QString dir = thisProgramDir.isEmpty() ? QString() : strip(thisProgramDir);
    return dir.isEmpty() ? strip(currentDir) : dir;
}

namespace {
bool MakeFolder(const QString& folder) {
    // One component at a time, so the first that fails is the one reported.
    QString path;
    const QStringList parts = folder.split(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        path += (i == 0 ? QString() : QStringLiteral("/")) + parts[i];
        if (path.isEmpty()) continue;
        QFileInfo info(path);
        if (info.isDir()) continue;
        if (info.exists() || !QDir().mkdir(path)) return false;  // a plain file is never moved or deleted
    }
    return QFileInfo(folder).isDir();
}
}  // namespace

std::optional<QString> CreateProgramFolders(const ViewerState& state) {
    for (const QString& folder : {state.programDir, state.faxDir, state.dataDir, state.accumDir}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) continue;
        if (!QDir::isAbsolutePath(folder) || !MakeFolder(folder)) return folder;
    }
    return std::nullopt;
}

QString FolderFailureMessage(const QString& folder) {
    return QStringLiteral("Main18, The Path you Specified:\n%1\ncould not be created.").arg(folder);
}

QString OsDescriptionText() {
    QString cpu = QSysInfo::currentCpuArchitecture();
    QString bits = QSysInfo::WordSize == 64 ? QStringLiteral("64bit") : QStringLiteral("32bit");
    QString text = QStringLiteral("%1, %2, CPU: %3").arg(QSysInfo::prettyProductName(), bits, cpu.left(31));
    return text.left(127);
}

int OsKindCode() { return 0; }  // no Windows family here

QString InstallNoticeText() {
    const QString p = kProductName;
    return QStringLiteral(
               "%1 is installed on your Hard-Drive.\n\nYou will notice that a Group has been Created and there are "
               "several icons in it. Among the icons you should see [%2], [Help], [Read Me], [Manual], and "
               "[UnInstall].\n\nSelect [OK] to start %3 and start viewing fax and stuff.")
        .arg(p, p, p);
}

QString AboutText(const ViewerState& state) {
    // The running system's own kind and version ("Linux Type: 6.1.0") where Windows had its
    // platform identifier and version.
    QString kind = QSysInfo::kernelType();
    if (!kind.isEmpty()) kind[0] = kind[0].toUpper();
    QVersionNumber kernel = QVersionNumber::fromString(QSysInfo::kernelVersion());
    return QStringLiteral("Version: %1 - %2 Type: %3.%4.%5\n%6")
        .arg(kVersion, kind)
        .arg(kernel.majorVersion())
        .arg(kernel.minorVersion())
        .arg(kernel.microVersion())
        .arg(state.osDescription);
}

}  // namespace app
