#include "platform/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSettings>
#include <cerrno>
#include <cstdlib>

#include "platform/pump_wait.h"

namespace app {

namespace {
bool g_busy = false;

// One read or write at a time, also across pumped waits.
class BusyGuard {
public:
    BusyGuard() {
        while (g_busy) PumpWait(20, true);
        g_busy = true;
    }
    ~BusyGuard() { g_busy = false; }
};

QString Key(const QString& subkey, const QString& name) { return subkey + QLatin1Char('/') + name; }
}  // namespace

QString SettingsPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Quorvane/Applications/Tarvex.conf");
}

QString ReadText(const QString& subkey, const QString& name, const QString& fallback, int size) {
    QString value;
    {
        BusyGuard busy;
        QSettings store(SettingsPath(), QSettings::IniFormat);
        value = store.value(Key(subkey, name)).toString();
    }
    if (value.isEmpty()) value = fallback;
    if (size > 0 && value.size() > size - 1) value.truncate(size - 1);
    return value;
}

void WriteText(const QString& subkey, const QString& name, const QString& text) {
    BusyGuard busy;
    QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
    QSettings store(SettingsPath(), QSettings::IniFormat);
    store.setValue(Key(subkey, name), text);
    store.sync();
}

std::int32_t ParseSigned(const QString& text) {
    QByteArray b = text.toLatin1();
    return static_cast<std::int32_t>(std::strtol(b.constData(), nullptr, 10));
}

std::uint32_t ParseUnsigned(const QString& text) {
    QByteArray b = text.toLatin1();
    // strtoul takes a sign and wraps a negative value, as the C library always has.
    return static_cast<std::uint32_t>(std::strtoul(b.constData(), nullptr, 0));
}

std::int32_t ReadSigned(const QString& subkey, const QString& name, std::int32_t fallback) {
    return ParseSigned(ReadText(subkey, name, QString::number(fallback), 32));
}

std::uint32_t ReadUnsigned(const QString& subkey, const QString& name, std::uint32_t fallback) {
    return ParseUnsigned(ReadText(subkey, name, QString::number(fallback), 32));
}

void WriteSigned(const QString& subkey, const QString& name, std::int32_t value) {
    WriteText(subkey, name, QString::number(value));
}

void WriteUnsigned(const QString& subkey, const QString& name, std::uint32_t value) {
    WriteText(subkey, name, QString::number(value));
}

void Settings::Load(const QString& programDir) {
    openMax = ReadUnsigned(kConfigure, QStringLiteral("OpenMax"), openMax);
    winX = ReadSigned(kConfigure, QStringLiteral("WinX"), winX);
    winY = ReadSigned(kConfigure, QStringLiteral("WinY"), winY);
    winCX = ReadSigned(kConfigure, QStringLiteral("WinCX"), winCX);
    winCY = ReadSigned(kConfigure, QStringLiteral("WinCY"), winCY);
    paintProgram = ReadText(kConfigure, QStringLiteral("PaintProgram"), paintProgram);
    fileNameDcx = ReadUnsigned(kConfigure, QStringLiteral("FileNameDCX"), fileNameDcx);
    // Kept in one byte: 257 reads as 1.
    scalingFactor = static_cast<std::uint8_t>(ReadUnsigned(kConfigure, QStringLiteral("ScalingFactor"), scalingFactor));
    prnAspect = static_cast<std::uint8_t>(ReadUnsigned(kConfigure, QStringLiteral("PrnAspect"), prnAspect));
    dither = static_cast<std::uint8_t>(ReadUnsigned(kConfigure, QStringLiteral("Dither"), dither));
    dftFax = ReadText(kConfigure, QStringLiteral("DftFax"), QDir(programDir).filePath(QStringLiteral("sample.dcx")));
    printFaxPrnDrv = ReadText(kConfigure, QStringLiteral("PrintFaxPrnDrv"), printFaxPrnDrv, 181);
    installingTheProgram =
        ReadUnsigned(kConfigure, QStringLiteral("InstallingTheProgram"), installingTheProgram);
    printBlankPage = ReadUnsigned(kConfigure, QStringLiteral("PrintBlankPage"), printBlankPage);
}

void Settings::SaveAtExit() const {
    WriteText(kConfigure, QStringLiteral("DftFax"), dftFax);
    WriteUnsigned(kConfigure, QStringLiteral("InstallingTheProgram"), 0);
    WriteSigned(kConfigure, QStringLiteral("WinX"), winX);
    WriteSigned(kConfigure, QStringLiteral("WinY"), winY);
    WriteSigned(kConfigure, QStringLiteral("WinCX"), winCX);
    WriteSigned(kConfigure, QStringLiteral("WinCY"), winCY);
}

std::int32_t ReadTransHandle(std::int32_t& lastSeen) {
    lastSeen = ReadSigned(kHandles, QStringLiteral("TransHandle"), lastSeen);
    return lastSeen;
}

void WriteTransHandle(std::int32_t handle) { WriteSigned(kHandles, QStringLiteral("TransHandle"), handle); }

std::uint32_t NextFaxNumber(Settings& settings) {
    static bool taking = false;
    while (taking) PumpWait(10, true);
    taking = true;
    settings.fileNameDcx = settings.fileNameDcx >= 99999999u ? 0 : settings.fileNameDcx + 1;
    WriteUnsigned(kConfigure, QStringLiteral("FileNameDCX"), settings.fileNameDcx);
    taking = false;
    return settings.fileNameDcx;
}

QString NewFaxName(const QString& faxDir, Settings& settings) {
    QString name;
    // Every name is taken from the counter; at most one full turn of it is tried.
    for (std::uint32_t tries = 0; tries <= 99999999u; ++tries) {
        name = faxDir + QStringLiteral("/%1.dcx").arg(NextFaxNumber(settings), 8, 10, QLatin1Char('0'));
        if (!QFileInfo::exists(name)) break;
    }
    return name;
}

}  // namespace app
