#include "installer_fixture.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstring>

namespace installer_test {

void InstallerHome::SetUp() {
    savedCwd_ = QDir::currentPath();
    const QString h = home();
    inst::Places p = inst::Places::UnderHome(h);
    p.programFiles = h + QStringLiteral("/opt");
    p.allUsersPrograms = h + QStringLiteral("/usr/share/applications");
    p.allUsersStartup = h + QStringLiteral("/etc/xdg/autostart");
    p.previousDefault = h + QStringLiteral("/opt/Morvessa");
    inst::setPlaces(p);
    for (const QString& d : {p.dataHome, p.configHome, p.desktop, p.programFiles, p.allUsersPrograms, p.allUsersStartup,
                             h + QStringLiteral("/start")})
        QDir().mkpath(d);
    qputenv("XDG_CONFIG_HOME", p.configHome.toUtf8());
    qputenv("XDG_DATA_HOME", p.dataHome.toUtf8());
    // The installer is started from a folder of its own.
    QDir::setCurrent(h + QStringLiteral("/start"));
    inst::setPauseHook([this](int ms) { pauses_.push_back(ms); });
    inst::setLauncher(&launcher_);
}

void InstallerHome::TearDown() {
    inst::setPauseHook({});
    inst::setLauncher(nullptr);
    inst::setPlaces(inst::Places::FromEnvironment());
    QDir::setCurrent(savedCwd_);
}

QStringList InstallerHome::environment() const {
    QStringList env = QProcess::systemEnvironment();
    const inst::Places& p = inst::places();
    env << QStringLiteral("HOME=") + home() << QStringLiteral("XDG_CONFIG_HOME=") + p.configHome
        << QStringLiteral("XDG_DATA_HOME=") + p.dataHome << QStringLiteral("XDG_DATA_DIRS=/usr/local/share:/usr/share")
        << QStringLiteral("XDG_CURRENT_DESKTOP=") << QStringLiteral("QT_QPA_PLATFORM=offscreen");
    return env;
}

int InstallerHome::Shell(const QString& command, QString* output) const {
    QProcess p;
    p.setEnvironment(environment());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!p.waitForFinished(30000)) return -1;
    if (output) *output = QString::fromUtf8(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void InstallerHome::FakeInstallation(const QString& folder) const {
    QDir().mkpath(folder);
    QFile f(folder + QStringLiteral("/tarvex"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("viewer");
}

std::vector<int> InstallerHome::TakePauses() {
    std::vector<int> p;
    p.swap(pauses_);
    return p;
}

struct HonourPermissions::Caps {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
};

HonourPermissions::HonourPermissions() {
    if (::geteuid() != 0) return;
    auto* caps = new Caps;
    if (::syscall(SYS_capget, &caps->header, caps->data) != 0) {
        delete caps;
        return;
    }
    Caps reduced = *caps;
    reduced.data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    if (::syscall(SYS_capset, &reduced.header, reduced.data) == 0) saved_ = caps;
    else delete caps;
}

HonourPermissions::~HonourPermissions() {
    if (!saved_) return;
    ::syscall(SYS_capset, &saved_->header, saved_->data);
    delete saved_;
}

QString SelfPath() { return QCoreApplication::applicationFilePath(); }

}  // namespace installer_test
