#include "installer/installer_env.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "app/commands.h"
#include "app/viewer_state.h"
#include "platform/instance_channel.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "platform/settings_store.h"

namespace inst {

QString InstallTitle() { return app::kProductName + QStringLiteral(" Installation"); }

namespace {
QString EnvFolder(const char* name, const QString& fallback) {
    QString v = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(v) ? QDir::cleanPath(v) : fallback;
}

std::function<void(int)> g_pause;

class DetachedLauncher : public Launcher {
public:
    bool start(const QString& program, const QStringList& arguments, const QString& workingFolder) override {
        return QProcess::startDetached(program, arguments, workingFolder);
    }
};
Launcher* g_launcher = nullptr;
}  // namespace

Places Places::UnderHome(const QString& home) {
    Places p;
    p.home = home;
    p.dataHome = home + QStringLiteral("/.local/share");
    p.configHome = home + QStringLiteral("/.config");
    p.desktop = home + QStringLiteral("/Desktop");
    p.programFiles = QStringLiteral("/opt");
    p.allUsersPrograms = QStringLiteral("/usr/share/applications");
    p.allUsersStartup = QStringLiteral("/etc/xdg/autostart");
    p.previousDefault = QStringLiteral("/opt/Morvessa");
    return p;
}

Places Places::FromEnvironment() {
    Places p = UnderHome(QDir::homePath());
    p.dataHome = EnvFolder("XDG_DATA_HOME", p.dataHome);
    p.configHome = EnvFolder("XDG_CONFIG_HOME", p.configHome);
    // The desktop folder comes from user-dirs.dirs in the configuration folder.
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty()) p.desktop = desktop;
    return p;
}

QString Places::special(int id) const {
    switch (id) {
        case kDesktop: return desktop;
        case kUserPrograms: return dataHome + QStringLiteral("/applications");
        case kUserStartup: return configHome + QStringLiteral("/autostart");
        case kAllUsersPrograms: return allUsersPrograms;
        case kAllUsersStartup: return allUsersStartup;
        case kLocalAppData: return dataHome;
        case kProgramFiles: return programFiles;
        default: return {};
    }
}

Places& places() {
    static Places current = Places::FromEnvironment();  // read once the program runs
    return current;
}
void setPlaces(const Places& p) { places() = p; }

void Pause(int milliseconds) {
    if (g_pause) g_pause(milliseconds);
    else app::PumpWait(milliseconds, true);
}

void setPauseHook(std::function<void(int)> hook) { g_pause = std::move(hook); }

Launcher& launcher() {
    static DetachedLauncher detached;
    return g_launcher ? *g_launcher : detached;
}

void setLauncher(Launcher* l) { g_launcher = l; }

QString TrimFolder(QString text) {
    static const QString kTrailing = QStringLiteral("\r\n /");
    while (!text.isEmpty() && kTrailing.contains(text.back())) text.chop(1);
    return text;
}

bool CreateFolderPath(const QString& path, QWidget* owner, bool report) {
    QString text = path.left(259);
    // An absolute path stands where the drive letter stood.
    if (!text.startsWith(QLatin1Char('/'))) {
        if (report)
            app::prompts().show(owner, app::kProductName,
                                QStringLiteral("The Path you Specified:\n%1\ncould not be created because it does not "
                                               "include a valid drive letter.")
                                    .arg(text),
                                app::Icon::Error);
        return false;
    }
    const QString remembered = QDir::currentPath();
    text = TrimFolder(text);
    // Levels end at a separator or at the end of the text; only the first 235
    // characters are walked, so a longer path's last level is not reached.
    const int walk = std::min<int>(text.size(), 234);
    for (int i = 1; i <= walk; ++i) {
        if (i < text.size() && text[i] != QLatin1Char('/')) continue;
        const QString level = text.left(i);
        QDir().mkdir(level);
        if (!QFileInfo(level).isDir() || !QDir::setCurrent(level)) {
            if (report)
                app::prompts().show(owner, app::kProductName,
                                    QStringLiteral("The Path you Specified:\n%1\ncould not be created.").arg(level),
                                    app::Icon::Error);
            QDir::setCurrent(remembered);
            return false;
        }
        if (i == text.size()) break;
    }
    QDir::setCurrent(remembered);
    return true;
}

void CloseRunningViewer(QWidget* owner) {
    const QString name = QStringLiteral("TransHandle");
    std::uint32_t handle = app::ReadUnsigned(app::kHandles, name, 0);
    if (handle == 0) return;
    app::PostCommandToHandle(static_cast<std::int32_t>(handle), app::cmd::Close);
    app::prompts().show(owner, app::kProductName,
                        QStringLiteral("Closing [%1] as it can not be running while doing this operation...")
                            .arg(app::kProductName),
                        app::Icon::None);
    for (int poll = 0; poll < 11; ++poll) {
        Pause(500);
        handle = app::ReadUnsigned(app::kHandles, name, handle);
        if (handle == 0) break;
    }
}

}  // namespace inst
