#include "viewer/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <cmath>

#include "app/commands.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "tools/tool_commands.h"
#include "viewer/find_bar.h"
#include "viewer/navigation.h"
#include "viewer/page_selector.h"
#include "viewer/wrap_menu_bar.h"

namespace app {

const QEvent::Type CommandEvent::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

namespace {
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
    findBar_ = new FindBar(this);
    addToolBar(Qt::BottomToolBarArea, findBar_);
    setContextMenuPolicy(Qt::PreventContextMenu);  // no menu to hide the find bar with
    findBar_->pageOnScreen = [this] { return currentPage_; };
    connect(findBar_, &FindBar::currentHitChanged, this, &MainWindow::goToHit);
    connect(findBar_, &FindBar::hitsChanged, this, [this] { showFindHits(false); });
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

void MainWindow::message(const QString& text, Icon icon) {
    prompts().show(this, kProductName, text, icon);
}

// ---- showing pages ----------------------------------------------------------------

void MainWindow::openCurrentFax() {
    reader_.Close();
    const bool opened = !state_.currentFax.isEmpty() && reader_.Open(state_.currentFax.toStdString());
    // A new fax, or the same one rewritten by a tool: its text is read anew, from page 1
    // where it will be shown.
    if (opened) currentPage_ = 1;
    findBar_->faxChanged(opened ? state_.currentFax : QString());
    if (!opened) {
        releaseFax();  // no page of a fax that is not there stays on screen
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
        message(QStringLiteral("Can not view this file because it is not a valid dcx or pcx. (1)"), Icon::Error);
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
            message(QString::fromStdString(fax::PageErrorText(e)), Icon::Error);
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
        for (const auto& text : view::RenderFailureTexts(outcome)) message(QString::fromStdString(text), Icon::Error);
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
    if (reader_.LoadPage(currentPage_, shownPage_) != fax::PageError::None) shownPage_ = {};
    decoding_ = false;
    showFindHits(std::exchange(revealHit_, false));
    return true;
}

void MainWindow::releaseFax() {
    if (view_) view_->setSurface(nullptr, 0, 0);
    closeFax();
}

void MainWindow::lendFax() {
    view_->holdPicture();
    closeFax();
}

void MainWindow::closeFax() {
    surface_.Clear();
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

// ---- find ----------------------------------------------------------------------

namespace {
constexpr int kHitPadding = 1;  // screen pixels around a word's ink
}  // namespace

void MainWindow::openFind(bool commandLineText) {
    if (!reader_.IsOpen()) {
        message(QStringLiteral("Please open a Fax first."), Icon::Information);
        return;
    }
    const QString language = state_.settings.recogniseLanguage.isEmpty() ? QString::fromLatin1(ocr::kDefaultLanguage)
                                                                         : state_.settings.recogniseLanguage;
    findBar_->open(state_.currentFax, language);
    if (commandLineText) findBar_->setText(std::exchange(state_.findText, QString()));
}

void MainWindow::goToHit() {
    const ocr::Hit* hit = findBar_->hits().currentHit();
    revealHit_ = hit != nullptr;
    if (hit && (hit->page != currentPage_ || !pageShown_))
        postCommand(cmd::ShowPage, hit->page);  // the page's display then shows the hits
    else if (!decoding_)
        showFindHits(std::exchange(revealHit_, false));
}

void MainWindow::showFindHits(bool reveal) {
    if (decoding_) return;  // the page's display shows them when it is done
    std::vector<PageView::Highlight> boxes;
    QRect current;
    const std::vector<ocr::Word>* words = findBar_->pageWords(currentPage_);
    const int pageWidth = shownPage_.bytesPerLine * 8;
    if (pageShown_ && !findBar_->isHidden() && words && !shownPage_.picture && pageWidth > 0) {
        // Page pixels to the page as shown: across by DW over the page's width, down as the
        // display scales lines.
        const double sx = double(zoom_.displayWidth()) / pageWidth;
        auto row = [&](int y) { return view::ShownHeight(shownPage_, static_cast<std::uint32_t>(std::max(y, 0)), zoom_); };
        const ocr::Hit* currentHit = findBar_->hits().currentHit();
        for (const ocr::Hit& hit : findBar_->hits().hits()) {
            if (hit.page != currentPage_) continue;
            const bool isCurrent = currentHit && *currentHit == hit;
            for (std::size_t i = hit.first; i <= hit.last && i < words->size(); ++i) {
                const ocr::Word& w = (*words)[i];
                const int x0 = static_cast<int>(std::floor(w.x0 * sx)), x1 = static_cast<int>(std::ceil(w.x1 * sx));
                const auto y0 = row(w.y0), y1 = std::max(row(w.y1), y0 + 1);
                const QRect box(x0 - kHitPadding, static_cast<int>(y0) - kHitPadding, x1 - x0 + 2 * kHitPadding,
                                static_cast<int>(y1 - y0) + 2 * kHitPadding);
                boxes.push_back({box, isCurrent});
                if (isCurrent) current |= box;
            }
        }
    }
    view_->setHighlights(std::move(boxes));
    if (reveal && !current.isNull()) view_->reveal(current);
}

void MainWindow::neighbourFax(bool next) {
    QString found = NeighbourFax(state_.currentFax, QDir::currentPath(), next);
    if (found.isEmpty() || !QFileInfo(found).isFile()) return;
    releaseFax();
    state_.currentFax = found;
    openCurrentFax();
}

}  // namespace app
