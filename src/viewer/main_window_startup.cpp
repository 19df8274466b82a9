// The main window's start-up, in its numbered steps, and its shutdown: program folders,
// instance registration, settings and placement in; settings and handle out.
#include "viewer/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <unistd.h>

#include <cstdio>

#include "app/commands.h"
#include "app/startup.h"
#include "formats/fax_check.h"
#include "help/help.h"
#include "platform/instance_channel.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "platform/settings_store.h"
#include "platform/window_stack.h"
#include "viewer/find_bar.h"
#include "viewer/page_selector.h"

namespace app {

bool MainWindow::start() {
    ResetWindowStack(this);
    // 1. The first start after an installation shows the notice.
    if (IsInstallingCommand(state_.commandLine)) {
        PumpWait(1000, false);
        trace_ << QStringLiteral("notice");
        prompts().show(this, kProductName, InstallNoticeText(), Icon::None);
    }
    // 2. Icon.
    setWindowIcon(style()->standardIcon(QStyle::SP_FileIcon));
    // 3. Operating system.
    state_.osDescription = OsDescriptionText();
    state_.osKind = OsKindCode();
    // 4. Program folder.
    const QString startDir = QDir::currentPath();
    state_.programDir = ResolveProgramDir(startDir, ReadText(kConfigure, QStringLiteral("ThisProgramDir")));
    trace_ << QStringLiteral("programDir");
    // 5. Folders.
    state_.DeriveFolders();
    std::optional<QString> failed = CreateProgramFolders(state_);
    if (!failed && !QDir::setCurrent(state_.programDir)) failed = state_.programDir;
    if (failed) {
        trace_ << QStringLiteral("folders failed");
        prompts().show(this, kProductName, FolderFailureMessage(*failed), Icon::Error);
        state_.primaryInstance = false;
        close();
        return false;
    }
    trace_ << QStringLiteral("folders");
    // 6. Instance registration.
    registerInstance();
    // 7. Title.
    setWindowTitle(QStringLiteral("%1 - Version %2").arg(kProductName, kVersion));
    // 8. Settings.
    state_.settings.Load(state_.programDir);
    state_.currentFax = state_.settings.dftFax;
    trace_ << QStringLiteral("settings");
    // 9. The help page, written afresh at every start.
    if (WriteHelpFiles(this, state_.programDir)) trace_ << QStringLiteral("help");
    // 10. First run after an installation: in front, centred.
    if (state_.settings.installingTheProgram == 1) {
        trace_ << QStringLiteral("front");
        if (QScreen* s = QGuiApplication::primaryScreen()) move(s->availableGeometry().center() - rect().center());
        show();
        raise();
        activateWindow();
    }
    // 11. No page, no fax.
    releaseFax();
    kind_ = fax::FaxKind::None;
    selector_->hide();
    // 12. Placement.
    placeWindow();
    // 13. A fax named on the command line; a relative name means the folder we were started in.
    if (!state_.commandLine.isEmpty() && !IsInstallingCommand(state_.commandLine)) {
        QString path = CommandLineFax(state_.commandLine);
        if (QFileInfo(path).isRelative() && !state_.startDir.isEmpty()) path = QDir(state_.startDir).filePath(path);
        if ((fax::ContainsNoCase(path.toStdString(), ".dcx") || fax::ContainsNoCase(path.toStdString(), ".pcx")) &&
            QFileInfo(path).isFile()) {
            state_.currentFax = path;
            state_.commandLine.clear();
            trace_ << QStringLiteral("command-line fax");
        }
    }
    // 14. Default Size for this desktop.
    if (desktopWidth_ <= 0) {
        QScreen* s = QGuiApplication::primaryScreen();
        desktopWidth_ = s ? s->geometry().width() : view::kDefaultDesktopWidth;
    }
    zoom_ = view::DefaultSizeAtStartup(desktopWidth_);
    for (auto* a : actions_) a->setEnabled(true);
    action(cmd::ZoomDefault)->setEnabled(false);
    // 15, 16.
    view_->setFocus();
    postCommand(cmd::RunLoop);
    postCommand(cmd::OpenCurrentFax);
    if (!state_.findText.isEmpty()) postCommand(cmd::Find, 1);
    trace_ << QStringLiteral("posted");
    return true;
}

void MainWindow::registerInstance() {
    std::int32_t seen = 0;
    for (int i = 0; i < 3; ++i) {
        PumpWait(50, false);
        if (ReadTransHandle(seen) != 0) {
            PostCommandToHandle(seen, cmd::AnotherViewer, ::getpid());
            // Nothing acknowledges; the wait gives the other viewer time to settle.
            for (int k = 0; k < 51; ++k) PumpWait(40, false);
            trace_ << QStringLiteral("waited for %1").arg(seen);
            break;
        }
    }
    channel_ = new InstanceChannel(this);
    const auto pid = static_cast<std::int32_t>(::getpid());
    if (!channel_->listen(pid)) {
        // A handle nobody can reach would make the installer wait for a viewer that never
        // hears it; this viewer runs on unregistered and says why.
        std::fprintf(stderr, "%s: cannot listen on %s (%s); other programs cannot reach this viewer.\n",
                     qPrintable(kProductName), qPrintable(ChannelName(pid)), qPrintable(channel_->errorString()));
        trace_ << QStringLiteral("not registered");
        return;
    }
    connect(channel_, &InstanceChannel::commandReceived, this, [this](int id, qint64 p) { postCommand(id, p); });
    handle_ = pid;
    WriteTransHandle(handle_);
    trace_ << QStringLiteral("registered");
}

void MainWindow::placeWindow() {
    const Settings& s = state_.settings;
    if (s.openMax == 1) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        showMaximized();
    } else {
        move(s.winX, s.winY);
        resize(s.winCX - s.winX, s.winCY - s.winY);
        show();
    }
    placed_ = true;
    trace_ << QStringLiteral("placed");
}

// ---- shutdown -----------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ShuttingDown()) {
        event->accept();  // already closing: nothing is saved twice
        return;
    }
    findBar_->stop();  // recognition ends with the window, never holding it up
    if (state_.primaryInstance) {
        SetShuttingDown(true);
        state_.settings.dftFax = state_.currentFax;
        state_.settings.SaveAtExit();
        ++settingsSaves_;
        trace_ << QStringLiteral("saved");
    }
    event->accept();
}

void MainWindow::rememberEdges() {
    if (!placed_ || isMinimized() || isMaximized() || isFullScreen()) return;
    Settings& s = state_.settings;
    s.winX = x();
    s.winY = y();
    s.winCX = x() + width();
    s.winCY = y() + height();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    rememberEdges();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    rememberEdges();
}

}  // namespace app
