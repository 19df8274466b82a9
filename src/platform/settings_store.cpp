#include "platform/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <cerrno>
#include <cstdlib>

#include "formats/file_io.h"
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

QStringList ValueNames(const QString& subkey) {
    BusyGuard busy;
    QSettings store(SettingsPath(), QSettings::IniFormat);
    store.beginGroup(subkey);
    return store.childKeys();
}

// Qt's own writer can report success after a write that failed (on a full disk it left an
// empty store), so the store is made in a scratch folder, read back under another name
// (a name QSettings has not cached), and only then put in place.
bool WriteText(const QString& subkey, const QString& name, const QString& text) {
    BusyGuard busy;
    const QString path = SettingsPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QTemporaryDir scratch;
    if (!scratch.isValid()) return false;
    const QString made = scratch.filePath(QStringLiteral("made.conf"));
    const QString check = scratch.filePath(QStringLiteral("check.conf"));
    if (QFileInfo::exists(path) && !QFile::copy(path, made)) return false;
    QMap<QString, QVariant> expected;
    {
        QSettings store(made, QSettings::IniFormat);
        store.setValue(Key(subkey, name), text);
        store.sync();
        if (store.status() != QSettings::NoError) return false;
        for (const QString& key : store.allKeys()) expected.insert(key, store.value(key));
    }
    if (!QFile::rename(made, check)) return false;
    {
        QSettings reread(check, QSettings::IniFormat);
        if (reread.status() != QSettings::NoError || reread.allKeys().size() != expected.size()) return false;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            if (reread.value(it.key()) != it.value()) return false;
    }
    QFile in(check);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = in.readAll();
    if (bytes.size() != in.size()) return false;

    const std::string target = QFile::encodeName(path).toStdString();
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    fax::AtomicFile out(target);
    if (!out.Open() || !out.file().WriteAll(bytes.constData(), static_cast<std::size_t>(bytes.size()))) return false;
    // QSettings notices a changed store by its size and its time to the millisecond; a store
    // rewritten within the same millisecond gets a time one millisecond on.
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (hadOld && old.st_mtim.tv_sec == now.tv_sec && old.st_mtim.tv_nsec / 1000000 == now.tv_nsec / 1000000) {
        now.tv_nsec += 1000000;
        if (now.tv_nsec >= 1000000000) now.tv_sec += 1, now.tv_nsec -= 1000000000;
        const struct timespec times[2] = {now, now};
        ::utimensat(AT_FDCWD, out.tempPath().c_str(), times, 0);
    }
    return out.Commit();
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
    recognisePdfText = ReadUnsigned(kConfigure, QStringLiteral("RecognisePdfText"), recognisePdfText);
    recogniseLanguage = ReadText(kConfigure, QStringLiteral("RecogniseLanguage"), recogniseLanguage);
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
