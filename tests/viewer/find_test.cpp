// Edit > Find as a user works it, on faxes drawn from known text: typing in the bar, Enter
// and F3 across pages, boxes over the found words' ink at two zoom steps, the page keys
// typing into the field, the cache reused after a restart and read again for a changed fax,
// a new fax stopping the reading, and `tarvex FAX --find TEXT`.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <filesystem>

#include "app/commands.h"
#include "app/startup.h"
#include "platform/instance_channel.h"
#include "main_window_fixture.h"
#include "viewer/find_bar.h"

using namespace viewer_test;

namespace {

constexpr int kReadMs = 120000;  // recognition of a few small pages on a busy machine

class FindTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache_.path()));
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        qunsetenv("XDG_CACHE_HOME");
        qunsetenv("TESSDATA_PREFIX");
    }
    // A fax whose pages carry the given lines, drawn by GraphicsMagick.
    std::string TextFax(const std::string& name, const std::vector<std::vector<std::string>>& pages) {
        std::vector<Bytes> pcx;
        for (const auto& lines : pages) pcx.push_back(MakePcx(RenderTextPage(files_, lines, 160), 216));
        WriteBytes(files_.File(name), pcx.size() == 1 ? pcx[0] : MakeDcx(pcx));
        return files_.File(name);
    }
    MainWindow& Open(const std::string& fax, const QString& commandLine = {}, const QString& findText = {}) {
        WriteText(kConfigure, "DftFax", Q(fax));
        for (const auto& [edge, value] : {std::pair{"WinX", "0"}, {"WinY", "0"}, {"WinCX", "800"}, {"WinCY", "600"}})
            WriteText(kConfigure, edge, value);
        MainWindow& w = Start(commandLine, 1024, findText);
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }
    FindBar* Bar() { return window_->findBar(); }
    QWidget* Page() { return window_->pageView()->viewport(); }
    void Type(QWidget* to, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(to, static_cast<Qt::Key>(key), mods);
        Settle();
    }
    bool Read() { return QTest::qWaitFor([&] { return !Bar()->reading(); }, kReadMs); }
    std::string Count() { return Bar()->countLabel()->text().toStdString(); }
    // Pages in the cache entry of the fax as it is now (found by its size).
    int CachedPages(const std::string& fax) {
        std::string n;
        RunCommand("cat '" + cache_.File("Vantorel/text") + "'/*-" + std::to_string(std::filesystem::file_size(fax)) +
                   "-* 2>/dev/null | grep -c '^page '", &n);
        return std::atoi(n.c_str());
    }

    // The current hit's boxes on the page as shown: one per word, each holding ink, and a
    // ring of two pixels around it white, so the box sits on the word's ink. `inkLeft`: where
    // GraphicsMagick began the line, in page pixels (the first box starts there), or -1.
    void ExpectBoxesOnInk(std::size_t words, int inkLeft, const char* where) {
        std::vector<QRect> boxes;
        for (const auto& h : window_->pageView()->highlights())
            if (h.current) boxes.push_back(h.box);
        ASSERT_EQ(boxes.size(), words) << where;
        const view::PageSurface& s = window_->surface();
        auto grey = [&](int x, int y) { return x < 0 || x >= s.width() || !s.Row(y) ? 255 : s.Row(y)[x]; };
        for (const QRect& b : boxes) {
            int ink = 0, ring = 0;
            for (int y = b.top() - 2; y <= b.bottom() + 2; ++y)
                for (int x = b.left() - 2; x <= b.right() + 2; ++x)
                    (b.contains(x, y) ? ink : ring) += grey(x, y) < (b.contains(x, y) ? 160 : 230);
            EXPECT_GT(ink, 10) << where;
            EXPECT_EQ(ring, 0) << where << ": ink beside the box";
        }
        if (inkLeft >= 0) {
            EXPECT_NEAR(boxes[0].left() + 1, inkLeft * window_->zoom().displayWidth() / 1728.0, 3) << where;
        }
    }

    TempDir cache_;
};

const std::vector<std::vector<std::string>> kPages = {
    {"Invoice 4711 for Harbour Row", "Shipping rollers and service kits"},
    {"Nothing but rollers here"},
    {"Second invoice 4711 to pay"},
};

TEST_F(FindTest, TypedTextIsFoundAcrossPagesWithTheKeysAndBoxedOverItsInk) {
    MainWindow& w = Open(TextFax("known.dcx", kPages));
    Type(Page(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(Bar()->isVisible());
    ASSERT_EQ(QApplication::focusWidget(), Bar()->field());
    QTest::keyClicks(Bar()->field(), "invoice 4711");
    ASSERT_TRUE(Read());
    EXPECT_EQ(Count(), "1 of 2");
    EXPECT_EQ(w.currentPage(), 1u);
    ExpectBoxesOnInk(2, 60, "Default Size");
    Type(Page(), Qt::Key_1);
    ASSERT_EQ(w.zoom().displayWidth(), 1728);
    ExpectBoxesOnInk(2, 60, "100%");

    struct Step {
        QWidget* to;
        int key;
        Qt::KeyboardModifiers mods;
        unsigned page;
        const char* count;
    } steps[] = {
        {Bar()->field(), Qt::Key_Return, Qt::NoModifier, 3, "2 of 2"},
        {Page(), Qt::Key_F3, Qt::NoModifier, 1, "1 of 2"},  // wraps like the page keys
        {Page(), Qt::Key_F3, Qt::ShiftModifier, 3, "2 of 2"},
        {Bar()->field(), Qt::Key_Return, Qt::ShiftModifier, 1, "1 of 2"},
        {Bar()->field(), Qt::Key_F3, Qt::ShiftModifier, 3, "2 of 2"},
    };
    for (const Step& s : steps) {
        Type(s.to, s.key, s.mods);
        EXPECT_EQ(w.currentPage(), s.page) << s.count;
        EXPECT_TRUE(w.windowTitle().contains(QStringLiteral("Page %1 of 3").arg(s.page))) << s.count;
        EXPECT_EQ(Count(), s.count);
        ExpectBoxesOnInk(2, -1, s.count);
    }

    // In the field the page keys type; on the page they work as ever.
    QTest::keyClicks(Bar()->field(), ",.1P");
    EXPECT_EQ(Bar()->field()->text(), "invoice 4711,.1P");
    EXPECT_EQ(w.currentPage(), 3u);
    EXPECT_FALSE(w.pageSelector()->isVisible());
    EXPECT_EQ(Count(), "No match");
    Type(Bar()->field(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Bar()->field(), "INVOICE");
    EXPECT_EQ(Count(), "2 of 2") << "from the page on screen on";
    QTest::mouseClick(Bar()->matchCase(), Qt::LeftButton);
    EXPECT_EQ(Count(), "No match");
    Type(Bar()->field(), Qt::Key_Escape);
    EXPECT_FALSE(Bar()->isVisible());
    EXPECT_TRUE(w.pageView()->highlights().empty());
    Type(Page(), Qt::Key_Period);
    EXPECT_EQ(w.currentPage(), 1u);
}

TEST_F(FindTest, CommandLineOpensAtTheFirstHitAndTheCacheServesARestartUntilTheFaxChanges) {
    const std::string fax = TextFax("known.dcx", kPages);
    QByteArray path = QByteArray::fromStdString(fax);
    char* argv[] = {const_cast<char*>("tarvex"), path.data(), const_cast<char*>("--find"), const_cast<char*>("but ROLLERS")};
    QString findText;
    const QString commandLine = JoinCommandLine(4, argv, &findText);
    MainWindow& first = Open(fax, commandLine, findText);
    ASSERT_TRUE(Read());
    EXPECT_EQ(Count(), "1 of 1");
    EXPECT_EQ(first.currentPage(), 2u);
    EXPECT_EQ(state_.currentFax, Q(fax));

    // No language data now: only the cache can answer.
    const std::string none = cache_.File("no-tessdata");
    std::filesystem::create_directory(none);
    qputenv("TESSDATA_PREFIX", QByteArray::fromStdString(none));
    window_.reset();
    Open(fax);
    Type(Page(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(Bar()->field(), "rollers");
    ASSERT_TRUE(Read());
    EXPECT_EQ(Count(), "1 of 2");

    // Page 2 replaced: the fax is read again, and without language data Find says what to install.
    WriteBytes(files_.File("new.pcx"), MakePcx(RenderTextPage(files_, {"Nothing here now"}, 160), 216));
    ASSERT_EQ(RunCommand("'" + CliPath() + "' replace '" + fax + "' 2 '" + files_.File("new.pcx") + "' >/dev/null"), 0);
    Command(cmd::OpenCurrentFax);
    ASSERT_TRUE(Read());
    EXPECT_NE(Count().find("Install the package tesseract-ocr-eng"), std::string::npos) << Count();
    qunsetenv("TESSDATA_PREFIX");
    Command(cmd::OpenCurrentFax);
    Type(Page(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(Read());
    EXPECT_EQ(Count(), "1 of 1");
    EXPECT_EQ(CachedPages(fax), 3);
}

TEST_F(FindTest, ANewFaxStopsTheReadingAndClosingWaitsNoLongerThanASecond) {
    std::vector<std::vector<std::string>> many = kPages;
    many.insert(many.end(), kPages.begin(), kPages.end());
    const std::string a = TextFax("a.dcx", many), b = TextFax("b.pcx", {{"Rollers only"}});
    MainWindow& w = Open(a);
    Type(Page(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(Bar()->field(), "rollers");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count().find("reading page 2") != std::string::npos; }, kReadMs)) << Count();
    ASSERT_TRUE(w.showNewFile(Q(b)));  // as File > Open does
    ASSERT_TRUE(Read());
    EXPECT_EQ(Count(), "1 of 1");
    EXPECT_LT(CachedPages(a), 6) << "the first fax's reading stopped";

    ASSERT_TRUE(w.showNewFile(Q(a)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Count().find("reading page") != std::string::npos; }, kReadMs));
    QElapsedTimer closing;
    closing.start();
    window_.reset();
    EXPECT_LT(closing.elapsed(), 1500);
    EXPECT_TRUE(WaitForFindWorkers(std::chrono::milliseconds(0))) << "the worker ended with the window";
}

// Noise keeps the recogniser in its layout analysis, where it does not look at the stop flag
// for minutes: the viewer leaves all the same, a second after it was asked to close.
TEST_F(FindTest, ExitEndsWithinASecondWhileAPageIsStillBeingRecognised) {
    const std::string fax = files_.File("noise.pcx");
    WriteBytes(fax, MakePcx(PatternPage(216, 4000, 0), 216));
    QProcess viewer;
    viewer.start(QStringLiteral(VANTOREL_VIEWER), {Q(fax), "--find", "x"});
    ASSERT_TRUE(viewer.waitForStarted());
    QTest::qWait(4000);  // started, the recogniser at work
    QElapsedTimer closing;
    closing.start();
    ASSERT_TRUE(PostCommandToHandle(static_cast<std::int32_t>(viewer.processId()), cmd::Close));
    ASSERT_TRUE(viewer.waitForFinished(10000));
    EXPECT_LT(closing.elapsed(), 2500);
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0);
}

}  // namespace
