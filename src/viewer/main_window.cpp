#include "viewer/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <unistd.h>

#include <cstdio>

#include <QAbstractItemView>

#include "export/export_command.h"
#include "formats/fax_check.h"
#include "help/configure_dialog.h"
#include "help/help.h"
#include "help/support_contacts.h"
#include "help/support_form.h"
#include "platform/instance_channel.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "platform/settings_store.h"
#include "platform/window_stack.h"
#include "print/print_fax_dialog.h"
#include "tools/breakup_dialog.h"
#include "tools/tool_commands.h"
#include "viewer/commands.h"
#include "viewer/key_map.h"
#include "viewer/navigation.h"
#include "viewer/page_view.h"
#include "viewer/startup.h"
#include "viewer/wrap_menu_bar.h"
#include "zoomedit/zoom_edit_dialog.h"

namespace app {

const QEvent::Type CommandEvent::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

// The page selector: a drop-down list that reports when its list has closed. A click or
// Enter in the list makes the entry current only after the list is hidden, so the report
// waits for the events in hand; closing without a choice keeps the preselected entry.
class PageSelector : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onClosed;
    void hidePopup() override {
        QComboBox::hidePopup();
        if (!onClosed || reportPending_) return;
        reportPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                reportPending_ = false;
                onClosed();
            },
            Qt::QueuedConnection);
    }

private:
    bool reportPending_ = false;
};

namespace {
enum { kNoIcon, kInfo, kError };

// The zoom menu in order, for Ctrl + wheel.
const int kZoomSteps[] = {cmd::Zoom25, cmd::Zoom37, cmd::Zoom40, cmd::Zoom42, cmd::Zoom44, cmd::Zoom46, cmd::Zoom50,
                          cmd::Zoom60, cmd::Zoom75, cmd::Zoom80, cmd::Zoom90, cmd::Zoom100};
}  // namespace

MainWindow::MainWindow(ViewerState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
    setWindowTitle(kProductName);
    view_ = new PageView(this);
    setCentralWidget(view_);
    selector_ = new PageSelector(view_);
    selector_->setMinimumWidth(70);
    selector_->setMaxVisibleItems(16);
    selector_->hide();
    selector_->onClosed = [this] { pageSelectorClosed(); };
    connect(view_, &PageView::zoomStep, this, &MainWindow::stepZoom);
    buildMenu();
    qApp->installEventFilter(this);
    resize(800, 600);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    if (state_.primaryInstance && handle_ != 0) {
        WriteTransHandle(0);
        trace_ << QStringLiteral("unregister");
    }
    releaseFax();
}

QComboBox* MainWindow::pageSelector() const { return selector_; }

QAction* MainWindow::addCommand(QWidget* menu, const QString& text, int id) {
    auto* a = new QAction(text, this);
    connect(a, &QAction::triggered, this, [this, id] { postCommand(id); });
    menu->addAction(a);
    actions_.insert(id, a);
    return a;
}

void MainWindow::buildMenu() {
    // Not QMainWindow::menuBar(): that one hides what does not fit behind a button.
    menuBar_ = new WrapMenuBar(this);
    setMenuWidget(menuBar_);
    WrapMenuBar* bar = menuBar_;
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("&Open..."), cmd::Open);
    file->addSeparator();
    addCommand(file, QStringLiteral("&Copy..."), cmd::Copy);
    file->addSeparator();
    addCommand(file, QStringLiteral("&Delete..."), cmd::Delete);
    file->addSeparator();
    addCommand(file, QStringLiteral("&MoveAs..."), cmd::MoveAs);
    file->addSeparator();
    addCommand(file, QStringLiteral("&Print..."), cmd::Print);
    file->addSeparator();
    addCommand(file, QStringLiteral("E&xit Vantorel"), cmd::Exit);
    // The desktop's usual keys; none of them has a meaning of its own in the key table.
    action(cmd::Open)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    action(cmd::Print)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    action(cmd::Exit)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    addCommand(bar, QStringLiteral("&<PgDn"), cmd::PreviousPage);
    addCommand(bar, QStringLiteral("&Page"), cmd::PageSelector);
    addCommand(bar, QStringLiteral("PgUp&>"), cmd::NextPage);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    addCommand(edit, QStringLiteral("dcx to pcx &BreakUp..."), cmd::BreakUp);
    addCommand(edit, QStringLiteral("&Zoom/Edit Fax..."), cmd::ZoomEdit);
    addCommand(edit, QStringLiteral("Build &Fax from pcx file(s)..."), cmd::BuildFax);
    addCommand(edit, QStringLiteral("Build Long Fax from Multi-Page Fax..."), cmd::BuildLongFax);
    addCommand(edit, QStringLiteral("Build TIF and PDF file..."), cmd::BuildTifPdf);

    QMenu* zoom = bar->addMenu(QStringLiteral("&Zoom"));
    const char* zoomTexts[] = {"&Default Size", "&25%", "&37", "&40%", "&42%", "&44%", "&46%",
                               "&50%", "&60%", "&75%", "&80%", "&90%", "&100%"};
    for (int i = 0; i < 13; ++i) addCommand(zoom, QString::fromLatin1(zoomTexts[i]), cmd::ZoomDefault + i);

    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    addCommand(tools, QStringLiteral("&Configure"), cmd::Configure);

    // Texts are set by the accumulator refresh.
    addCommand(bar, QString(), cmd::AccumulatorSave);
    addCommand(bar, QString(), cmd::AccumulatorConvert);
    addCommand(bar, QString(), cmd::AccumulatorClear);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("&Help"), cmd::Help);
    help->addSeparator();
    addCommand(help, QStringLiteral("&ReadMe"), cmd::ReadMe);
    addCommand(help, QStringLiteral("&Manual"), cmd::Manual);
    help->addSeparator();
    QMenu* support = help->addMenu(QStringLiteral("Tech-&Support by:"));
    addCommand(support, QStringLiteral("&Web site:\t") + kWebSite, cmd::WebSite);
    addCommand(support, QStringLiteral("&Email:\t") + kMailPage, cmd::Email);
    addCommand(support, QStringLiteral("&Phone:\tQuorvane"), cmd::Phone);
    help->addSeparator();
    addCommand(help, QStringLiteral("A&bout..."), cmd::About);
}

void MainWindow::postCommand(int id, qint64 parameter) {
    QCoreApplication::postEvent(this, new CommandEvent(id, parameter));
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == CommandEvent::kType) {
        auto* c = static_cast<CommandEvent*>(event);
        // The window answers while a page decodes, but every command waits for the page:
        // none may close the fax or change the zoom under the decoder.
        if (decoding_)
            deferred_.push_back({c->id, c->parameter});
        else
            dispatch(c->id, c->parameter);
        return true;
    }
    return QMainWindow::event(event);
}

void MainWindow::message(const QString& text, int icon) {
    prompts().show(this, kProductName, text, icon == kError ? Icon::Error : icon == kInfo ? Icon::Information : Icon::None);
}

// ---- start-up -------------------------------------------------------------------

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

// ---- keys ---------------------------------------------------------------------

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys of an open menu, list or dialog, and of the menu bar while it is worked with the
    // keyboard, are theirs.
    if (!widget || widget->window() != this || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget() || selector_->view()->isVisible() || widget == menuBar_ ||
        menuBar_->isAncestorOf(widget))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    KeyAction a = MapKey(key->key(), key->modifiers());
    switch (a.kind) {
        case KeyAction::PassThrough: return false;
        case KeyAction::Consume: return true;
        case KeyAction::Command: postCommand(a.command); return true;
        case KeyAction::ScrollStep: view_->scrollStep(a.scroll); return true;
    }
    return false;
}

// ---- dispatch -----------------------------------------------------------------

void MainWindow::dispatch(int id, qint64 parameter) {
    static const QHash<int, std::function<void(MainWindow*, qint64)>> table = {
        {cmd::Open, [](MainWindow* w, qint64) { w->files_.open(); }},
        {cmd::Copy, [](MainWindow* w, qint64) { w->files_.copy(); }},
        {cmd::Delete, [](MainWindow* w, qint64) { w->files_.remove(); }},
        {cmd::MoveAs, [](MainWindow* w, qint64) { w->files_.moveAs(); }},
        {cmd::Exit, [](MainWindow* w, qint64) { w->close(); }},
        {cmd::Close, [](MainWindow* w, qint64) { w->close(); }},
        {cmd::RunLoop, [](MainWindow* w, qint64) { w->running_ = true; }},
        {cmd::OpenCurrentFax, [](MainWindow* w, qint64) { w->openCurrentFax(); }},
        // A page chosen in the page selector comes along as the parameter.
        {cmd::ShowPage,
         [](MainWindow* w, qint64 page) {
             if (page > 0) w->currentPage_ = static_cast<unsigned>(page);
             w->showPage();
         }},
        {cmd::RefreshAccumulator, [](MainWindow* w, qint64 p) { w->refreshAccumulator(p != 0); }},
        {cmd::AnotherViewer, [](MainWindow*, qint64) {}},
        {cmd::PreviousPage,
         [](MainWindow* w, qint64) {
             if (w->kind_ != fax::FaxKind::Dcx) return;
             w->currentPage_ = PreviousPage(w->currentPage_, w->pageCount_);
             w->postCommand(cmd::ShowPage);
         }},
        {cmd::NextPage,
         [](MainWindow* w, qint64) {
             if (w->kind_ != fax::FaxKind::Dcx) return;
             w->currentPage_ = NextPage(w->currentPage_, w->pageCount_);
             w->postCommand(cmd::ShowPage);
         }},
        {cmd::PageSelector, [](MainWindow* w, qint64) { w->openPageSelector(); }},
        {cmd::PreviousFaxFile, [](MainWindow* w, qint64) { w->neighbourFax(false); }},
        {cmd::NextFaxFile, [](MainWindow* w, qint64) { w->neighbourFax(true); }},
        {cmd::About, [](MainWindow* w, qint64) { w->showAbout(); }},
        {cmd::BreakUp, [](MainWindow* w, qint64) { w->breakUp(); }},
        {cmd::Print, [](MainWindow* w, qint64) { w->print(); }},
        {cmd::ZoomEdit, [](MainWindow* w, qint64) { w->zoomEdit(); }},
        // The open fax stays open while it is exported.
        {cmd::BuildTifPdf, [](MainWindow* w, qint64) { RunBuildTifPdfCommand(w, w->state_); }},
        {cmd::BuildFax,
         [](MainWindow* w, qint64) {
             if (RunBuildFax(w, w->state_)) w->showNewFile(w->state_.currentFax);
         }},
        {cmd::BuildLongFax,
         [](MainWindow* w, qint64) {
             if (RunBuildLongFax(w, w->state_)) w->showNewFile(w->state_.currentFax);
         }},
        {cmd::AccumulatorSave,
         [](MainWindow* w, qint64) {
             AccumulatorSave(w, w->state_, w->reader_.IsOpen() ? w->state_.currentFax : QString());
             w->postCommand(cmd::RefreshAccumulator, 1);
         }},
        {cmd::AccumulatorConvert,
         [](MainWindow* w, qint64) {
             if (AccumulatorConvert(w, w->state_)) w->showNewFile(w->state_.currentFax);
         }},
        {cmd::AccumulatorClear,
         [](MainWindow* w, qint64) {
             AccumulatorClear(w->state_);
             w->postCommand(cmd::RefreshAccumulator);
         }},
        {cmd::Phone,
         [](MainWindow* w, qint64) {
             w->message(QStringLiteral("For telephone support call Quorvane on %1,\nMonday to Friday, "
                                       "9 a.m. to 5 p.m.\n\nPlease have the version number from Help, About at hand.")
                            .arg(kSupportPhone),
                        kInfo);
         }},
        {cmd::Configure, [](MainWindow* w, qint64) { RunConfigure(w, w->state_); }},
        {cmd::Help, [](MainWindow* w, qint64) { ShowHelp(w, w->state_, QString()); }},
        {cmd::ReadMe, [](MainWindow* w, qint64) { OpenDocument(w, w->state_, QStringLiteral("README.TXT")); }},
        {cmd::Manual, [](MainWindow* w, qint64) { OpenDocument(w, w->state_, QStringLiteral("MANUAL.TXT")); }},
        {cmd::WebSite, [](MainWindow* w, qint64) { OpenWebSite(w->state_); }},
        {cmd::Email,
         [](MainWindow* w, qint64) {
             ShowSupportForm(w, w->state_, QStringLiteral("I need tech-support..."),
                             QStringLiteral("My reason for writing is:\r\n\r\n"));
         }},
    };
    dispatched_ << id;
    if (id >= cmd::ZoomDefault && id <= cmd::Zoom100) {
        // Menu items and digit keys start the page at its top-left corner; Ctrl + wheel keeps
        // the point under the pointer (its anchor comes along as the parameter).
        anchor_ = parameter != 0 ? wheelAnchor_ : std::nullopt;
        setZoom(id);
        return;
    }
    auto it = table.find(id);
    if (it != table.end()) {
        it.value()(this, parameter);
        return;
    }
    // Every menu item has its handler; an id nobody handles (a stray post) does nothing.
}

// ---- showing pages ----------------------------------------------------------------

void MainWindow::openCurrentFax() {
    reader_.Close();
    if (state_.currentFax.isEmpty() || !reader_.Open(state_.currentFax.toStdString())) {
        postCommand(cmd::RefreshAccumulator);
        return;
    }
    newFileFlag_ = true;
    postCommand(cmd::ShowPage);
}

void MainWindow::showPage() {
    postCommand(cmd::RefreshAccumulator);
    if (!reader_.IsOpen()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool ok = UnZipFaxToScreen(newFileFlag_);
    newFileFlag_ = false;
    QApplication::restoreOverrideCursor();
    for (const auto& [id, parameter] : std::exchange(deferred_, {})) postCommand(id, parameter);
    if (!ok) {
        reader_.Close();
        message(QStringLiteral("Can not view this file because it is not a valid dcx or pcx. (1)"), kError);
        surface_.Clear();
        view_->setSurface(nullptr, 0, 0);
        pageShown_ = false;
    }
    view_->setFocus();
}

bool MainWindow::UnZipFaxToScreen(bool newFile) {
    decoding_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{decoding_};

    if (newFile) {
        currentPage_ = 1;
        pageCount_ = 1;
        fax::PageError e = reader_.ReadLayout();
        kind_ = reader_.kind();
        if (e != fax::PageError::None) {
            message(QString::fromStdString(fax::PageErrorText(e)), kError);
            return false;
        }
        pageCount_ = reader_.pageCount();
        const bool dcx = kind_ == fax::FaxKind::Dcx;
        for (int id : {cmd::PreviousPage, cmd::PageSelector, cmd::NextPage}) action(id)->setEnabled(dcx);
    }
    surface_.Clear();
    view_->setSurface(&surface_, zoom_.displayWidth(), 0);
    // Each band is shown as soon as it is drawn; H grows with the bands until it is known.
    view::RenderOutcome outcome = view::RenderPage(reader_, currentPage_, zoom_, surface_,
                                                   [&](const view::PageSurface::Tile& tile) {
                                                       view_->setPageHeight(std::max(view_->pageHeight(), tile.top + tile.height));
                                                       view_->showBand(tile);
                                                       // Between bands the window repaints, scrolls and
                                                       // takes keys; commands wait (event()).
                                                       if (!ShuttingDown()) QCoreApplication::processEvents();
                                                   });
    if (!outcome.ok()) {
        for (const auto& text : view::RenderFailureTexts(outcome)) message(QString::fromStdString(text), kError);
        surface_.Clear();
        view_->setSurface(nullptr, 0, 0);
        return false;
    }
    currentPage_ = outcome.page;
    setWindowTitle(QStringLiteral("%1 %2, Page %3 of %4, %5")
                       .arg(kProductName, kVersion)
                       .arg(currentPage_)
                       .arg(pageCount_)
                       .arg(state_.currentFax));
    view_->setSurface(&surface_, zoom_.displayWidth(), outcome.height);
    if (anchor_) view_->restoreAnchor(*std::exchange(anchor_, std::nullopt));
    pageShown_ = true;
    return true;
}

void MainWindow::releaseFax() {
    surface_.Clear();
    if (view_) view_->setSurface(nullptr, 0, 0);
    reader_.Close();
    pageShown_ = false;
}

bool MainWindow::showNewFile(const QString& path) {
    fax::FaxReader probe;
    if (!probe.Open(path.toStdString())) return false;
    probe.Close();
    releaseFax();
    state_.currentFax = path;
    openCurrentFax();
    return true;
}

void MainWindow::setPlainTitle() { setWindowTitle(QStringLiteral("%1 %2").arg(kProductName, kVersion)); }

void MainWindow::setZoom(int command) {
    view::Zoom z;
    if (!view::ZoomForCommand(desktopWidth_ > 0 ? desktopWidth_ : view::kDefaultDesktopWidth, command, z)) return;
    zoom_ = z;
    for (int id = cmd::ZoomDefault; id <= cmd::Zoom100; ++id) action(id)->setEnabled(id != command);
    postCommand(cmd::ShowPage);
}

void MainWindow::stepZoom(int direction, QPoint pointer) {
    // The next wider (or narrower) step of the Zoom menu than what is shown now.
    const int dw = zoom_.displayWidth();
    int chosen = 0;
    for (int id : kZoomSteps) {
        view::Zoom z;
        view::ZoomForCommand(desktopWidth_, id, z);
        if (direction > 0 && z.displayWidth() > dw) {
            chosen = id;
            break;
        }
        if (direction < 0 && z.displayWidth() < dw) chosen = id;
    }
    if (!chosen) return;
    wheelAnchor_ = view_->anchorAt(pointer);
    postCommand(chosen, 1);
}

void MainWindow::openPageSelector() {
    selector_->clear();
    for (unsigned n = 1; n <= std::max(1u, pageCount_); ++n) selector_->addItem(QString::number(n));
    selector_->setCurrentIndex(SelectorIndex(currentPage_, std::max(1u, pageCount_)));
    // Under the page item, wherever the menu bar has put it.
    selector_->move(std::max(0, menuBar_->itemRect(action(cmd::PageSelector)).x()), 0);
    selector_->show();
    selector_->setFocus();
    selector_->showPopup();
}

void MainWindow::pageSelectorClosed() {
    if (!selector_->isVisible()) return;
    // The page changes with the command, so a list closed while a page decodes waits too.
    const int chosen = selector_->currentIndex() + 1;
    selector_->hide();
    postCommand(cmd::ShowPage, chosen);
    view_->setFocus();
}

void MainWindow::neighbourFax(bool next) {
    QString found = NeighbourFax(state_.currentFax, QDir::currentPath(), next);
    if (found.isEmpty() || !QFileInfo(found).isFile()) return;
    releaseFax();
    state_.currentFax = found;
    openCurrentFax();
}

void MainWindow::refreshAccumulator(bool afterSave) {
    AccumulatorMenu menu = ComputeAccumulatorMenu(state_, pageShown_ ? pageCount_ : 0, afterSave);
    const std::pair<int, std::pair<const QString*, bool>> items[] = {
        {cmd::AccumulatorSave, {&menu.saveText, menu.saveEnabled}},
        {cmd::AccumulatorConvert, {&menu.convertText, menu.convertEnabled}},
        {cmd::AccumulatorClear, {&menu.clearText, menu.clearEnabled}},
    };
    for (const auto& [id, item] : items) {
        action(id)->setText(*item.first);
        action(id)->setEnabled(item.second);
    }
}

void MainWindow::breakUp() {
    if (!reader_.IsOpen()) {
        message(QStringLiteral("Please open a Fax first."), kInfo);
        return;
    }
    if (BreakUpDialog::IsOpen()) {
        message(QStringLiteral("dcx to pcx BreakUp is busy."), kInfo);
        return;
    }
    releaseFax();
    RunBreakUp(this, state_);
    postCommand(cmd::OpenCurrentFax);
}

void MainWindow::print() {
    // While a job prints, the fax is closed and the dialog hidden: say why nothing starts.
    if (PrintFaxDialog::IsOpen()) {
        message(QStringLiteral("Vantorel, Fax Print Driver is busy."), kInfo);
        return;
    }
    if (!reader_.IsOpen()) {
        message(QStringLiteral("Please select a Fax."), kInfo);
        return;
    }
    const unsigned page = currentPage_;
    releaseFax();
    RunPrintFax(this, state_);
    // The same page again, not page 1.
    if (!reader_.Open(state_.currentFax.toStdString()) || reader_.ReadLayout() != fax::PageError::None) {
        postCommand(cmd::OpenCurrentFax);
        return;
    }
    pageCount_ = reader_.pageCount();
    currentPage_ = std::min(page, std::max(1u, pageCount_));
    postCommand(cmd::ShowPage);
}

void MainWindow::zoomEdit() {
    // Busy first: while Zoom/Edit runs the fax is closed, and "open a Fax" would mislead.
    if (ZoomEditDialog::IsOpen()) {
        message(QStringLiteral("Zoom/Edit Fax is busy."), kInfo);
        return;
    }
    if (!reader_.IsOpen()) {
        message(QStringLiteral("Please open a Fax first."), kInfo);
        return;
    }
    const unsigned page = currentPage_;
    releaseFax();
    hide();
    RunZoomEdit(this, state_, page);
    if (ShuttingDown()) {
        close();  // a close request came while the editor ran: the viewer stays closed
        return;
    }
    show();
    postCommand(cmd::OpenCurrentFax);  // page 1 again: the page list may have changed
}

void MainWindow::showAbout() {
    prompts().show(this, QStringLiteral("About %1").arg(kProductName), AboutText(state_), Icon::Information);
}

}  // namespace app
