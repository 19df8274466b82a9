// The main window worked as a user works it: clicks and keys in the real page selector,
// the key table, the menus and the wrapping menu bar, the wheel, and a long page decoding.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "app/commands.h"
#include "main_window_fixture.h"
#include "viewer/wrap_menu_bar.h"

using namespace viewer_test;

namespace {

class WindowInputTest : public MainWindowTest {
protected:
    MainWindow& StartOn(const std::string& fax, int width = 800, int height = 600) {
        WriteText(kConfigure, "DftFax", Q(fax));
        WriteText(kConfigure, "WinX", "0");
        WriteText(kConfigure, "WinY", "0");
        WriteText(kConfigure, "WinCX", QString::number(width));
        WriteText(kConfigure, "WinCY", QString::number(height));
        MainWindow& w = Start();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }
    QWidget* Viewport() { return window_->pageView()->viewport(); }
    QScrollBar* H() { return window_->pageView()->horizontalScrollBar(); }
    QScrollBar* V() { return window_->pageView()->verticalScrollBar(); }
    void Type(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, QWidget* to = nullptr) {
        QTest::keyClick(to ? to : Viewport(), static_cast<Qt::Key>(key), mods);
        Settle();
    }
    // The page a user is on, moved there with full stops.
    void GoToPage(unsigned page) {
        while (window_->currentPage() != page) Type(Qt::Key_Period);
    }
    QMenu* OpenPopup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
};

}  // namespace

TEST_F(WindowInputTest, PageSelectorShowsTheEntryChosenInItsList) {
    StartOn(Fax("twenty.dcx", 20));
    struct Case {
        const char* how;
        unsigned expected;  // from page 5, whose list preselects page 6
    };
    const Case cases[] = {{"click on 17", 17}, {"Down three times and Enter", 9}, {"Esc: no choice", 6}};
    for (const Case& c : cases) {
        GoToPage(5);
        Type(Qt::Key_P);
        QComboBox* selector = window_->pageSelector();
        QAbstractItemView* list = selector->view();
        ASSERT_TRUE(list->isVisible()) << c.how;
        EXPECT_EQ(selector->currentIndex(), 5) << c.how;
        if (c.expected == 17) {
            const QModelIndex entry = list->model()->index(16, 0);
            list->scrollTo(entry);
            const QPoint at = list->visualRect(entry).center();
            QTest::qWait(QApplication::doubleClickInterval() + 50);  // a click, not the end of the one that opened it
            QTest::mouseMove(list->viewport(), at);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        } else if (c.expected == 9) {
            for (int i = 0; i < 3; ++i) QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            QTest::keyClick(list, Qt::Key_Escape);
        }
        Settle();
        EXPECT_EQ(window_->currentPage(), c.expected) << c.how;
        EXPECT_TRUE(window_->windowTitle().contains(QStringLiteral("Page %1 of 20").arg(c.expected))) << c.how;
        EXPECT_FALSE(selector->isVisible()) << c.how;
    }
}

TEST_F(WindowInputTest, KeyTable) {
    // A page wider and taller than the window at 100%, so every scroll step shows.
    std::string fax = Fax("long.dcx", 1, 4000);
    Fax("next.dcx", 1);
    MainWindow& w = StartOn(fax);
    Type(Qt::Key_1);
    const int hStart = 500, vStart = 900;
    const int hLine = hStart + 1, hPage = Viewport()->width() / 2, vPage = Viewport()->height() / 2;
    enum Scroll { None, Left, Right, Up, Down, PageLeft, PageRight, PageUp, PageDown, Top, Bottom };
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        int command;  // the command the key gives, 0 for none
        Scroll scroll;
    };
    const Qt::KeyboardModifiers no = Qt::NoModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
    const Case cases[] = {
        {Qt::Key_1, no, cmd::Zoom100, None},          {Qt::Key_2, no, cmd::Zoom25, None},
        {Qt::Key_3, no, cmd::Zoom37, None},           {Qt::Key_4, no, cmd::Zoom46, None},
        {Qt::Key_5, no, cmd::Zoom50, None},           {Qt::Key_6, no, cmd::Zoom60, None},
        {Qt::Key_7, no, cmd::Zoom75, None},           {Qt::Key_8, no, cmd::Zoom80, None},
        {Qt::Key_9, no, cmd::Zoom90, None},           {Qt::Key_D, no, cmd::ZoomDefault, None},
        {Qt::Key_Comma, no, cmd::PreviousPage, None}, {Qt::Key_Period, no, cmd::NextPage, None},
        {Qt::Key_P, no, cmd::PageSelector, None},     {Qt::Key_PageUp, ctrl, cmd::PreviousFaxFile, None},
        {Qt::Key_PageDown, ctrl, cmd::NextFaxFile, None},
        {Qt::Key_Left, no, 0, Left},                  {Qt::Key_Right, no, 0, Right},
        {Qt::Key_Up, no, 0, Up},                      {Qt::Key_Down, no, 0, Down},
        {Qt::Key_Home, no, 0, PageLeft},              {Qt::Key_End, no, 0, PageRight},
        {Qt::Key_PageUp, no, 0, PageUp},              {Qt::Key_PageDown, no, 0, PageDown},
        {Qt::Key_Home, ctrl, 0, Top},                 {Qt::Key_End, ctrl, 0, Bottom},
        // Consumed: nothing happens, the window stays.
        {Qt::Key_Return, no, 0, None},                {Qt::Key_Escape, no, 0, None},
        {Qt::Key_F1, no, 0, None},                    {Qt::Key_F4, no, 0, None},
        // With Ctrl or Alt a table key is not the table's.
        {Qt::Key_5, ctrl, 0, None},                   {Qt::Key_2, alt, 0, None},
        {Qt::Key_D, alt, 0, None},                    {Qt::Key_Period, ctrl, 0, None},
        {Qt::Key_P, alt, cmd::PageSelector, None},  // the access key of the menu bar's "&Page"
        {Qt::Key_F3, no, cmd::FindNext, None},        {Qt::Key_F3, Qt::ShiftModifier, cmd::FindPrevious, None},
        {Qt::Key_F, ctrl, cmd::Find, None},
        {Qt::Key_O, ctrl, cmd::Open, None},           {Qt::Key_P, ctrl, cmd::Print, None},
        {Qt::Key_Q, ctrl, cmd::Exit, None},  // last: it closes the window
    };
    // A command that opens a window of its own (Print) has it closed again at once: this
    // table is about which command a key gives.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    closer.start(20);
    for (const Case& c : cases) {
        const QString row = QKeySequence(c.mods | c.key).toString();
        if (state_.currentFax != Q(fax)) {
            ASSERT_TRUE(w.showNewFile(Q(fax)));
        }
        if (w.zoom().displayWidth() != 1728) w.postCommand(cmd::Zoom100);
        Settle();
        H()->setValue(hStart);
        V()->setValue(vStart);
        w.activateWindow();  // back from a closed dialog, as a user clicking the window
        Settle();
        w.dispatched().clear();
        prompts_.asked.clear();
        Type(c.key, c.mods);
        if (c.command) {
            ASSERT_FALSE(w.dispatched().isEmpty()) << row.toStdString();
            EXPECT_EQ(w.dispatched().first(), c.command) << row.toStdString();
        } else {
            EXPECT_TRUE(w.dispatched().isEmpty()) << row.toStdString();
            const int h = H()->value(), v = V()->value();
            const std::pair<int, int> expected[] = {
                {hStart, vStart},         {hStart - 1, vStart},         {hLine, vStart},
                {hStart, vStart - 1},     {hStart, vStart + 1},         {hStart - hPage, vStart},
                {hStart + hPage, vStart}, {hStart, vStart - vPage},     {hStart, vStart + vPage},
                {hStart, 0},              {hStart, V()->maximum()},
            };
            EXPECT_EQ(std::make_pair(h, v), expected[c.scroll]) << row.toStdString();
            EXPECT_TRUE(w.isVisible()) << row.toStdString();
        }
        if (w.pageSelector()->view()->isVisible()) w.pageSelector()->hidePopup();
        Settle();
    }
    EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowInputTest, MenuKeysBelongToTheMenus) {
    MainWindow& w = StartOn(Fax("long.dcx", 1, 4000));
    Type(Qt::Key_1);
    V()->setValue(500);
    H()->setValue(300);
    WrapMenuBar* bar = w.wrapMenuBar();

    // Alt+F opens File on its first item; the arrows move in the menu, not the page.
    Type(Qt::Key_F, Qt::AltModifier);
    QMenu* file = OpenPopup();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->title(), "&File");
    EXPECT_EQ(file->activeAction(), w.action(cmd::Open));
    Type(Qt::Key_Down, Qt::NoModifier, file);
    EXPECT_EQ(file->activeAction(), w.action(cmd::Copy));
    // Right goes along the bar: over the three page items (menus follow) to Edit.
    for (int i = 0; i < 4; ++i) Type(Qt::Key_Right, Qt::NoModifier, OpenPopup() ? OpenPopup() : static_cast<QWidget*>(bar));
    ASSERT_TRUE(OpenPopup());
    EXPECT_EQ(OpenPopup()->title(), "&Edit");
    Type(Qt::Key_Left, Qt::NoModifier, OpenPopup());
    EXPECT_FALSE(OpenPopup());
    EXPECT_EQ(bar->activeAction(), w.action(cmd::NextPage));
    Type(Qt::Key_Escape, Qt::NoModifier, bar);
    EXPECT_FALSE(bar->keyboardMode());

    // Alt on its own hands the keys to the bar; Enter on a page item runs it.
    QTest::keyPress(Viewport(), Qt::Key_Alt);
    QTest::keyRelease(Viewport(), Qt::Key_Alt);
    Settle();
    ASSERT_TRUE(bar->keyboardMode());
    EXPECT_EQ(bar->activeAction()->text(), "&File");
    w.dispatched().clear();
    Type(Qt::Key_Right, Qt::NoModifier, bar);
    Type(Qt::Key_Right, Qt::NoModifier, bar);
    EXPECT_EQ(bar->activeAction(), w.action(cmd::PageSelector));
    Type(Qt::Key_Return, Qt::NoModifier, bar);
    EXPECT_EQ(w.dispatched().value(0), cmd::PageSelector);
    EXPECT_FALSE(bar->keyboardMode());
    EXPECT_EQ(std::make_pair(H()->value(), V()->value()), std::make_pair(300, 500)) << "the page never moved";
}

TEST_F(WindowInputTest, MenuStructure) {
    MainWindow& w = StartOn(Fax("three.dcx", 3));
    // What the menu holds, in order: item text and command id; "-" for a separator,
    // ">" before a menu's title and "<" at its end.
    QStringList got;
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& items) {
        for (QAction* a : items) {
            if (a->isSeparator()) {
                got << "-";
            } else if (a->menu()) {
                got << "> " + a->text();
                walk(a->menu()->actions());
                got << "<";
            } else {
                int id = 0;
                for (int c = cmd::Open; c <= cmd::FindPrevious; ++c)
                    if (w.action(c) == a) id = c;
                got << QStringLiteral("%1 %2").arg(id).arg(a->text());
            }
        }
    };
    walk(w.wrapMenuBar()->actions());
    const QStringList expected = {
        "> &File", "32771 &Open...", "-", "32772 &Copy...", "-", "32773 &Delete...", "-", "32774 &MoveAs...", "-",
        "32775 &Print...", "-", "32776 E&xit Vantorel", "<",
        "32777 &<PgDn", "32778 &Page", "32779 PgUp&>",
        "> &Edit", "32780 dcx to pcx &BreakUp...", "32781 &Zoom/Edit Fax...", "32782 Build &Fax from pcx file(s)...",
        "32783 Build Long Fax from Multi-Page Fax...", "32784 Build TIF and PDF file...", "-", "32816 Fi&nd...", "<",
        "> &Zoom", "32785 &Default Size", "32786 &25%", "32787 &37", "32788 &40%", "32789 &42%", "32790 &44%",
        "32791 &46%", "32792 &50%", "32793 &60%", "32794 &75%", "32795 &80%", "32796 &90%", "32797 &100%", "<",
        "> &Tools", "32808 &Configure", "<",
        "32798 &Save this fax to Fax-Accumulator(3 pages)", "32799 &Convert Fax-Accumulator to Fax(0 pages)",
        "32800 C&lear Fax-Accumulator(0 pages)",
        "> &Help", "32809 &Help", "-", "32810 &ReadMe", "32811 &Manual", "-", "> Tech-&Support by:",
        "32812 &Web site:\thttps://www.quorvane.example/vantorel",
        "32813 &Email:\thttps://www.quorvane.example/vantorel/support", "32814 &Phone:\tQuorvane", "<", "-",
        "32815 A&bout...", "<",
    };
    EXPECT_EQ(got, expected);
}

TEST_F(WindowInputTest, MenuBarWrapsSoEveryItemShows) {
    MainWindow& w = StartOn(Fax("three.dcx", 3), 1280, 700);
    WrapMenuBar* bar = w.wrapMenuBar();
    const QList<QAction*> items = bar->actions();
    int rowsBefore = 0;
    for (int width : {1280, 1024, 800, 640, 401, 400}) {
        w.resize(width, 600);
        Settle();
        const QRect inside = bar->rect();
        QRegion taken;
        for (QAction* a : items) {
            const QRect r = bar->itemRect(a);
            EXPECT_FALSE(r.isEmpty()) << width << " " << a->text().toStdString();
            EXPECT_TRUE(inside.contains(r)) << width << " " << a->text().toStdString();
            EXPECT_FALSE(taken.intersects(r)) << width << " " << a->text().toStdString();
            taken += r;
        }
        EXPECT_LE(bar->geometry().bottom(), w.pageView()->geometry().top()) << "the page starts below the bar";
        EXPECT_GE(bar->rowCount(), rowsBefore) << width;
        rowsBefore = bar->rowCount();
    }
    EXPECT_GT(rowsBefore, 1);
    // Longer texts take more room: the items flow on and stay visible.
    w.resize(800, 600);
    Settle();
    const int rows = bar->rowCount();
    for (int id : {cmd::AccumulatorSave, cmd::AccumulatorConvert, cmd::AccumulatorClear})
        w.action(id)->setText(w.action(id)->text() + QString(25, 'x'));
    Settle();
    EXPECT_GT(bar->rowCount(), rows);
    for (QAction* a : items) EXPECT_TRUE(bar->rect().contains(bar->itemRect(a))) << a->text().toStdString();
    EXPECT_LE(bar->geometry().bottom(), w.pageView()->geometry().top());

    // A click on an item of the second row opens its menu there.
    QAction* help = items.last();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->itemRect(help).center());
    Settle();
    ASSERT_TRUE(OpenPopup());
    EXPECT_EQ(OpenPopup()->title(), "&Help");
    OpenPopup()->close();
    Settle();
}

TEST_F(WindowInputTest, CtrlWheelKeepsThePlaceUnderThePointer) {
    MainWindow& w = StartOn(Fax("long.dcx", 1, 4000));
    Type(Qt::Key_1);
    H()->setValue(500);
    V()->setValue(1500);
    const QPoint pointer(300, 200);
    // The page's pixel column and scan line under the pointer, from the zoom's own scales:
    // DW pixels across 1,728, and 3/8 x Z / 480 screen lines per scan line.
    auto placeUnderPointer = [&] {
        const double across = (H()->value() + pointer.x()) * 1728.0 / w.zoom().displayWidth();
        const double down = (V()->value() + pointer.y()) / (0.375 * w.zoom().heightFactor() / 480.0);
        return std::make_pair(across, down);
    };
    const auto before = placeUnderPointer();
    QWheelEvent wheel(pointer, Viewport()->mapToGlobal(pointer), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Viewport(), &wheel);
    Settle();
    EXPECT_EQ(w.zoom().displayWidth(), 1555);  // one step out: 90%
    const auto after = placeUnderPointer();
    EXPECT_NEAR(after.first, before.first, 2.0);
    EXPECT_NEAR(after.second, before.second, 4.0);
    // The menu and the digit keys start at the top-left corner, as always.
    Type(Qt::Key_8);
    EXPECT_EQ(std::make_pair(H()->value(), V()->value()), std::make_pair(0, 0));
}

TEST_F(WindowInputTest, WindowAnswersWhileALongPageDecodes) {
    // Page 1 takes three bands; page 2 is short.
    std::vector<Bytes> pages = {MakePcx(PatternPage(216, 7000, 1), 216), MakePcx(PatternPage(216, 100, 2), 216)};
    WriteBytes(files_.File("long.dcx"), MakeDcx(pages));
    MainWindow& w = StartOn(files_.File("long.dcx"));
    const std::int64_t fullHeight = w.pageView()->pageHeight();

    // Show page 1 again; an event queued behind that command runs while the page decodes and
    // asks for the next page, which must wait for the page in hand.
    std::int64_t seenWhileDecoding = -1;
    w.postCommand(cmd::ShowPage);
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            seenWhileDecoding = w.surface().height();
            w.postCommand(cmd::NextPage);
        },
        Qt::QueuedConnection);
    Settle();
    EXPECT_GT(seenWhileDecoding, 0);
    EXPECT_LT(seenWhileDecoding, fullHeight);
    EXPECT_EQ(w.currentPage(), 2u);
    EXPECT_TRUE(w.windowTitle().contains("Page 2 of 2"));
    // 100 lines at Z 768: trunc((50 - 12) * 768 / 480) = 60.
    EXPECT_EQ(w.pageView()->pageHeight(), 60);
    EXPECT_EQ(w.surface().height(), 60);
}

TEST_F(WindowInputTest, WindowEdgesKeptOnMoveAndResize) {
    MainWindow& w = StartOn(Fax("one.dcx", 1), 810, 620);
    struct Case {
        const char* what;
        std::function<void()> act;
        QRect edges;  // left, top, right, bottom as stored
    };
    const Case cases[] = {
        {"moved", [&] { w.move(30, 40); }, QRect(QPoint(30, 40), QPoint(840, 660))},
        {"resized", [&] { w.resize(700, 500); }, QRect(QPoint(30, 40), QPoint(730, 540))},
        {"maximized: kept as they were", [&] { w.showMaximized(); }, QRect(QPoint(30, 40), QPoint(730, 540))},
        {"restored and moved", [&] { w.showNormal(); w.move(5, 6); }, QRect(QPoint(5, 6), QPoint(705, 506))},
    };
    for (const Case& c : cases) {
        c.act();
        Settle();
        const Settings& s = state_.settings;
        EXPECT_EQ(QRect(QPoint(s.winX, s.winY), QPoint(s.winCX, s.winCY)), c.edges) << c.what;
    }
    w.close();
    EXPECT_EQ(Raw("Configure/WinX") + "," + Raw("Configure/WinY") + "," + Raw("Configure/WinCX") + "," +
                  Raw("Configure/WinCY"),
              "5,6,705,506");
}
