#include "installer/folder_options.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "app/file_copy.h"
#include "app/viewer_state.h"
#include "installer/installer_env.h"
#include "installer/payload.h"
#include "installer/shell_integration.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace inst {

namespace {
const QString kProductFolder = QStringLiteral("/Quorvane/Tarvex");
// The per-user folder: not the one the Debian package's launcher keeps (Quorvane/Tarvex,
// with links to its documents), so the two installations never share a file.
const QString kLocalFolder = QStringLiteral("/Quorvane/Vantorel");

void Tell(bool report, QWidget* owner, const QString& text) {
    if (report) app::prompts().show(owner, app::kProductName, text, app::Icon::Information);
}

bool Set(FolderPick& pick, const QString& folder, int choice) {
    pick.folder = folder;
    pick.choice = choice;
    return true;
}

// A folder from the store counts only while the viewer is still in it. It is read whole: a
// folder too long to use is refused with a message at [Next >], never cut to another folder.
QString EarlierInstallation() {
    const QString dir = app::ReadText(app::kConfigure, QStringLiteral("ThisProgramDir"), {}, 0);
    if (!dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/tarvex"))) return dir;
    return {};
}

bool ShortFolder(FolderPick& pick) {
    const QString folder = places().shortFolder();
    QDir().mkdir(folder);
    return QFileInfo(folder).isDir() && Set(pick, folder, kOptionShort);
}

// A special folder that must exist, with the folder of the product below it.
bool BelowSpecial(int id, int choice, bool report, QWidget* owner, const QString& noFolder, const QString& missing,
                  FolderPick& pick, const QString& below = kProductFolder) {
    const QString base = TrimFolder(places().special(id));
    if (base.isEmpty()) {
        Tell(report, owner, noFolder);
        return false;
    }
    if (!QFileInfo(base).isDir()) {
        Tell(report, owner, missing);
        return false;
    }
    return Set(pick, base + below, choice);
}

// The uppermost level of `folder` that does not exist yet; empty when it exists.
QString FirstMissingLevel(const QString& folder) {
    QString missing;
    for (QString level = TrimFolder(folder); !level.isEmpty() && !QFileInfo::exists(level);
         level = QFileInfo(level).path()) {
        if (level == missing) break;  // "." or "/" of a path that cannot exist
        missing = level;
    }
    return missing;
}
}  // namespace

bool Resolve(int option, bool report, QWidget* owner, FolderPick& pick) {
    switch (option) {
        case kOptionShort:
            if (ShortFolder(pick)) return true;
            Tell(report, owner, QStringLiteral("Unable to read/write access ") + places().shortFolder());
            return false;
        case kOptionLocal:
            return BelowSpecial(kLocalAppData, kOptionLocal, report, owner, QStringLiteral("Unable to access your Local Folder."),
                                QStringLiteral("Unable to read/write access your Local Folder."), pick, kLocalFolder);
        case kOptionProgramFiles:
            return BelowSpecial(kProgramFiles, kOptionProgramFiles, report, owner,
                                QStringLiteral("Unable to access your [Program Files] Folder."),
                                QStringLiteral("Unable to read/write access your [Program Files] Folder."), pick);
        case kOptionRoaming: Tell(report, owner, QStringLiteral("Roaming will be available in future versions.")); return false;
        case kOptionMultiUser: Tell(report, owner, QStringLiteral("Multi User will be available in future versions.")); return false;
        case kOptionUpgrade: {
            QString folder = EarlierInstallation();
            if (folder.isEmpty() && QFileInfo(places().previousDefault).isDir()) folder = places().previousDefault;
            if (!folder.isEmpty()) return Set(pick, folder, kOptionUpgrade);
            Tell(report, owner, QStringLiteral("Unable to find a previous installation to upgrade."));
            return false;
        }
        default: return false;
    }
}

bool RunChain(int clicked, QWidget* owner, FolderPick& pick) {
    // The first resolver and the last (local) one may speak; the others run silently.
    struct Chain {
        int clicked;
        int steps[4];
    };
    static const Chain kChains[] = {
        {kOptionShort, {kOptionShort, kOptionUpgrade, kOptionLocal, 0}},           {kOptionLocal, {kOptionLocal, 0, 0, 0}},
        {kOptionProgramFiles, {kOptionProgramFiles, kOptionUpgrade, kOptionShort, kOptionLocal}}, {kOptionRoaming, {kOptionRoaming, kOptionUpgrade, kOptionShort, kOptionLocal}},
        {kOptionMultiUser, {kOptionMultiUser, kOptionUpgrade, kOptionShort, kOptionLocal}}, {kOptionUpgrade, {kOptionUpgrade, kOptionShort, kOptionLocal, 0}},
    };
    for (const Chain& chain : kChains) {
        if (chain.clicked != clicked) continue;
        for (int i = 0; i < 4 && chain.steps[i]; ++i) {
            const bool report = i == 0 || chain.steps[i] == kOptionLocal;
            if (Resolve(chain.steps[i], report, owner, pick)) return true;
        }
    }
    return false;
}

bool DefaultFolder(QWidget* owner, FolderPick& pick) {
    const QString earlier = EarlierInstallation();
    if (!earlier.isEmpty()) return Set(pick, earlier, kOptionUpgrade);
    if (QFileInfo(places().previousDefault).isDir()) return Set(pick, places().previousDefault, kOptionUpgrade);
    if (ShortFolder(pick)) return true;
    const QString local = TrimFolder(places().special(kLocalAppData));
    if (local.isEmpty()) {
        app::prompts().show(owner, app::kProductName, QStringLiteral("Unable to access a folder to install into."),
                            app::Icon::Information);
        return false;
    }
    return Set(pick, local + kLocalFolder, kOptionLocal);
}

bool CheckTargetFolder(const QString& folder, const QString& startingFolder, QWidget* owner, QString* made) {
    if (folder.size() > kFolderLimit) {
        app::prompts().show(owner, InstallTitle(), QStringLiteral("The Path you Specified is to long."), app::Icon::Error);
        return false;
    }
    if (app::SameFile(folder, startingFolder)) {
        app::prompts().show(owner, InstallTitle(),
                            QStringLiteral("You can not install from the same directory that you are installing "
                                           "to.\n\nPlease select a different directory."),
                            app::Icon::Information);
        return false;
    }
    if (made) *made = FirstMissingLevel(folder);
    if (CreateFolderPath(folder, owner, true) && QFileInfo(folder).isDir()) return true;
    app::prompts().show(owner, InstallTitle(),
                        QStringLiteral("The Path to the Folder you Specified:\n%1\ncould not be created.\n").arg(folder),
                        app::Icon::Error);
    app::prompts().show(owner, InstallTitle(), PermissionsText(), app::Icon::Information);
    return false;
}

bool InstallInto(PayloadView& view, const QString& folder, const QString& self, const QString& made) {
    const QString dirName = QStringLiteral("ThisProgramDir"), installingName = QStringLiteral("InstallingTheProgram");
    const QString oldDir = app::ReadText(app::kConfigure, dirName), oldInstalling = app::ReadText(app::kConfigure, installingName);
    app::WriteText(app::kConfigure, dirName, folder);
    app::WriteSigned(app::kConfigure, installingName, 1);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Nothing stays open in the folder being written: work from the root.
    QDir::setCurrent(QStringLiteral("/"));
    if (!WritePayload(view, folder, self)) {
        app::WriteText(app::kConfigure, dirName, oldDir);
        app::WriteText(app::kConfigure, installingName, oldInstalling);
        // Only empty levels go: rmdir leaves a folder that holds anything.
        for (QString level = TrimFolder(folder); !made.isEmpty() && QDir().rmdir(level) && level != made;)
            level = QFileInfo(level).path();
        QApplication::restoreOverrideCursor();
        app::prompts().show(view.owner(), InstallTitle(), PermissionsText(), app::Icon::Information);
        return false;
    }
    WriteRegistrations(folder);
    return true;
}

QString PermissionsText() {
    return QStringLiteral(
        "Permissions Problems\n\nIf you experience permissions problems it is most likely that the folder you chose "
        "belongs to another user or to the system. Choosing a folder of your own, or making your user the owner of "
        "that folder, will fix this problem.\n\nYou can not change the owner of a system folder while working as "
        "your own user because, (you guessed it), you do not have permission.\n\nTo make your user the owner of a "
        "system folder:\nUse an account that may run [sudo], create the folder, make your user its owner, and run "
        "this installer again.\n\nIf you are using a terminal:\no Open a terminal window\no Run [sudo mkdir -p "
        "/opt/Quorvane/Tarvex]\no Enter your password\no Run [sudo chown -R $USER /opt/Quorvane/Tarvex]\no Check it "
        "with [ls -ld /opt/Quorvane/Tarvex]\no Start this installer again\no Select [Program Files]\no Select "
        "[Next >]");
}

}  // namespace inst
