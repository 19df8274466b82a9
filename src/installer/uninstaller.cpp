#include "installer/uninstaller.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include "app/file_copy.h"
#include "app/viewer_state.h"
#include "installer/dialog_kit.h"
#include "installer/installer_env.h"
#include "installer/payload.h"
#include "installer/shell_integration.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "platform/shell.h"

namespace inst {

namespace {
QString ProgramFolder() {
    // Read whole: a cut path would name another folder.
    return TrimFolder(app::ReadText(app::kConfigure, QStringLiteral("ThisProgramDir"), {}, 0));
}

void Message(QWidget* owner, const QString& text, app::Icon icon) {
    app::prompts().show(owner, app::kProductName, text, icon);
}

bool Inside(const QString& path, const QString& folder) {
    const QString p = QDir::cleanPath(path), f = QDir::cleanPath(folder);
    return !path.isEmpty() && (p == f || p.startsWith(f + QLatin1Char('/')));
}

// Once the program folder is gone, nothing may lead there any more: the file types, the
// settings that name a place inside it (the others stay), and the uninstall entry.
void ForgetFolder(const QString& folder) {
    RemoveFileTypes(folder);
    for (const QString& name : app::ValueNames(app::kConfigure))
        if (Inside(app::ReadText(app::kConfigure, name), folder)) app::WriteText(app::kConfigure, name, {});
    QSettings entry(places().uninstallEntryFile(), QSettings::IniFormat);
    if (Inside(entry.value(app::kProductName + QStringLiteral("/InstallLoaction")).toString(), folder))
        entry.remove(app::kProductName);
}
}  // namespace

QString RelocationFolder() {
    const QString local = TrimFolder(places().special(kLocalAppData));
    return local.isEmpty() ? QString() : local + QStringLiteral("/TEMP/Tarvex");
}

void RemoveRelocatedCopy(const QString& self) {
    const QString relocation = RelocationFolder();
    // A running program's file may go on Linux; the program itself runs on to its end.
    if (relocation.isEmpty() || !app::SameFile(QFileInfo(self).path(), relocation)) return;
    QFile::remove(self);
    // The folders go too when nothing else is in them.
    if (QDir().rmdir(relocation)) QDir().rmdir(QFileInfo(relocation).path());
}

bool RunFirstStage(QWidget* owner) {
    Pause(128);
    const QString folder = ProgramFolder();
    if (!folder.contains(QLatin1Char('/'))) {
        app::prompts().show(owner, InstallTitle(), QStringLiteral("Unable to create an uninstall path."), app::Icon::Error);
        return false;
    }
    const QString relocation = RelocationFolder();
    if (relocation.isEmpty()) {
        Message(owner, QStringLiteral("Unable to access a folder to install into."), app::Icon::Information);
        return false;
    }
    CreateFolderPath(relocation, owner, true);  // a failure shows up in the copy
    const QString source = folder + QStringLiteral("/tarvexinst");
    const QString destination = relocation + QStringLiteral("/tarvexinst");
    if (!ReplaceByCopy(source, destination, owner)) return false;
    return launcher().start(destination, {QStringLiteral("UnInstall2")}, relocation);
}

void RunUninstallCommand(QWidget* owner) {
    const QString product = app::kProductName;
    if (!app::prompts().yesNo(owner, product, QStringLiteral("Do you really want to UnInstall %1?").arg(product), app::No))
        return;
    Pause(1000);
    ConfirmDialog confirm(owner);
    if (confirm.run() != QDialog::Accepted) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    RunRemovalSequence(64);
    if (!QFileInfo::exists(confirm.folder())) ForgetFolder(confirm.folder());
    QApplication::restoreOverrideCursor();
    Message(owner, QStringLiteral("%1 has been UnInstalled.").arg(product), app::Icon::Information);
}

QString RemovalRefusal(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isAbsolute() || !info.isDir()) return QStringLiteral("it is not a folder");
    if (info.isSymLink()) return QStringLiteral("it is a link to another folder");
    const QString canonical = info.canonicalFilePath();
    const QString home = QFileInfo(places().home).canonicalFilePath();
    if (canonical == QStringLiteral("/")) return QStringLiteral("it is the root folder");
    if (!home.isEmpty() && (home == canonical || home.startsWith(canonical + QLatin1Char('/'))))
        return QStringLiteral("it is your home folder or holds it");
    const QFileInfo viewer(folder + QStringLiteral("/tarvex"));
    if (!viewer.isFile() || viewer.isSymLink()) return QStringLiteral("it does not hold the installed %1").arg(app::kProductName);
    return {};
}

bool RemoveFolderTree(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists() || !folder.contains(QLatin1Char('/'))) return false;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& e : entries) {
        const QString path = e.filePath();
        bool ok;
        if (e.isSymLink() || !e.isDir()) ok = QFile::remove(path);  // a link goes, its target stays
        else if (e.fileName().startsWith(QLatin1Char('.'))) continue;
        else ok = RemoveFolderTree(path);
        if (!ok) return false;
    }
    return QDir().rmdir(folder);
}

ConfirmDialog::ConfirmDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("%1 UnInstall").arg(app::kProductName));
    const DialogUnits u = StyleDialog(this, 340, 126);
    text_ = new QLabel(this);
    Place(text_, u, 5, 5, 330, 91);
    text_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setMargin(4);
    IconLabel(this, u, 181, 101);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    Place(cancel_, u, 231, 106, 50, 14);
    finish_ = new QPushButton(QStringLiteral("&Finish"), this);
    Place(finish_, u, 284, 106, 50, 14);
    // One default button only: Return on a dialog that removes a folder must not remove it.
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(finish_, &QPushButton::clicked, this, &ConfirmDialog::finish);
}

int ConfirmDialog::run() {
    CentreOnDesktop(this);
    folder_ = ProgramFolder();
    const QString product = app::kProductName;
    if (folder_.isEmpty() || !QFileInfo(folder_).isDir()) {
        Message(this,
                QStringLiteral("The installation of %1 that you are UnInstalling from:\n%2\ncan not be found.").arg(product, folder_),
                app::Icon::Information);
        return Rejected;
    }
    text_->setText(QStringLiteral("You are UnInstalling [%1] from Folder:\n%2\n\nDoing this will remove folder:\n%3\nfrom "
                                  "this computer. It will also remove all its sub-folders.\n\nAre you sure you want to do "
                                  "this?")
                       .arg(product, folder_, folder_));
    cancel_->setFocus();
    return exec();
}

void ConfirmDialog::finish() {
    const QString refusal = RemovalRefusal(folder_);
    if (!refusal.isEmpty()) {
        // Only a folder that is an installation is ever removed.
        Message(this, QStringLiteral("The folder:\n%1\nwas not removed because %2.").arg(folder_, refusal), app::Icon::Error);
        reject();
        return;
    }
    // The folder holds the user's faxes: the trash keeps them, and only where there is none
    // that can take the folder is it removed.
    if (!app::MoveToTrash(folder_) && !RemoveFolderTree(folder_))
        Message(this, QStringLiteral("Some files of the folder:\n%1\ncould not be removed.").arg(folder_),
                app::Icon::Information);
    accept();
}

}  // namespace inst
