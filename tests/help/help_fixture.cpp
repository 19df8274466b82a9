#include "help_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "platform/settings_store.h"

namespace helpfix {

namespace {
const char* kVariables[] = {"BROWSER", "PATH", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                            "DISPLAY", "XDG_CURRENT_DESKTOP"};

void WriteScript(const QString& path, const QString& text) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text.toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
}  // namespace

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

HelpDesk::HelpDesk() {
    for (const char* v : kVariables) saved_[v] = qgetenv(v);
    const QString root = Q(dir.path());
    for (const char* sub : {"program", "bin", "data/applications", "config", "nodirs"}) QDir(root).mkpath(sub);
    state.programDir = root + "/program";
    state.DeriveFolders();
    helpPage = state.programDir + "/tarvexhelp.htm";
    record_ = root + "/browser-run.txt";
    browserScript = root + "/bin/stand-in browser";
    WriteScript(browserScript, QStringLiteral("#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > '%1.tmp'\n"
                                              "mv '%1.tmp' '%1'\n")
                                   .arg(record_));
    qputenv("PATH", (root + "/bin:").toUtf8() + saved_["PATH"]);
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
    qputenv("XDG_DATA_DIRS", (root + "/nodirs").toUtf8());
    for (const char* v : {"DISPLAY", "XDG_CURRENT_DESKTOP"}) qunsetenv(v);  // xdg-open and xdg-settings see a bare
    SetBrowserVariable("no-such-browser");                                  // desktop and no browser of this machine
    SetDesktopBrowser(QString(), QString());
    app::WriteText(app::kConfigure, "ThisProgramDir", state.programDir);
}

HelpDesk::~HelpDesk() {
    for (const auto& [name, value] : saved_) {
        if (value.isNull())
            qunsetenv(name.c_str());
        else
            qputenv(name.c_str(), value);
    }
}

void HelpDesk::SetBrowserVariable(const QString& value) {
    if (value.isEmpty())
        qunsetenv("BROWSER");
    else
        qputenv("BROWSER", value.toUtf8());
}

void HelpDesk::SetDesktopBrowser(const QString& desktopId, const QString& exec) {
    const QString root = Q(dir.path());
    WriteScript(root + "/config/mimeapps.list", "[Default Applications]\nx-scheme-handler/http=" + desktopId + "\n");
    if (exec.isEmpty()) return;
    // Only the main group's Exec names the browser; an action's Exec does not.
    WriteScript(root + "/data/applications/" + desktopId,
                "[Desktop Action new]\nExec=/bin/false\n\n[Desktop Entry]\nType=Application\nName=Stand-in\n"
                "Exec = " + exec + "\n");
}

QStringList HelpDesk::BrowserRun() {
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(record_) && t.elapsed() < 10000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    QString text = ReadAll(record_);
    if (text.endsWith('\n')) text.chop(1);
    return text.isEmpty() ? QStringList() : text.split('\n');
}

}  // namespace helpfix
