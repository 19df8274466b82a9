// The main window's menu bar and its key table: every item is built once here, and keys
// pressed anywhere in the window become the same commands.
#include "viewer/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>

#include "app/commands.h"
#include "help/support_contacts.h"
#include "viewer/find_bar.h"
#include "viewer/key_map.h"
#include "viewer/page_selector.h"
#include "viewer/wrap_menu_bar.h"

namespace app {

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
    edit->addSeparator();
    addCommand(edit, QStringLiteral("Fi&nd..."), cmd::Find)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));

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

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys of an open menu, list or dialog, of the menu bar while it is worked with the
    // keyboard, and of the find bar (its field takes digits, commas and letters) are theirs.
    if (!widget || widget->window() != this || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget() || selector_->view()->isVisible() || widget == menuBar_ ||
        menuBar_->isAncestorOf(widget) || widget == findBar_ || findBar_->isAncestorOf(widget))
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

}  // namespace app
