#include "installer/shell_integration.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include "app/resource_writer.h"
#include "app/viewer_state.h"
#include "installer/dialog_kit.h"
#include "installer/installer_env.h"
#include "platform/shell.h"

namespace inst {

namespace {
const QString kGroup = QStringLiteral("Vantorel");
// The file types' entry and the icons carry names of this installation's own: the Debian
// package has tarvex.desktop and the icon "tarvex", and neither may hide the other.
const QString kViewerEntry = QStringLiteral("com.quorvane.tarvexinst.Viewer.desktop");
// What earlier versions of this installer called the entry.
const QString kEarlierViewerEntry = QStringLiteral("tarvex.desktop");
const QString kIconPrefix = QStringLiteral("com.quorvane.tarvexinst.");
const QString kDcxType = QStringLiteral("image/x-dcx");
const QString kPcxType = QStringLiteral("image/vnd.zbrush.pcx");  // shared-mime-info's PCX type
const QString kEntrySuffix = QStringLiteral(".desktop");
const QString kWebPage = QStringLiteral("https://www.quorvane.example/vantorel");
const QString kDownload = QStringLiteral("https://www.quorvane.example/vantorel/download/tarvexinst");

// A desktop entry string value: backslash and control characters escaped.
QString EscapeValue(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c == QLatin1Char('\\')) out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n')) out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r')) out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t')) out += QStringLiteral("\\t");
        else out += c;
    }
    return out;
}

// One Exec argument: in double quotes, with the characters that must be escaped inside
// them, only when it holds a character the desktop reserves. Openers that split the line
// at blanks and take the first word as the program (xdg-open on a plain window manager)
// cannot start a quoted program, so a plain path stays plain. A percent sign is doubled
// either way, as it would start a field code.
QString QuoteArgument(const QString& arg) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool quote = std::any_of(arg.begin(), arg.end(), [](QChar c) { return kReserved.contains(c); });
    QString out = quote ? QStringLiteral("\"") : QString();
    for (QChar c : arg) {
        if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('%')) out += QLatin1Char('%');
        out += c;
    }
    return quote ? out + QLatin1Char('"') : out;
}

QString ReadTextFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The program that the Exec line of a desktop entry file starts: the value's own escapes
// undone first, then the quoting of its first argument.
QString ExecProgram(const QString& entryFile) {
    QString value;
    for (const QString& line : ReadTextFile(entryFile).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Exec="))) value = line.mid(5);
    static const QString kEscaped = QStringLiteral("sntr"), kMeant = QStringLiteral(" \n\t\r");
    QString exec, program;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value[i] == QLatin1Char('\\') && i + 1 < value.size() ? value[++i] : QChar();
        exec += c.isNull() ? value[i] : kEscaped.contains(c) ? kMeant[kEscaped.indexOf(c)] : c;
    }
    bool quoted = false;
    for (int i = 0; i < exec.size(); ++i) {
        if (exec[i] == QLatin1Char('"')) quoted = !quoted;
        else if (exec[i] == QLatin1Char(' ') && !quoted) break;
        else program += quoted && exec[i] == QLatin1Char('\\') && i + 1 < exec.size() ? exec[++i] : exec[i];
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// Every file the installer writes for the desktop: a link standing in its place is replaced
// by the new file, as the desktop's own tools do, and never written through.
bool WriteBytes(const QString& path, const QByteArray& bytes) {
    if (QFileInfo(path).isSymLink()) QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(bytes);
    return f.commit();
}

bool WriteTextFile(const QString& path, const QString& text) { return WriteBytes(path, text.toUtf8()); }

// Runs a desktop tool when it is installed; its result does not matter.
void RunIfPresent(const QString& program, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) return;
    QProcess p;
    p.start(path, arguments);
    if (!p.waitForFinished(15000)) p.kill(), p.waitForFinished(1000);
}

// Moves `from` to `to` unless `to` already exists: the old shortcut is never replaced.
bool MoveWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    if (errno == EXDEV) {
        // Another file system: create the new name exclusively and copy.
        QFile src(from);
        const int fd = ::open(t.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        QFile dst;
        bool ok = src.open(QIODevice::ReadOnly) && dst.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle);
        if (!dst.isOpen()) ::close(fd);
        ok = ok && dst.write(src.readAll()) == src.size() && dst.flush();
        dst.close();
        if (!ok) QFile::remove(to);
        else QFile::remove(from);
        return ok;
    }
    // No rename flags on this file system: a hard link also refuses an existing name.
    if (::link(f.constData(), t.constData()) != 0) return false;
    ::unlink(f.constData());
    return true;
}

// The product's icons in the user's hicolor theme: name, picture, size.
struct ThemeIcon {
    const char* name;
    const char* resource;
    int size;
};
constexpr ThemeIcon kIcons[] = {{"Viewer", ":/installer/program.png", 64},
                                {"ReadMe", ":/payload/133", 32},
                                {"Manual", ":/payload/135", 32},
                                {"UnInstall", ":/payload/136", 32}};

QString IconName(const char* name) { return kIconPrefix + QLatin1String(name); }
QString HicolorFolder() { return places().dataHome + QStringLiteral("/icons/hicolor"); }
QString IconFile(const ThemeIcon& icon) {
    return HicolorFolder() + QStringLiteral("/%1x%1/apps/%2.png").arg(icon.size).arg(IconName(icon.name));
}

// Icon themes notice new or removed icons by the time of the theme's folder; a cache that
// is there must be made again, or it hides them.
void IconsChanged() {
    const QString hicolor = HicolorFolder();
    ::utimensat(AT_FDCWD, QFile::encodeName(hicolor).constData(), nullptr, 0);
    if (QFileInfo::exists(hicolor + QStringLiteral("/icon-theme.cache")))
        RunIfPresent(QStringLiteral("gtk-update-icon-cache"), {QStringLiteral("-q"), QStringLiteral("-t"), hicolor});
}

void InstallIcons() {
    EnsureInstallerResources();
    for (const ThemeIcon& icon : kIcons) {
        QFile picture(QLatin1String(icon.resource));
        if (picture.open(QIODevice::ReadOnly)) WriteBytes(IconFile(icon), picture.readAll());
    }
    IconsChanged();
}

QString MimeAppsFile() { return places().configHome + QStringLiteral("/mimeapps.list"); }

// Removes those of `entries` in the user's applications folder that start the viewer of
// `folder`, then the defaults naming an entry that no longer exists anywhere (the Debian
// package's tarvex.desktop, where it is installed, keeps its defaults).
void RemoveViewerEntries(const QString& folder, const QStringList& entries) {
    const QString applications = places().special(kUserPrograms);
    const QString viewer = QDir::cleanPath(folder + QStringLiteral("/tarvex"));
    QString mimeapps = ReadTextFile(MimeAppsFile());
    const QString before = mimeapps;
    bool removed = false;
    for (const QString& entry : entries) {
        const QString file = applications + QLatin1Char('/') + entry;
        if (QFileInfo::exists(file) && QDir::cleanPath(ExecProgram(file)) == viewer) removed |= QFile::remove(file);
        if (QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry).isEmpty())
            mimeapps = WithoutApplication(mimeapps, entry);
    }
    if (mimeapps != before) WriteTextFile(MimeAppsFile(), mimeapps);
    // The desktop's cache of which entry opens which type would still name it.
    if (removed) RunIfPresent(QStringLiteral("update-desktop-database"), {applications});
}

QString DirectoryFile() {
    return places().dataHome + QStringLiteral("/desktop-directories/vantorel.directory");
}
QString MenuMergeFile() {
    return places().configHome + QStringLiteral("/menus/applications-merged/vantorel.menu");
}

const char* const kGroupEntries[] = {"Vantorel", "Manual", "Read Me", "Help", "UnInstall"};

QString MenuMergeText() {
    QString include;
    for (const char* name : kGroupEntries)
        include += QStringLiteral("      <Filename>%1-%2.desktop</Filename>\n").arg(kGroup, QLatin1String(name));
    return QStringLiteral(
               "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd\">\n"
               "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>%1</Name>\n"
               "    <Directory>vantorel.directory</Directory>\n    <Include>\n%2    </Include>\n"
               "    <Layout>\n%2    </Layout>\n  </Menu>\n</Menu>\n")
        .arg(kGroup, include);
}

// Where a shortcut of `name` lives: group entries inside the group folder.
QString ShortcutPath(int folderId, const QString& name) {
    QString path = places().special(folderId) + QLatin1Char('/') +
                   (folderId == kUserPrograms ? kGroup + QLatin1Char('/') : QString()) + name;
    if (!path.toLower().contains(kEntrySuffix)) path += kEntrySuffix;
    return path;
}

// Places of all users are touched only when this user may write there.
bool MayChange(int folderId, const QString& folder) {
    if (folderId != kAllUsersPrograms && folderId != kAllUsersStartup) return true;
    return QFileInfo(folder).isWritable();
}

Shortcut GroupShortcut(const QString& folder, int index) {
    const QString f = folder;
    switch (index) {
        case 0: return {QStringLiteral("Vantorel"), f + QStringLiteral("/tarvex"), {}, f, IconName("Viewer")};
        case 1: return {QStringLiteral("Manual"), f + QStringLiteral("/MANUAL.TXT"), {}, f, IconName("Manual"), true};
        case 2: return {QStringLiteral("Read Me"), f + QStringLiteral("/README.TXT"), {}, f, IconName("ReadMe"), true};
        case 3: return {QStringLiteral("Help"), f + QStringLiteral("/tarvexhelp.htm"), {}, f, QStringLiteral("text-html"), true};
        default: return {QStringLiteral("UnInstall"), f + QStringLiteral("/tarvexinst"), QStringLiteral("UnInstall"), f, IconName("UnInstall")};
    }
}
}  // namespace

QString ExecLine(const QString& program, const QString& arguments) {
    return QuoteArgument(program) + (arguments.isEmpty() ? QString() : QLatin1Char(' ') + arguments);
}

QString OpenCommand(const QString& folder) { return ExecLine(folder + QStringLiteral("/tarvex"), QStringLiteral("%f")); }

QString WithDefaultApplication(const QString& mimeappsText, const QStringList& mimeTypes, const QString& entry) {
    QStringList lines = mimeappsText.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    for (const QString& group : {QStringLiteral("[Default Applications]"), QStringLiteral("[Added Associations]")}) {
        int start = lines.indexOf(group);
        if (start < 0) {
            lines << group;
            start = lines.size() - 1;
        }
        int end = start + 1;
        while (end < lines.size() && !lines[end].startsWith(QLatin1Char('['))) ++end;
        for (const QString& mime : mimeTypes) {
            const QString key = mime + QLatin1Char('=');
            QString value = entry;
            int found = -1;
            for (int i = start + 1; i < end; ++i)
                if (lines[i].startsWith(key)) found = i;
            if (group.startsWith(QLatin1String("[Added"))) {
                // Other programs offered for the type stay offered, after this one.
                QStringList others;
                if (found >= 0) others = lines[found].mid(key.size()).split(QLatin1Char(';'), Qt::SkipEmptyParts);
                others.removeAll(entry);
                others.prepend(entry);
                value = others.join(QLatin1Char(';')) + QLatin1Char(';');
            }
            if (found >= 0) {
                lines[found] = key + value;
            } else {
                // After the group's last line, before the blank lines that close it.
                int at = end;
                while (at > start + 1 && lines[at - 1].trimmed().isEmpty()) --at;
                lines.insert(at, key + value);
                ++end;
            }
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString WithoutApplication(const QString& mimeappsText, const QString& entry) {
    QStringList lines = mimeappsText.split(QLatin1Char('\n'));
    bool ours = false;  // inside a group this installer writes to
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1Char('['))) {
            ours = lines[i] == QLatin1String("[Default Applications]") || lines[i] == QLatin1String("[Added Associations]");
            continue;
        }
        const int eq = lines[i].indexOf(QLatin1Char('='));
        if (!ours || eq < 0) continue;
        const QString value = lines[i].mid(eq + 1);
        QStringList programs = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (programs.removeAll(entry) == 0) continue;
        if (programs.isEmpty()) {
            lines.removeAt(i--);
            continue;
        }
        lines[i] = lines[i].left(eq + 1) + programs.join(QLatin1Char(';')) +
                   (value.endsWith(QLatin1Char(';')) ? QStringLiteral(";") : QString());
    }
    return lines.join(QLatin1Char('\n'));
}

void RemoveFileTypes(const QString& folder) {
    RemoveViewerEntries(folder, {kViewerEntry, kEarlierViewerEntry});
    // The icons go with the last entry that shows them.
    if (QFileInfo::exists(places().special(kUserPrograms) + QLatin1Char('/') + kViewerEntry)) return;
    for (const ThemeIcon& icon : kIcons) QFile::remove(IconFile(icon));
    IconsChanged();
}

void WriteRegistrations(const QString& folder) {
    const Places& p = places();
    // The uninstall entry: six values in one group, or none when the file cannot be made.
    const QString trimmed = TrimFolder(folder);
    if (QDir().mkpath(QFileInfo(p.uninstallEntryFile()).absolutePath())) {
        QSettings entry(p.uninstallEntryFile(), QSettings::IniFormat);
        entry.beginGroup(app::kProductName);
        entry.setValue(QStringLiteral("DisplayName"), app::kProductName);
        entry.setValue(QStringLiteral("UninstallString"),
                       QStringLiteral("\"%1%2%3\" %4").arg(trimmed, QStringLiteral("/"), QStringLiteral("tarvexinst"),
                                                           QStringLiteral("UnInstall")));
        entry.setValue(QStringLiteral("InstallLoaction"), trimmed);
        entry.setValue(QStringLiteral("Publisher"), QStringLiteral("Quorvane"));
        entry.setValue(QStringLiteral("URLInfoAbout"), kWebPage);
        entry.setValue(QStringLiteral("URLUpdateInfo"), kDownload);
        entry.endGroup();
        entry.sync();
    }
    // The file types: the viewer as the program that opens both, a type for DCX (the
    // container's magic number 987654321, little-endian), and the defaults of this user.
    // An entry an earlier version made for this folder under the package's name goes first.
    RemoveViewerEntries(folder, {kEarlierViewerEntry});
    InstallIcons();
    const QString applications = p.special(kUserPrograms);
    WriteTextFile(applications + QLatin1Char('/') + kViewerEntry,
                  QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nIcon=%3\n"
                                 "MimeType=%4;%5;\nNoDisplay=true\nTerminal=false\n")
                      .arg(app::kProductName, EscapeValue(OpenCommand(folder)), IconName("Viewer"), kDcxType, kPcxType));
    const QString mime = p.dataHome + QStringLiteral("/mime");
    WriteTextFile(mime + QStringLiteral("/packages/vantorel-dcx.xml"),
                  QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                                 "  <mime-type type=\"%1\">\n    <comment>DCX fax</comment>\n"
                                 "    <sub-class-of type=\"application/octet-stream\"/>\n"
                                 "    <magic priority=\"60\">\n      <match type=\"little32\" offset=\"0\" value=\"0x3ade68b1\"/>\n"
                                 "    </magic>\n    <glob pattern=\"*.dcx\"/>\n  </mime-type>\n"
                                 "  <mime-type type=\"%2\">\n    <glob pattern=\"*.pcx\"/>\n  </mime-type>\n"
                                 "</mime-info>\n")
                      .arg(kDcxType, kPcxType));
    RunIfPresent(QStringLiteral("update-mime-database"), {mime});
    const QString text = ReadTextFile(MimeAppsFile());
    WriteTextFile(MimeAppsFile(), WithDefaultApplication(text, {kDcxType, kPcxType}, kViewerEntry));
    RunIfPresent(QStringLiteral("update-desktop-database"), {applications});
}

QString ShortcutEntry(const Shortcut& s) {
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\n").arg(EscapeValue(s.name));
    const QString exec = s.document ? QStringLiteral("xdg-open ") + QuoteArgument(s.target)
                                    : ExecLine(s.target, s.arguments);
    if (!s.target.isEmpty()) text += QStringLiteral("Exec=%1\n").arg(EscapeValue(exec));
    if (!s.workingFolder.isEmpty()) text += QStringLiteral("Path=%1\n").arg(EscapeValue(s.workingFolder));
    if (!s.icon.isEmpty()) text += QStringLiteral("Icon=%1\n").arg(EscapeValue(s.icon));
    return text + QStringLiteral("Terminal=false\n");
}

bool MakeShortcut(QWidget*, int folderId, const Shortcut& shortcut, bool group, bool open) {
    const QString special = TrimFolder(places().special(folderId));
    if (special.isEmpty() || !QFileInfo(special).isDir()) return false;
    if (group) {
        const QString groupFolder = special + QLatin1Char('/') + shortcut.name;
        QDir().mkdir(groupFolder);
        if (folderId == kUserPrograms) {
            // The menu shows the folder's entries as a submenu through these two files.
            WriteTextFile(DirectoryFile(), QStringLiteral("[Desktop Entry]\nType=Directory\nName=%1\nIcon=%2\n")
                                               .arg(shortcut.name, IconName("Viewer")));
            WriteTextFile(MenuMergeFile(), MenuMergeText());
        }
        if (open) app::shell().open(groupFolder);
        return QFileInfo(groupFolder).isDir();
    }
    const QString path = ShortcutPath(folderId, shortcut.name);
    const QString tmp = shortcut.workingFolder + QStringLiteral("/tmp");
    // Never through a link named tmp: its file is not the installer's to change.
    const int fd = app::OpenRegularFile(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW);
    if (fd < 0) return false;
    QFile f;
    if (!f.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    const QByteArray bytes = ShortcutEntry(shortcut).toUtf8();
    const bool saved = f.write(bytes) == bytes.size() && f.flush();
    f.close();
    return saved && MoveWithoutReplacing(tmp, path);
}

bool RemoveShortcut(int folderId, const QString& name, bool group) {
    const QString special = TrimFolder(places().special(folderId));
    if (special.isEmpty() || !QFileInfo(special).isDir() || !MayChange(folderId, special)) return false;
    if (!group) return QFile::remove(ShortcutPath(folderId, name));
    const QString groupFolder = special + QLatin1Char('/') + name;
    QDir dir(groupFolder);
    if (!dir.exists()) return false;
    for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) dir.remove(file);
    if (folderId == kUserPrograms) {
        QFile::remove(DirectoryFile());
        QFile::remove(MenuMergeFile());
    }
    return QDir().rmdir(groupFolder);
}

void RunRemovalSequence(int lastPause) {
    RemoveShortcut(kUserStartup, kGroup, false);
    Pause(64);
    RemoveShortcut(kAllUsersStartup, kGroup, false);
    Pause(64);
    RemoveShortcut(kDesktop, kGroup, false);
    Pause(64);
    RemoveShortcut(kAllUsersPrograms, kGroup, true);
    Pause(64);
    RemoveShortcut(kUserPrograms, kGroup, true);
    Pause(lastPause);
}

bool RunMakingSequence(const QString& folder, const std::function<void()>& desktopMade) {
    const Shortcut viewer = GroupShortcut(folder, 0);
    if (MakeShortcut(nullptr, kDesktop, viewer, false)) {
        // A launcher on the desktop runs only when it is executable, and some desktops
        // also want it marked as trusted.
        const QString launcher = ShortcutPath(kDesktop, viewer.name);
        QFile::setPermissions(launcher, QFile::permissions(launcher) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        RunIfPresent(QStringLiteral("gio"), {QStringLiteral("set"), launcher, QStringLiteral("metadata::trusted"), QStringLiteral("true")});
    }
    if (desktopMade) desktopMade();
    Pause(64);
    MakeShortcut(nullptr, kUserPrograms, {kGroup, {}, {}, {}, {}}, true);
    Pause(64);
    bool last = false;
    for (int i = 0; i < 5; ++i) {
        last = MakeShortcut(nullptr, kUserPrograms, GroupShortcut(folder, i), false);
        Pause(64);
    }
    return last;
}

}  // namespace inst
