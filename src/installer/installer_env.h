// What every part of the installer shares: where things go on this desktop, its pauses,
// how it starts programs, the folder trim and the folder creator.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace inst {

// "Vantorel Installation": the title of the installer's own messages.
QString InstallTitle();

// The installer's folder ids, named after what they hold.
enum FolderId {
    kDesktop = 0,
    kUserPrograms = 2,
    kUserStartup = 7,
    kAllUsersPrograms = 23,
    kAllUsersStartup = 24,
    kLocalAppData = 28,
    kProgramFiles = 38,
};

// The folders of this desktop. Read from the environment at start; tests point every one
// of them into a temporary home.
struct Places {
    QString home;              // $HOME
    QString dataHome;          // $XDG_DATA_HOME (~/.local/share)
    QString configHome;        // $XDG_CONFIG_HOME (~/.config)
    QString desktop;           // the XDG desktop folder
    QString programFiles;      // /opt
    QString allUsersPrograms;  // /usr/share/applications
    QString allUsersStartup;   // /etc/xdg/autostart
    QString previousDefault;   // /opt/Morvessa, where earlier versions went

    static Places FromEnvironment();
    // Every folder below `home` the way the environment defaults would put them.
    static Places UnderHome(const QString& home);

    QString shortFolder() const { return home + QStringLiteral("/Tarvex"); }
    // The folder of an id without creating it; empty for an id this desktop has no folder for.
    QString special(int id) const;
    // The per-user uninstall entry: $XDG_CONFIG_HOME/Quorvane/Uninstall.conf.
    QString uninstallEntryFile() const { return configHome + QStringLiteral("/Quorvane/Uninstall.conf"); }
};

Places& places();
void setPlaces(const Places& p);

// The installer's pumped wait. Tests replace it to see the pauses without spending them.
void Pause(int milliseconds);
void setPauseHook(std::function<void(int)> hook);  // empty: the pumped wait again

// Starting a program on its own, the way the desktop would, with arguments and a working folder.
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual bool start(const QString& program, const QStringList& arguments, const QString& workingFolder) = 0;
};
Launcher& launcher();
void setLauncher(Launcher* l);  // nullptr: the real one (a detached process)

// Removes trailing carriage returns, line feeds, spaces and separators.
QString TrimFolder(QString text);

// Creates every missing level of an absolute path, walking at most its first 235
// characters; `owner` set = report failures with a message. True on success.
bool CreateFolderPath(const QString& path, QWidget* owner, bool report);

// Asks a running viewer to close (command 65000) and polls TransHandle up to eleven
// times, half a second apart, until it reads 0.
void CloseRunningViewer(QWidget* owner);

}  // namespace inst
