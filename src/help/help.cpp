#include "help/help.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include "app/resource_writer.h"
#include "app/viewer_state.h"
#include "help/support_contacts.h"
#include "platform/prompts.h"
#include "platform/shell.h"

namespace app {

namespace {
const QString kHelpResource = QStringLiteral(":/help/tarvexhelp.htm");
// xdg-settings asks the desktop; a desktop that does not answer must not hold up Help.
constexpr int kDesktopQueryMs = 5000;
// What the failure message reports as the desktop's answer.
constexpr int kPageMissing = 2;
constexpr int kNoOpener = 31;

QString DesktopDefaultBrowserCommand() {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-settings"));
    if (tool.isEmpty()) return {};
    QProcess query;
    query.start(tool, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (!query.waitForFinished(kDesktopQueryMs)) {
        query.kill();
        query.waitForFinished();
        return {};
    }
    const QString id = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (id.isEmpty() || id.contains(QLatin1Char('/'))) return {};
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    QFile entry(path);
    if (path.isEmpty() || !entry.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    bool mainGroup = false;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            mainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (mainGroup && eq > 0 && line.left(eq).trimmed() == QLatin1String("Exec")) return line.mid(eq + 1).trimmed();
    }
    return {};
}
}  // namespace

bool WriteHelpFiles(QWidget* owner, const QString& programDir) {
    return WriteResourceFile(owner, kHelpResource, QDir(programDir).filePath(kHelpPage));
}

QString BrowserCommandProgram(const QString& command) {
    QString text = command.trimmed();
    if (text.isEmpty()) return {};
    if (text.startsWith(QLatin1Char('"'))) {
        text.remove(0, 1);
        const qsizetype close = text.indexOf(QLatin1Char('"'));
        if (close >= 0) text.truncate(close);
    } else {
        const qsizetype blank = text.indexOf(QRegularExpression(QStringLiteral("\\s")));
        if (blank >= 0) text.truncate(blank);
    }
    if (text.isEmpty()) return {};
    if (!text.contains(QLatin1Char('/'))) return QStandardPaths::findExecutable(text);
    const QFileInfo program(text);
    return program.isFile() && program.isExecutable() ? program.absoluteFilePath() : QString();
}

QString FindWebBrowser() {
    const QStringList candidates = qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& command : candidates) {
        const QString program = BrowserCommandProgram(command);
        if (!program.isEmpty()) return program;
    }
    return BrowserCommandProgram(DesktopDefaultBrowserCommand());
}

QString HelpUrl(const QString& programDir, const QString& anchor) {
    QUrl url = QUrl::fromLocalFile(QDir(programDir).filePath(kHelpPage));
    const QString fragment = anchor.startsWith(QLatin1Char('#')) ? anchor.mid(1) : anchor;
    if (!fragment.isEmpty()) url.setFragment(fragment);
    return url.toString(QUrl::FullyEncoded);
}

bool OpenPageInBrowser(const QString& page, const QString& url, const QString& workingFolder) {
    const QString browser = FindWebBrowser();
    if (!browser.isEmpty() && shell().start(browser, {url}, workingFolder)) return true;
    return shell().open(page, workingFolder);
}

void ShowHelp(QWidget* owner, const ViewerState& state, const QString& anchor) {
    const QString page = QDir(state.programDir).filePath(kHelpPage);
    if (OpenPageInBrowser(page, HelpUrl(state.programDir, anchor), state.programDir)) return;
    const int result = QFileInfo::exists(page) ? kNoOpener : kPageMissing;
    prompts().show(owner, kProductName,
                   QStringLiteral("Unable to open:\n%1\nin your Web Browser.\n\nError [%2]\n\nTry using your Web Browser "
                                  "and load it from there.")
                       .arg(page)
                       .arg(result),
                   Icon::Error);
}

void OpenDocument(QWidget* owner, const ViewerState& state, const QString& name) {
    const QString path = QDir(state.programDir).filePath(name);
    if (shell().open(path, state.programDir)) return;
    prompts().show(owner, kProductName,
                   QStringLiteral("Unable to open:\n%1\n\nUse another Editor, Word Processor, or Email Program to open it.")
                       .arg(path),
                   Icon::Error);
}

void OpenWebSite(const ViewerState& state) { shell().open(kWebSite, state.programDir); }

}  // namespace app
