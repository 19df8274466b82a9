// The main window: owns the open fax and its page surface, the menu, the key table and
// the dispatch of every window command. Its members are spread over main_window.cpp
// (showing pages, zoom, page list), main_window_menu.cpp (menu bar and keys),
// main_window_startup.cpp (start-up and shutdown) and main_window_commands.cpp (the command
// table and the tools it starts).
#pragma once

#include <QEvent>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/fax_host.h"
#include "app/viewer_state.h"
#include "formats/fax_reader.h"
#include "platform/prompts.h"
#include "render/page_surface.h"
#include "render/zoom.h"
#include "viewer/file_commands.h"
#include "viewer/page_view.h"

class QAction;
class QComboBox;

namespace app {

class FindBar;
class InstanceChannel;
class PageSelector;
class WrapMenuBar;

// A window command posted to the main window: the id and one parameter.
class CommandEvent : public QEvent {
public:
    static const QEvent::Type kType;
    CommandEvent(int id, qint64 parameter) : QEvent(kType), id(id), parameter(parameter) {}
    int id;
    qint64 parameter;
};

class MainWindow : public QMainWindow, public FaxHost {
    Q_OBJECT
public:
    explicit MainWindow(ViewerState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The desktop width W used by the zoom arithmetic (measured at start-up when 0).
    void setDesktopWidth(int width) { desktopWidth_ = width; }
    // Initialisation, in its order; false when start-up was abandoned (the window closes).
    bool start();
    void postCommand(int id, qint64 parameter = 0);

    // FaxHost
    QWidget* window() override { return this; }
    ViewerState& state() override { return state_; }
    void releaseFax() override;
    bool showNewFile(const QString& path) override;
    void setPlainTitle() override;

    // What tests and the installer's notice look at.
    const QStringList& trace() const { return trace_; }
    QList<int>& dispatched() { return dispatched_; }  // every command id, in the order dispatched
    unsigned currentPage() const { return currentPage_; }
    unsigned pageCount() const { return pageCount_; }
    fax::FaxKind kind() const { return kind_; }
    bool faxOpen() const { return reader_.IsOpen(); }
    const view::Zoom& zoom() const { return zoom_; }
    const view::PageSurface& surface() const { return surface_; }
    PageView* pageView() const { return view_; }
    FindBar* findBar() const { return findBar_; }
    WrapMenuBar* wrapMenuBar() const { return menuBar_; }
    QComboBox* pageSelector() const;
    QAction* action(int id) const { return actions_.value(id); }
    int settingsSaves() const { return settingsSaves_; }
    std::int32_t handle() const { return handle_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenu();
    QAction* addCommand(QWidget* menu, const QString& text, int id);
    void dispatch(int id, qint64 parameter);
    void registerInstance();
    void placeWindow();
    void rememberEdges();

    // A tool takes the fax: its page stays on screen as a still picture until a page is
    // shown again (or the fax turns out to be gone).
    void lendFax();
    void closeFax();
    bool UnZipFaxToScreen(bool newFile);
    void showPage();            // 32804
    void openCurrentFax();      // 32802
    void setZoom(int command);  // 32785 .. 32797
    void stepZoom(int direction, QPoint pointer);  // Ctrl + wheel
    void openPageSelector();    // 32778
    void pageSelectorClosed();
    void neighbourFax(bool next);  // 32805, 32806
    void refreshAccumulator(bool afterSave);  // 32803
    void showAbout();
    void breakUp();  // 32780
    void print();    // 32775
    void zoomEdit();  // 32781
    void message(const QString& text, Icon icon);
    void openFind(bool commandLineText);  // Edit > Find; `tarvex FAX --find TEXT`
    void goToHit();                       // the find bar's current hit changed
    void showFindHits(bool reveal);       // the hits of the page on screen, over the page

    ViewerState& state_;
    FileCommands files_{*this};
    QStringList trace_;
    QList<int> dispatched_;
    fax::FaxReader reader_;
    fax::FaxKind kind_ = fax::FaxKind::None;
    unsigned currentPage_ = 1;
    unsigned pageCount_ = 0;
    bool newFileFlag_ = false;
    bool pageShown_ = false;
    bool decoding_ = false;
    std::vector<std::pair<int, qint64>> deferred_;  // commands that arrived while decoding
    std::optional<PageAnchor> anchor_;              // the point the zoom being shown keeps in place
    std::optional<PageAnchor> wheelAnchor_;         // taken by the last Ctrl + wheel
    int desktopWidth_ = 0;
    view::Zoom zoom_;
    view::PageSurface surface_;
    PageView* view_ = nullptr;
    FindBar* findBar_ = nullptr;
    fax::FaxReader::Page shownPage_;  // the page on screen, for placing the hits' boxes
    bool revealHit_ = false;          // scroll the current hit into view once its page is shown
    PageSelector* selector_ = nullptr;
    QHash<int, QAction*> actions_;
    WrapMenuBar* menuBar_ = nullptr;
    InstanceChannel* channel_ = nullptr;
    std::int32_t handle_ = 0;
    bool running_ = false;
    bool placed_ = false;
    int settingsSaves_ = 0;
};

}  // namespace app
