// The main window's command table: every window command id and what it does, and the
// tools the window starts with the fax released and shows again afterwards.
#include "viewer/main_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include "app/commands.h"
#include "app/startup.h"
#include "export/export_command.h"
#include "help/configure_dialog.h"
#include "help/help.h"
#include "help/support_contacts.h"
#include "help/support_form.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "print/print_fax_dialog.h"
#include "tools/breakup_dialog.h"
#include "tools/tool_commands.h"
#include "viewer/find_bar.h"
#include "viewer/navigation.h"
#include "zoomedit/zoom_edit_dialog.h"

namespace app {

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
                        Icon::Information);
         }},
        {cmd::Configure, [](MainWindow* w, qint64) { RunConfigure(w, w->state_); }},
        // The command line's text to find comes along as the parameter 1.
        {cmd::Find, [](MainWindow* w, qint64 p) { w->openFind(p == 1); }},
        {cmd::FindNext, [](MainWindow* w, qint64) { w->findBar_->isHidden() ? w->openFind(false) : w->findBar_->step(true); }},
        {cmd::FindPrevious,
         [](MainWindow* w, qint64) { w->findBar_->isHidden() ? w->openFind(false) : w->findBar_->step(false); }},
        {cmd::Help, [](MainWindow* w, qint64) { ShowHelp(w, w->state_, QString()); }},
        {cmd::ReadMe, [](MainWindow* w, qint64) { OpenDocument(w, w->state_, kReadMe); }},
        {cmd::Manual, [](MainWindow* w, qint64) { OpenDocument(w, w->state_, kManual); }},
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
        message(QStringLiteral("Please open a Fax first."), Icon::Information);
        return;
    }
    if (BreakUpDialog::IsOpen()) {
        message(QStringLiteral("dcx to pcx BreakUp is busy."), Icon::Information);
        return;
    }
    lendFax();
    RunBreakUp(this, state_);
    postCommand(cmd::OpenCurrentFax);
}

void MainWindow::print() {
    // While a job prints, the fax is closed and the dialog hidden: say why nothing starts.
    if (PrintFaxDialog::IsOpen()) {
        message(QStringLiteral("Vantorel, Fax Print Driver is busy."), Icon::Information);
        return;
    }
    if (!reader_.IsOpen()) {
        message(QStringLiteral("Please select a Fax."), Icon::Information);
        return;
    }
    const unsigned page = currentPage_;
    lendFax();
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
        message(QStringLiteral("Zoom/Edit Fax is busy."), Icon::Information);
        return;
    }
    if (!reader_.IsOpen()) {
        message(QStringLiteral("Please open a Fax first."), Icon::Information);
        return;
    }
    const unsigned page = currentPage_;
    // The window steps aside while the paint program has the page (the Zoom/Edit dialog
    // hides it then); its messages come up over the page as it was.
    lendFax();
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
