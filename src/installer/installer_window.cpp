#include "installer/installer_window.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTimer>

#include "app/viewer_state.h"
#include "installer/dialog_kit.h"
#include "installer/folder_dialog.h"
#include "installer/installer_env.h"
#include "installer/shell_integration.h"
#include "installer/uninstaller.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace inst {

Mode ModeOf(const QString& commandLine) {
    if (commandLine.compare(QStringLiteral("UnInstall"), Qt::CaseInsensitive) == 0) return Mode::UnInstall;
    if (commandLine.compare(QStringLiteral("UnInstall2"), Qt::CaseInsensitive) == 0) return Mode::UnInstall2;
    return Mode::Install;
}

QString TermsText() {
    return QStringLiteral(
        "Vantorel is made by Quorvane and may be used free of charge by you and your organisation.\n\n"
        "You may copy the installer and give it to others as long as it stays unchanged.\n\n"
        "Vantorel is provided \"as is\", without warranty of any kind. Quorvane is not liable for any damage or loss "
        "of data that comes from using it. Keep copies of faxes that matter to you.\n\n"
        "Selecting [OK] goes on to the choice of the folder to install into.");
}

void RunInstallCommand(QWidget* window, const std::function<bool(QString&)>& folderDialog) {
    Pause(1000);
    app::prompts().show(window, QStringLiteral("%1, %2").arg(app::kProductName, app::kVersion), TermsText(), app::Icon::None);
    QString folder;
    if (!folderDialog(folder)) {
        app::prompts().show(window, InstallTitle(), QStringLiteral("Conditions Prevented Proper Installation."),
                            app::Icon::Warning);
        return;
    }
    if (window) window->repaint();
    if (!QApplication::overrideCursor()) QApplication::setOverrideCursor(Qt::WaitCursor);
    RunRemovalSequence(500);
    const bool grouped = RunMakingSequence(folder, [] {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    });
    if (!grouped)
        app::prompts().show(window, InstallTitle(), QStringLiteral("There was an error while creating the group."),
                            app::Icon::Error);
    Pause(512);
    const QString faxFolder = folder + QStringLiteral("/Fax");
    app::WriteText(app::kConfigure, QStringLiteral("DftFax"), faxFolder + QStringLiteral("/sample.dcx"));
    QDir::setCurrent(faxFolder);
    launcher().start(folder + QStringLiteral("/tarvex"), {QStringLiteral("InstallingTheProgram")}, faxFolder);
}

InstallerWindow::InstallerWindow(const QString& commandLine, const QString& self, QWidget* parent)
    : QDialog(parent), commandLine_(commandLine), self_(self) {
    EnsureInstallerResources();
    picture_.load(QStringLiteral(":/installer/backdrop.png"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(app::kProductName);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setAutoFillBackground(true);
    setWindowIcon(ProgramIcon());
    resize(picture_.size());
}

QPoint InstallerWindow::PictureOrigin(const QSize& size) { return {size.width() / 2 - 240, size.height() / 2 - 172}; }

void InstallerWindow::paintEvent(QPaintEvent*) {
    // Unscaled and centred; Qt repaints the whole window after a resize.
    QPainter p(this);
    p.drawPixmap(PictureOrigin(size()), picture_);
}

int InstallerWindow::run() {
    CentreOnDesktop(this);
    CloseRunningViewer(this);
    const Mode mode = ModeOf(commandLine_);
    if (mode == Mode::UnInstall) {
        RunFirstStage(this);
        return 0;
    }
    setWindowTitle(mode == Mode::UnInstall2 ? QStringLiteral("%1 UnInstalling").arg(app::kProductName)
                                            : InstallTitle());
    showMaximized();
    repaint();
    // The command runs once the window is on the screen.
    QTimer::singleShot(0, this, [this, mode] {
        if (mode == Mode::UnInstall2) RunUninstallCommand(this);
        else install();
        accept();
    });
    const int result = exec() == Accepted ? 0 : 1;
    if (mode == Mode::UnInstall2) RemoveRelocatedCopy(self_);
    return result;
}

void InstallerWindow::install() {
    RunInstallCommand(this, [this](QString& folder) {
        FolderDialog dialog(self_, this);
        if (dialog.run() != QDialog::Accepted) return false;
        folder = dialog.acceptedFolder();
        return true;
    });
}

}  // namespace inst
