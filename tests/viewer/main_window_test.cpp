// The main window driven as a user would: offscreen, with scripted prompts and a settings
// store of its own in a temporary folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QWheelEvent>

#include "app/commands.h"
#include "formats/pcx.h"
#include "platform/instance_channel.h"
#include "platform/pump_wait.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "support/test_files.h"
#include "viewer/main_window.h"
#include "viewer/page_view.h"

#include "main_window_fixture.h"

using namespace app;
using namespace testing_support;
using namespace viewer_test;

TEST_F(MainWindowTest, StartsInOrderAndSavesTheExitValuesOnce) {
    std::string fax = Fax("five.dcx", 5);
    WriteText(kConfigure, "DftFax", Q(fax));
    WriteText(kConfigure, "InstallingTheProgram", "0");
    WriteText(kConfigure, "WinX", "10");
    WriteText(kConfigure, "WinY", "20");
    WriteText(kConfigure, "WinCX", "810");
    WriteText(kConfigure, "WinCY", "620");
    MainWindow& w = Start();
    EXPECT_EQ(w.trace(), (QStringList{"programDir", "folders", "registered", "settings", "help", "placed", "posted"}));
    for (const char* sub : {"", "/Fax", "/Data", "/Data/faxaccum"}) EXPECT_TRUE(QDir(programDir_ + sub).exists()) << sub;
    EXPECT_EQ(QDir::currentPath(), programDir_);
    EXPECT_EQ(w.pos(), QPoint(10, 20));
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_EQ(Raw("Handles/TransHandle").toLongLong(), w.handle());
    EXPECT_EQ(w.windowTitle(), "Vantorel 15.05.01, Page 1 of 5, " + Q(fax));
    EXPECT_FALSE(w.action(cmd::ZoomDefault)->isEnabled());

    w.close();
    w.close();  // closing twice saves once
    EXPECT_EQ(w.settingsSaves(), 1);
    EXPECT_EQ(Raw("Configure/DftFax"), Q(fax));
    EXPECT_EQ(Raw("Configure/InstallingTheProgram"), "0");
    EXPECT_EQ(Raw("Configure/WinCX"), "810");
    window_.reset();
    EXPECT_EQ(Raw("Handles/TransHandle"), "0");
}

TEST_F(MainWindowTest, CommandLineCases) {
    std::string stored = Fax("stored.dcx", 2);
    WriteText(kConfigure, "DftFax", Q(stored));
    std::string other = Fax("other.dcx", 3);

    // A quoted path, relative to where the viewer was started.
    Start("\"other.dcx\"");
    EXPECT_EQ(state_.currentFax, Q(other));
    EXPECT_EQ(window_->pageCount(), 3u);
    window_->close();
    window_.reset();
    EXPECT_EQ(Raw("Configure/DftFax"), Q(other));  // becomes the default fax
    SetShuttingDown(false);

    // A .tif is ignored without a word; the stored default is shown.
    WriteBytes(files_.File("x.tif"), Bytes(300, 0));
    WriteText(kConfigure, "DftFax", Q(stored));
    Start(Q(files_.File("x.tif")));
    EXPECT_EQ(state_.currentFax, Q(stored));
    EXPECT_TRUE(prompts_.asked.empty());
    window_.reset();
    SetShuttingDown(false);

    // The installer's start, in any letter case, shows the notice first.
    Start("installingtheprogram");
    ASSERT_FALSE(prompts_.asked.empty());
    EXPECT_TRUE(prompts_.asked[0].text.startsWith("Vantorel is installed on your Hard-Drive."));
    EXPECT_EQ(window_->trace().first(), "notice");
}

TEST_F(MainWindowTest, FolderThatCannotBeCreatedEndsStartUp) {
    WriteBytes(program_.File("Tarvex"), {1});  // a plain file where the folder should be
    Start();
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].text, "Main18, The Path you Specified:\n" + programDir_ + "\ncould not be created.");
    EXPECT_EQ(prompts_.asked[0].icon, Icon::Error);
    EXPECT_FALSE(state_.primaryInstance);
    EXPECT_EQ(ReadBytes(program_.File("Tarvex")), Bytes{1});  // the file is left alone
    window_.reset();
    EXPECT_TRUE(Raw("Configure/InstallingTheProgram").isEmpty());  // nothing saved
}

TEST_F(MainWindowTest, PagesWrapOnADcxAndStandStillOnAPcx) {
    WriteText(kConfigure, "DftFax", Q(Fax("five.dcx", 5)));
    MainWindow& w = Start();
    Key(Qt::Key_Comma);
    EXPECT_EQ(w.currentPage(), 5u);
    EXPECT_TRUE(w.windowTitle().contains("Page 5 of 5"));
    Key(Qt::Key_Period);
    EXPECT_EQ(w.currentPage(), 1u);
    Key(Qt::Key_Period);
    EXPECT_EQ(w.currentPage(), 2u);

    // The selector preselects the following page, or the first from the last page.
    Key(Qt::Key_P);
    EXPECT_EQ(w.pageSelector()->count(), 5);
    EXPECT_EQ(w.pageSelector()->currentIndex(), 2);
    w.pageSelector()->hidePopup();
    Settle();
    EXPECT_EQ(w.currentPage(), 3u);
    EXPECT_FALSE(w.pageSelector()->isVisible());

    window_.reset();
    SetShuttingDown(false);
    WriteText(kConfigure, "DftFax", Q(Fax("one.pcx", 1)));
    MainWindow& p = Start();
    EXPECT_EQ(p.kind(), fax::FaxKind::Pcx);
    EXPECT_FALSE(p.action(cmd::NextPage)->isEnabled());
    EXPECT_TRUE(p.windowTitle().contains("Page 1 of 1"));
    Key(Qt::Key_Period);
    Key(Qt::Key_Comma);
    EXPECT_EQ(p.currentPage(), 1u);
    Key(Qt::Key_P);  // the key works although the item is greyed
    EXPECT_EQ(p.pageSelector()->count(), 1);
    p.pageSelector()->hidePopup();
    Settle();
    EXPECT_EQ(p.currentPage(), 1u);
}

TEST_F(MainWindowTest, KeysZoomScrollAndNeverClose) {
    WriteText(kConfigure, "DftFax", Q(Fax("long.dcx", 1, 3000)));
    MainWindow& w = Start();
    const int defaultWidth = w.zoom().displayWidth();
    EXPECT_EQ(defaultWidth, 1024);
    Key(Qt::Key_2);
    EXPECT_EQ(w.zoom().displayWidth(), 432);
    EXPECT_EQ(w.zoom().heightFactor(), 324);
    EXPECT_FALSE(w.action(cmd::Zoom25)->isEnabled());
    EXPECT_TRUE(w.action(cmd::ZoomDefault)->isEnabled());
    // 3,000 lines at Z 324 are predicted 759 high; the two bands drawn (2,800 and 200
    // lines) are 708 + 50 high, and H shrinks to that.
    EXPECT_EQ(w.pageView()->pageHeight(), 758);
    Key(Qt::Key_1);
    EXPECT_EQ(w.zoom().displayWidth(), 1728);
    Key(Qt::Key_D);
    EXPECT_EQ(w.zoom().displayWidth(), defaultWidth);

    Key(Qt::Key_PageDown);
    EXPECT_EQ(w.pageView()->vpos(), w.pageView()->viewport()->height() / 2);
    Key(Qt::Key_Up);
    EXPECT_EQ(w.pageView()->vpos(), w.pageView()->viewport()->height() / 2 - 1);
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.pageView()->viewport(), &wheel);
    EXPECT_GT(w.pageView()->vpos(), w.pageView()->viewport()->height() / 2);

    for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_F1, Qt::Key_F4}) Key(key);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.settingsSaves(), 0);
}

TEST_F(MainWindowTest, NeighbourFaxesByNameAndKind) {
    std::string a = Fax("a.dcx", 1), b = Fax("b.dcx", 2);
    Fax("c.pcx", 1);
    WriteText(kConfigure, "DftFax", Q(a));
    MainWindow& w = Start();
    Key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(state_.currentFax, Q(b));
    Key(Qt::Key_PageDown, Qt::ControlModifier);  // the last .dcx: nothing happens
    EXPECT_EQ(state_.currentFax, Q(b));
    Key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(state_.currentFax, Q(a));
    EXPECT_EQ(w.pageCount(), 1u);
}

TEST_F(MainWindowTest, BadPagesShowTheirMessages) {
    Bytes wide = MakePcx(PatternPage(297, 4, 1), 297);
    WriteBytes(files_.File("wide.pcx"), wide);
    WriteText(kConfigure, "DftFax", Q(files_.File("wide.pcx")));
    MainWindow& w = Start();
    ASSERT_EQ(prompts_.asked.size(), 2u);
    EXPECT_EQ(prompts_.asked[0].text,
              "Can not view file. It is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide.");
    EXPECT_EQ(prompts_.asked[1].text, "Can not view this file because it is not a valid dcx or pcx. (1)");
    EXPECT_FALSE(w.faxOpen());
    EXPECT_TRUE(w.surface().empty());

    // 296 bytes is the widest page shown.
    prompts_.asked.clear();
    WriteBytes(files_.File("w296.pcx"), MakePcx(PatternPage(296, 4, 1), 296));
    EXPECT_TRUE(w.showNewFile(Q(files_.File("w296.pcx"))));
    Settle();
    EXPECT_TRUE(prompts_.asked.empty());
    EXPECT_TRUE(w.faxOpen());

    // A page whose data ends after 500 of its 1,000 lines shows what is there.
    Bytes early = PcxHeaderBytes(216, 999);
    Bytes data = EncodePage(PatternPage(216, 500, 3), 216);
    early.insert(early.end(), data.begin(), data.end());
    WriteBytes(files_.File("early.pcx"), early);
    EXPECT_TRUE(w.showNewFile(Q(files_.File("early.pcx"))));
    Settle();
    EXPECT_TRUE(prompts_.asked.empty());
    // At Z 768: trunc((250 - 62) * 768 / 480) = 300 instead of the promised 600.
    EXPECT_EQ(w.pageView()->pageHeight(), 300);
}

TEST(TwoViewers, SecondWaitsRegistersAndCloseCommandSavesLikeExit) {
    TempDir config, program;
    QString programDir = Q(program.path());
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    WriteText(kConfigure, "ThisProgramDir", programDir);
    WriteText(kConfigure, "InstallingTheProgram", "1");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", Q(config.path()));

    auto launch = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(programDir);
        p.start(QStringLiteral(VANTOREL_VIEWER), {});
        EXPECT_TRUE(p.waitForStarted());
    };
    auto waitForHandle = [&](qint64 pid, int ms) {
        QElapsedTimer t;
        t.start();
        std::int32_t seen = 0;
        while (t.elapsed() < ms) {
            if (ReadTransHandle(seen) == pid) return t.elapsed();
            PumpWait(20, true);
        }
        return qint64(-1);
    };

    QProcess first, second;
    launch(first);
    ASSERT_GE(waitForHandle(first.processId(), 5000), 0);
    launch(second);
    qint64 took = waitForHandle(second.processId(), 8000);
    ASSERT_GE(took, 0);
    EXPECT_GE(took, 1800);  // 51 waits of 40 ms for an answer that never comes
    EXPECT_EQ(first.state(), QProcess::Running);

    EXPECT_TRUE(PostCommandToHandle(static_cast<std::int32_t>(second.processId()), 65000));
    ASSERT_TRUE(second.waitForFinished(5000));
    std::int32_t seen = -1;
    EXPECT_EQ(ReadTransHandle(seen), 0);
    EXPECT_EQ(ReadText(kConfigure, "InstallingTheProgram"), "0");  // saved as at Exit
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(PostCommandToHandle(static_cast<std::int32_t>(first.processId()), 65000));
    EXPECT_TRUE(first.waitForFinished(5000));
    EXPECT_FALSE(PostCommandToHandle(static_cast<std::int32_t>(first.processId()), 65000));  // lost, harmlessly
}

// kill, a logout or Ctrl+C close the real viewer as File > Exit does: the fax shown becomes the
// default fax and the handle is cleared, so the installer never waits for a viewer that is gone.
TEST(ViewerProcess, StopSignalsCloseItLikeExit) {
    TempDir config, program;
    const std::string fax = program.File("shown.dcx");
    WriteBytes(fax, MakeDcx({MakePcx(PatternPage(216, 40, 1), 216)}));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", Q(config.path()));
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        WriteText(kConfigure, "ThisProgramDir", Q(program.path()));
        WriteText(kConfigure, "DftFax", "");
        QProcess viewer;
        viewer.setProcessEnvironment(env);
        viewer.start(QStringLiteral(VANTOREL_VIEWER), {Q(fax)});
        ASSERT_TRUE(viewer.waitForStarted());
        std::int32_t seen = 0;
        QElapsedTimer t;
        for (t.start(); ReadTransHandle(seen) != viewer.processId() && t.elapsed() < 5000;) PumpWait(20, true);
        ASSERT_EQ(seen, viewer.processId());
        ::kill(static_cast<pid_t>(viewer.processId()), signal);
        ASSERT_TRUE(viewer.waitForFinished(5000));
        EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(ReadTransHandle(seen), 0);
        EXPECT_EQ(ReadText(kConfigure, "DftFax"), Q(fax));
    }
}

TEST_F(MainWindowTest, AccumulatorItemsFollowTheShownFax) {
    WriteText(kConfigure, "DftFax", Q(Fax("three.dcx", 3)));
    MainWindow& w = Start();
    EXPECT_EQ(w.action(cmd::AccumulatorSave)->text(), "&Save this fax to Fax-Accumulator(3 pages)");
    EXPECT_TRUE(w.action(cmd::AccumulatorSave)->isEnabled());
    EXPECT_FALSE(w.action(cmd::AccumulatorConvert)->isEnabled());
    Command(cmd::AccumulatorSave);
    EXPECT_TRUE(QFileInfo::exists(state_.accumDir + "/fpa0003.pcx"));
    EXPECT_FALSE(w.action(cmd::AccumulatorSave)->isEnabled());  // not twice in a row
    EXPECT_EQ(w.action(cmd::AccumulatorClear)->text(), "C&lear Fax-Accumulator(3 pages)");
    Key(Qt::Key_Period);
    EXPECT_TRUE(w.action(cmd::AccumulatorSave)->isEnabled());  // another page was shown
    Command(cmd::AccumulatorClear);
    EXPECT_EQ(w.action(cmd::AccumulatorConvert)->text(), "&Convert Fax-Accumulator to Fax(0 pages)");
    EXPECT_FALSE(w.action(cmd::AccumulatorClear)->isEnabled());
}

TEST_F(MainWindowTest, ToolsNeedAnOpenFax) {
    WriteText(kConfigure, "DftFax", Q(files_.File("gone.dcx")));
    Start();
    Command(cmd::BreakUp);
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].text, "Please open a Fax first.");
    EXPECT_EQ(prompts_.asked[0].icon, Icon::Information);
    EXPECT_EQ(prompts_.asked[0].title, "Vantorel");
}

TEST_F(MainWindowTest, ExportCommandAsksFirstAndKeepsTheFaxOpen) {
    std::string fax = Fax("three.dcx", 3);
    WriteText(kConfigure, "DftFax", Q(fax));
    MainWindow& w = Start();
    prompts_.answers = {Cancel};
    Command(cmd::BuildTifPdf);
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_TRUE(prompts_.asked[0].text.startsWith("The default fax file is:\n" + Q(fax)));
    EXPECT_EQ(prompts_.asked[0].buttons, unsigned(Ok | Cancel));
    EXPECT_FALSE(QFileInfo::exists(Q(files_.File("three.tif"))));
    EXPECT_TRUE(w.faxOpen());
}
