// Opening the help page: the browser lookup with stand-in browsers that record how they
// were started, the fallbacks and their message, and the Help menu of the real window.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include "app/commands.h"
#include "help/help.h"
#include "help/support_contacts.h"
#include "help_fixture.h"
#include "platform/pump_wait.h"
#include "viewer/main_window.h"
#include "viewer/wrap_menu_bar.h"

using namespace helpfix;

TEST(BrowserCommandProgram, TakesTheQuotedOrFirstWordThatExists) {
    HelpDesk desk;
    const QString sh = QStandardPaths::findExecutable("sh");
    ASSERT_FALSE(sh.isEmpty());
    QFile plain(Q(desk.dir.File("plain.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    struct Case {
        QString command, program;
    } cases[] = {
        {"\"" + desk.browserScript + "\" --new-window \"%1\"", desk.browserScript},  // quoted, with a blank inside
        {"\"" + desk.browserScript + "\"", desk.browserScript},
        {sh + " %u", sh},                                                          // followed by a blank
        {"  " + sh, sh},
        {"sh", sh},                                                                // found on PATH
        {"sh --private %s", sh},
        {desk.browserScript, ""},                 // unquoted: the program part ends at the blank
        {"/no/such/browser %u", ""},
        {"no-such-browser-anywhere", ""},
        {Q(desk.dir.File("plain.txt")), ""},      // exists but is no program
        {Q(desk.dir.path()), ""},                 // a folder
        {"\"\" %u", ""},
        {"\"", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(app::BrowserCommandProgram(c.command), c.program) << c.command.toStdString();
}

TEST(ShowHelp, BrowserVariableComesFirstWithTheAnchoredUrl) {
    HelpDesk desk;
    desk.shell.runPrograms = true;
    // The first entry does not exist, the second does; the desktop's browser is not asked.
    desk.SetBrowserVariable("/no/such/browser:\"" + desk.browserScript + "\" --new-window %s");
    desk.SetDesktopBrowser("other.desktop", "/bin/false %u");
    app::ShowHelp(nullptr, desk.state, "#ToolsCfg");
    EXPECT_EQ(desk.BrowserRun(), (QStringList{desk.state.programDir, "file://" + desk.helpPage + "#ToolsCfg"}));
    EXPECT_TRUE(desk.shell.opened.isEmpty());
    EXPECT_TRUE(desk.prompts.asked.empty());
}

TEST(ShowHelp, DesktopDefaultBrowserWhenTheVariableIsUnset) {
    HelpDesk desk;
    desk.shell.runPrograms = true;
    desk.SetDesktopBrowser("stand-in.desktop", "env VAR=x \"" + desk.browserScript + "\" %u");  // as snaps have it
    app::ShowHelp(nullptr, desk.state, "#Build_Fax");
    EXPECT_EQ(desk.BrowserRun(), (QStringList{desk.state.programDir, "file://" + desk.helpPage + "#Build_Fax"}));
    EXPECT_TRUE(desk.shell.opened.isEmpty());
}

TEST(ShowHelp, WithoutABrowserThePageIsOpenedWithoutAnchor) {
    struct Case {
        const char* what;
        QString browserVariable, desktopId, exec;
        bool browserStarts;
    } cases[] = {
        {"nothing named", "", "", "", true},
        {"entry missing", "/no/such/browser", "gone.desktop", "", true},
        {"entry names a missing program", "", "gone.desktop", "/no/such/browser %u", true},
        {"browser does not start", "sh", "", "", false},
    };
    for (const Case& c : cases) {
        HelpDesk desk;
        desk.SetBrowserVariable(c.browserVariable);
        desk.SetDesktopBrowser(c.desktopId, c.exec);
        desk.shell.startResult = c.browserStarts;
        app::ShowHelp(nullptr, desk.state, "#print_fax");
        EXPECT_EQ(desk.shell.opened, QStringList{desk.helpPage}) << c.what;
        EXPECT_EQ(desk.shell.started.size(), c.browserStarts ? 0 : 1) << c.what;
        EXPECT_TRUE(desk.prompts.asked.empty()) << c.what;
    }
}

TEST(ShowHelp, SaysSoWhenNothingOpensThePage) {
    for (bool pagePresent : {true, false}) {
        HelpDesk desk;
        if (pagePresent) {
            ASSERT_TRUE(app::WriteHelpFiles(nullptr, desk.state.programDir));
        }
        desk.shell.runPrograms = true;  // a desktop with no browser and no program for web pages
        app::ShowHelp(nullptr, desk.state, "#ToolsCfg");
        ASSERT_EQ(desk.prompts.asked.size(), 1u);
        const auto& m = desk.prompts.asked[0];
        EXPECT_EQ(m.title, "Vantorel");
        EXPECT_EQ(m.icon, app::Icon::Error);
        EXPECT_EQ(m.text, QStringLiteral("Unable to open:\n%1\nin your Web Browser.\n\nError [%2]\n\nTry using your Web "
                                         "Browser and load it from there.")
                              .arg(desk.helpPage)
                              .arg(pagePresent ? 31 : 2));
    }
}

TEST(ShowHelp, UrlKeepsAFolderWithBlanksWhole) {
    EXPECT_EQ(app::HelpUrl("/home/an na/Tarvex", ""), "file:///home/an%20na/Tarvex/tarvexhelp.htm");
    EXPECT_EQ(app::HelpUrl("/opt/T", "#About_But"), "file:///opt/T/tarvexhelp.htm#About_But");
}

// The Help menu of the real main window, used with the keyboard as a user does.
class HelpMenu : public ::testing::Test {
protected:
    void SetUp() override {
        app::SetShuttingDown(false);
        savedCwd_ = QDir::currentPath();
        app::WriteText(app::kConfigure, "OpenMax", "0");
        app::WriteText(app::kConfigure, "InstallingTheProgram", "0");
        desk_.SetBrowserVariable("true");
        state_.commandLine.clear();
        window_ = std::make_unique<app::MainWindow>(state_);
        window_->start();
        Settle();
    }
    void TearDown() override {
        window_.reset();
        QDir::setCurrent(savedCwd_);
        app::SetShuttingDown(false);
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    QMenu* Menu(QMenu* parent, const QString& title) {
        for (QAction* a : parent ? parent->actions() : window_->wrapMenuBar()->actions())
            if (a->menu() && a->text() == title) return a->menu();
        return nullptr;
    }
    // Opens the Help menu (and a submenu) and presses the item's underlined letters.
    void Choose(std::initializer_list<Qt::Key> keys) {
        QMenu* menu = Menu(nullptr, "&Help");
        ASSERT_NE(menu, nullptr);
        menu->popup(window_->mapToGlobal(QPoint(0, 0)));
        QTest::qWait(50);
        for (Qt::Key k : keys) {
            QWidget* target = QApplication::activePopupWidget();
            ASSERT_NE(target, nullptr);
            QTest::keyClick(target, k);
            QTest::qWait(50);
        }
        Settle();
    }

    HelpDesk desk_;
    app::ViewerState state_;
    std::unique_ptr<app::MainWindow> window_;
    QString savedCwd_;
};

TEST_F(HelpMenu, TheStartWritesThePageAndEachItemOpensItsThing) {
    ASSERT_EQ(ReadAll(desk_.helpPage), ReadAll(QStringLiteral(VANTOREL_HELP_DIR) + "/tarvexhelp.htm"));
    const QString dir = desk_.state.programDir;
    struct Case {
        std::initializer_list<Qt::Key> keys;
        QString started, opened;
    } cases[] = {
        {{Qt::Key_H}, QStandardPaths::findExecutable("true") + " file://" + dir + "/tarvexhelp.htm", ""},
        {{Qt::Key_R}, "", dir + "/README.TXT"},
        {{Qt::Key_M}, "", dir + "/MANUAL.TXT"},
        {{Qt::Key_S, Qt::Key_W}, "", app::kWebSite},
        {{Qt::Key_S, Qt::Key_E}, QStandardPaths::findExecutable("true") + " file://" + dir + "/email_ts.htm", ""},
    };
    for (const Case& c : cases) {
        desk_.shell.started.clear();
        desk_.shell.opened.clear();
        Choose(c.keys);
        EXPECT_EQ(desk_.shell.started, c.started.isEmpty() ? QStringList() : QStringList{c.started});
        EXPECT_EQ(desk_.shell.opened, c.opened.isEmpty() ? QStringList() : QStringList{c.opened});
    }
    EXPECT_TRUE(desk_.prompts.asked.empty());
}

TEST_F(HelpMenu, ADocumentThatDoesNotOpenIsReported) {
    desk_.shell.runPrograms = true;
    desk_.SetBrowserVariable("no-such-browser");
    Choose({Qt::Key_M});
    ASSERT_EQ(desk_.prompts.asked.size(), 1u);
    EXPECT_EQ(desk_.prompts.asked[0].text, "Unable to open:\n" + desk_.state.programDir +
                                               "/MANUAL.TXT\n\nUse another Editor, Word Processor, or Email Program to "
                                               "open it.");
    EXPECT_EQ(desk_.prompts.asked[0].icon, app::Icon::Error);
    EXPECT_EQ(desk_.prompts.asked[0].title, "Vantorel");
}
