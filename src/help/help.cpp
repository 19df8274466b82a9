#include "help/help.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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
const QString kHelpResources = QStringLiteral(":/help/");
// xdg-settings asks the desktop; a desktop that does not answer must not hold up Help.
constexpr int kDesktopQueryMs = 5000;
// What the failure message reports as the desktop's answer.
constexpr int kPageMissing = 2;
constexpr int kNoOpener = 31;

// The main group of a desktop entry, its values with the key file's escapes undone.
QHash<QString, QString> DesktopEntryValues(const QString& path) {
    QHash<QString, QString> values;
    QFile entry(path);
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text)) return values;
    bool mainGroup = false;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            mainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!mainGroup || eq <= 0) continue;
        const QString raw = line.mid(eq + 1).trimmed();
        QString value;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != QLatin1Char('\\') || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            switch (raw[++i].unicode()) {
                case 's': value += QLatin1Char(' '); break;
                case 'n': value += QLatin1Char('\n'); break;
                case 't': value += QLatin1Char('\t'); break;
                case 'r': value += QLatin1Char('\r'); break;
                case '\\': value += QLatin1Char('\\'); break;
                default:  // not the key file's: left for the quoting of Exec
                    value += QLatin1Char('\\');
                    value += raw[i];
            }
        }
        values.insert(line.left(eq).trimmed(), value);
    }
    return values;
}

// An Exec value split into its arguments: blanks separate them, double quotes keep them
// whole, and within quotes a backslash takes the next character as it is. Empty when a
// quote is left open.
QStringList SplitExec(const QString& exec) {
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted && c == QLatin1Char('\\') && i + 1 < exec.size()) {
            word += exec[++i];
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && c.isSpace()) {
            if (inWord) words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words << word;
    return quoted ? QStringList() : words;
}

QString DesktopDefaultBrowserEntry() {
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
    return QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
}

// A program file named by its path, or a bare name found on PATH; empty when there is none.
QString ExistingProgram(const QString& name) {
    if (name.isEmpty()) return {};
    if (!name.contains(QLatin1Char('/'))) return QStandardPaths::findExecutable(name);
    const QFileInfo program(name);
    return program.isFile() && program.isExecutable() ? program.absoluteFilePath() : QString();
}

// The command line a desktop runs for the entry at `entryPath` given `url`: its Exec value
// split into arguments, the field codes filled in (%u the URL, %f the local file, %c, %k,
// %i, %%) and the URL appended when it takes none; in a terminal when the entry asks for
// one. Empty without an Exec value, or when its TryExec program is not installed.
QStringList DesktopEntryCommand(const QString& entryPath, const QString& url) {
    const QHash<QString, QString> entry = DesktopEntryValues(entryPath);
    const QString tryExec = entry.value(QStringLiteral("TryExec"));
    if (!tryExec.isEmpty() && ExistingProgram(tryExec).isEmpty()) return {};
    const QUrl parsed(url);
    const QString file = parsed.isLocalFile() ? parsed.toLocalFile() : url;
    QStringList command;
    bool given = false;
    for (const QString& word : SplitExec(entry.value(QStringLiteral("Exec")))) {
        if (word == QLatin1String("%i")) {
            const QString icon = entry.value(QStringLiteral("Icon"));
            if (!icon.isEmpty()) command << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        for (qsizetype i = 0; i < word.size(); ++i) {
            const QChar code = word[i] == QLatin1Char('%') && i + 1 < word.size() ? word[++i] : QChar();
            if (code.isNull()) expanded += word[i];
            else if (code == QLatin1Char('%')) expanded += code;
            else if (code == QLatin1Char('u') || code == QLatin1Char('U')) expanded += url;
            else if (code == QLatin1Char('f') || code == QLatin1Char('F')) expanded += file;
            else if (code == QLatin1Char('c')) expanded += entry.value(QStringLiteral("Name"));
            else if (code == QLatin1Char('k')) expanded += entryPath;
            given = given || QStringLiteral("uUfF").contains(code);
        }
        // An argument of only a retired code (%d, %n, %m ...) is left out.
        if (!expanded.isEmpty() || !word.startsWith(QLatin1Char('%'))) command << expanded;
    }
    if (!command.isEmpty() && !given) command << url;
    if (!command.isEmpty() && entry.value(QStringLiteral("Terminal")) == QLatin1String("true"))
        command = QStringList{QStringLiteral("x-terminal-emulator"), QStringLiteral("-e")} + command;
    return command;
}
}  // namespace

bool WriteHelpFiles(QWidget* owner, const QString& programDir) {
    // An installation brings the documents; a viewer started in a folder of its own needs
    // them too. A user's own copy stays.
    for (const QString& name : {kReadMe, kManual}) {
        const QString path = QDir(programDir).filePath(name);
        if (!QFileInfo::exists(path)) WriteResourceFile(owner, kHelpResources + name, path);
    }
    return WriteResourceFile(owner, kHelpResources + kHelpPage, QDir(programDir).filePath(kHelpPage));
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
    return ExistingProgram(text);
}

QStringList WebBrowserCommand(const QString& url) {
    const QStringList candidates = qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& command : candidates) {
        const QString program = BrowserCommandProgram(command);
        if (!program.isEmpty()) return {program, url};
    }
    const QString entry = DesktopDefaultBrowserEntry();
    QStringList command = entry.isEmpty() ? QStringList() : DesktopEntryCommand(entry, url);
    if (!command.isEmpty()) command[0] = ExistingProgram(command[0]);
    return command.isEmpty() || command[0].isEmpty() ? QStringList() : command;
}

QString HelpUrl(const QString& programDir, const QString& anchor) {
    QUrl url = QUrl::fromLocalFile(QDir(programDir).filePath(kHelpPage));
    const QString fragment = anchor.startsWith(QLatin1Char('#')) ? anchor.mid(1) : anchor;
    if (!fragment.isEmpty()) url.setFragment(fragment);
    return url.toString(QUrl::FullyEncoded);
}

bool OpenPageInBrowser(const QString& page, const QString& url, const QString& workingFolder) {
    const QStringList browser = WebBrowserCommand(url);
    if (!browser.isEmpty() && shell().start(browser.first(), browser.mid(1), workingFolder)) return true;
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
