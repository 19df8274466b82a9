// The Zoom/Edit round trip with a stand-in paint program, and the main window's side of
// it, offscreen with scripted prompts.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "app/commands.h"
#include "app/viewer_state.h"
#include "platform/pump_wait.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "support/test_files.h"
#include "viewer/main_window.h"
#include "zoomedit/bmp_fixtures.h"
#include "zoomedit/zoom_edit_command.h"
#include "zoomedit/zoom_edit_dialog.h"

using namespace app;
using namespace testing_support;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

const int kX0 = 100, kY0 = 5, kX1 = 400, kY1 = 25;  // the rectangle the stand-in draws
const QString kTitle = QStringLiteral("Vantorel Zoom/Edit Fax");
const QString kConfirm = QStringLiteral("Select [OK] after closing the editor.");

Bytes PagePixels(unsigned n, std::size_t lines) { return PatternPage(216, lines, n); }
Bytes PageFile(unsigned n, std::size_t lines) { return MakePcx(PagePixels(n, lines), 216); }
Bytes ColourPicture() { return RgbPicturePcx(300, 10, 0x40); }

class ZoomEditFlow : public ::testing::Test {
protected:
    void SetUp() override {
        programDir_ = Q(root_.path()) + "/Tar vex";  // a blank in the program folder's path
        QDir().mkpath(programDir_);
        state_.programDir = programDir_;
        state_.settings.paintProgram = Editor("");
    }
    // A script that starts the stand-in with `options` and the bitmap path.
    QString Editor(const std::string& options) {
        const std::string path = root_.File("editor" + std::to_string(++editors_) + ".sh");
        std::string text = "#!/bin/sh\nexec '" + std::string(VANTOREL_STAND_IN) + "' " + options + " \"$@\"\n";
        WriteBytes(path, Bytes(text.begin(), text.end()));
        QFile::setPermissions(Q(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return Q(path);
    }
    std::string Fax(const std::string& name, const Bytes& bytes) {
        const std::string path = root_.File(name);
        WriteBytes(path, bytes);
        state_.currentFax = Q(path);
        return path;
    }
    QStringList EditorLog() const {
        QFile f(programDir_ + "/stand-in.log");
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    QStringList ProgramFolder() const { return QDir(programDir_).entryList(QDir::Files | QDir::Hidden); }
    static std::string Rect() {
        return "--rect " + std::to_string(kX0) + " " + std::to_string(kY0) + " " + std::to_string(kX1) + " " +
               std::to_string(kY1);
    }

    TempDir root_;
    int editors_ = 0;
    QString programDir_;
    ViewerState state_;
    ScriptedPrompts prompts_;
};

}  // namespace

TEST_F(ZoomEditFlow, EditedPageComesBackIntoTheFax) {
    struct Case {
        const char* name;
        unsigned pages;  // 0: a single-page PCX fax
        unsigned edited;
        bool commandLine = false;  // the paint program given as a command with its options
    };
    for (Case c : {Case{"middle page", 3, 2}, Case{"last page", 3, 3}, Case{"PCX converted in place", 0, 1},
                   Case{"first page, a command as the paint program", 2, 1, true}}) {
        SCOPED_TRACE(c.name);
        ScriptedPrompts prompts;
        QFile::remove(programDir_ + "/stand-in.log");
        state_.settings.paintProgram = c.commandLine ? Q(std::string(VANTOREL_STAND_IN) + " " + Rect()) : Editor(Rect());
        std::vector<Bytes> pages;
        for (unsigned n = 1; n <= std::max(1u, c.pages); ++n) pages.push_back(PageFile(n, 30 + 10 * n));
        const std::string fax = Fax(c.pages ? "fax.dcx" : "fax.pcx", c.pages ? MakeDcx(pages) : pages[0]);

        RunZoomEdit(nullptr, state_, c.edited);

        // The editor ended at once: the user confirms before the import.
        ASSERT_EQ(prompts.asked.size(), 1u) << S(prompts.texts().join("|"));
        EXPECT_EQ(prompts.asked[0].title, kTitle);
        EXPECT_EQ(prompts.asked[0].text, kConfirm);
        EXPECT_EQ(prompts.asked[0].icon, Icon::None);
        EXPECT_EQ(prompts.asked[0].buttons, unsigned(Ok));
        // The stand-in ran in the program folder on the bitmap there, one argument.
        const QStringList log = EditorLog();
        ASSERT_GE(log.size(), 3);
        EXPECT_EQ(log[0], programDir_);
        EXPECT_EQ(log.last(), programDir_ + "/zoomedit.bmp");
        // The other pages are byte for byte what they were; the edited one has the rectangle.
        const Bytes now = ReadBytes(fax);
        Bytes expectedPixels = bmpfix::WithBlackRectangle(PagePixels(c.edited, 30 + 10 * c.edited), 216, kX0, kY0, kX1, kY1);
        if (c.pages) {
            for (unsigned n = 1; n <= c.pages; ++n) {
                if (n == c.edited)
                    EXPECT_EQ(bmpfix::DecodePcx(bmpfix::DcxPage(now, n)).pixels, expectedPixels);
                else
                    EXPECT_EQ(bmpfix::DcxPage(now, n), pages[n - 1]) << n;
            }
        } else {
            EXPECT_EQ(bmpfix::ReadPcx(fax).pixels, expectedPixels);
        }
        EXPECT_EQ(ProgramFolder(), QStringList{"stand-in.log"});  // work files removed
    }
}

TEST_F(ZoomEditFlow, EditorThatTakesItsTimeNeedsNoConfirmationAndTheDialogHides) {
    state_.settings.paintProgram = Editor(Rect() + " --sleep 4200");
    const std::string fax = Fax("two.dcx", MakeDcx({PageFile(1, 40), PageFile(2, 50)}));
    int samples = 0, hidden = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<ZoomEditDialog*>(w); d && QFile::exists(programDir_ + "/stand-in.log")) {
                ++samples;
                hidden += d->isHidden() ? 1 : 0;
            }
    });
    sampler.start(200);
    RunZoomEdit(nullptr, state_, 1);
    sampler.stop();
    EXPECT_TRUE(prompts_.asked.empty()) << S(prompts_.texts().join("|"));
    EXPECT_GT(samples, 10);
    EXPECT_EQ(hidden, samples);  // out of the way while the editor runs
    EXPECT_EQ(bmpfix::DecodePcx(bmpfix::DcxPage(ReadBytes(fax), 1)).pixels,
              bmpfix::WithBlackRectangle(PagePixels(1, 40), 216, kX0, kY0, kX1, kY1));
}

TEST_F(ZoomEditFlow, FailuresLeaveTheFaxUntouched) {
    const Bytes dcx = MakeDcx({PageFile(1, 40), PageFile(2, 50)});
    const QString missingEditor = Q(root_.File("no such/paint"));
    struct Case {
        const char* name;
        std::string fax;
        Bytes bytes;
        QString editor;
        QStringList messages;
        bool editorRan;
    };
    const Case cases[] = {
        {"editor cannot be started", "fax.dcx", dcx, missingEditor, {EditorFailedText(missingEditor)}, false},
        {"editor spoils the bitmap of a DCX page", "fax.dcx", dcx, Editor("--garbage"),
         {kConfirm, "ReadDibBitmapInfo failed"}, true},
        {"editor spoils the bitmap of a PCX fax", "fax.pcx", PageFile(1, 40), Editor("--garbage"),
         {kConfirm, "ReadDibBitmapInfo failed"}, true},
        {"not a DCX", "page.dcx", PageFile(1, 40), Editor(""), {"ZE7, %1\nis not a valid dcx file"}, false},
        {"a colour picture", "picture.pcx", ColourPicture(), Editor(""),
         {"Page 1 of:\n%1\nis a colour (or grey) picture, not a fax page."}, false},
        {"a colour picture in a DCX", "pictures.dcx", MakeDcx({ColourPicture(), PageFile(2, 50)}), Editor(""),
         {"Page 1 of:\n%1\nis a colour (or grey) picture, not a fax page."}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompts prompts;
        QFile::remove(programDir_ + "/stand-in.log");
        state_.settings.paintProgram = c.editor;
        const std::string fax = Fax(c.fax, c.bytes);
        RunZoomEdit(nullptr, state_, 1);
        QStringList expected;
        for (const QString& m : c.messages) expected << (m.contains("%1") ? m.arg(Q(fax)) : m);
        EXPECT_EQ(prompts.texts(), expected);
        if (!prompts.asked.empty()) {
            EXPECT_EQ(prompts.asked.back().icon, Icon::Error);
        }
        EXPECT_EQ(ReadBytes(fax), c.bytes);
        EXPECT_EQ(!EditorLog().isEmpty(), c.editorRan);
        QFile::remove(programDir_ + "/stand-in.log");
        EXPECT_TRUE(ProgramFolder().isEmpty()) << S(ProgramFolder().join(","));
        EXPECT_EQ(QDir(Q(root_.path())).entryList(QDir::Files | QDir::Hidden).filter(".part").size(), 0);
    }
}

TEST_F(ZoomEditFlow, TheReservedWorkFilesAreNotEdited) {
    for (const char* name : {"zoomedit.dcx", "zoomedit.pcx"}) {
        ScriptedPrompts prompts;
        const Bytes fax = MakeDcx({PageFile(1, 40)});
        const std::string reserved = S(programDir_) + "/" + name;
        WriteBytes(reserved, fax);
        state_.currentFax = Q(reserved);
        RunZoomEdit(nullptr, state_, 1);
        ASSERT_EQ(prompts.asked.size(), 1u);
        EXPECT_EQ(prompts.asked[0].title, kTitle);
        EXPECT_EQ(prompts.asked[0].text,
                  Q(reserved) + "\n is a reserved file used for temporary use and can not be used for other purposes.");
        EXPECT_EQ(prompts.asked[0].icon, Icon::Information);
        EXPECT_TRUE(EditorLog().isEmpty());
        EXPECT_EQ(ReadBytes(reserved), fax);
    }
}

TEST(ZoomEditChoices, EditorAndFaxKind) {
    TempDir bin;
    for (const char* name : {"pinta", "gimp"}) {
        WriteBytes(bin.File(name), {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'});
        QFile::setPermissions(Q(bin.File(name)), QFile::ReadOwner | QFile::ExeOwner);
    }
    TempDir empty;
    const QByteArray savedPath = qgetenv("PATH");
    struct Case {
        QString paintProgram;
        std::string path;
        QString chosen;
    };
    for (const Case& c : {Case{"/opt/paint/bin/paint", empty.path(), "/opt/paint/bin/paint"},
                          Case{"", bin.path(), "pinta"}, Case{"", empty.path(), "kolourpaint"}}) {
        qputenv("PATH", QByteArray::fromStdString(c.path));
        EXPECT_EQ(ChooseEditor(c.paintProgram), c.chosen) << S(c.paintProgram) << " " << c.path;
    }
    qputenv("PATH", savedPath);
    for (auto [path, pcx] : std::initializer_list<std::pair<const char*, bool>>{
             {"/f/fax.pcx", true}, {"/f/FAX.PCX", true}, {"/f/fax.pcxold", true}, {"/f.pcx/fax", true},
             {"/f/fax.pcx.dcx", false}, {"/f/fax.dcx", false}, {"/f/fax", false}})
        EXPECT_EQ(IsPcxFaxPath(path), pcx) << path;
}

// ---- the main window's side -------------------------------------------------------

namespace {

class MainWindowZoomEdit : public ZoomEditFlow {
protected:
    void SetUp() override {
        ZoomEditFlow::SetUp();
        SetShuttingDown(false);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path()));
        WriteText(kConfigure, "ThisProgramDir", programDir_);
        WriteText(kConfigure, "OpenMax", "0");
        WriteText(kConfigure, "PaintProgram", Editor(Rect()));
        savedCwd_ = QDir::currentPath();
    }
    void TearDown() override {
        window_.reset();
        QDir::setCurrent(savedCwd_);
        SetShuttingDown(false);
    }
    MainWindow& Start() {
        window_ = std::make_unique<MainWindow>(windowState_);
        window_->setDesktopWidth(1024);
        window_->start();
        Settle();
        return *window_;
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    TempDir config_;
    QString savedCwd_;
    ViewerState windowState_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(MainWindowZoomEdit, EditsTheShownPageHiddenAndShowsPageOneAfter) {
    const std::string fax = Fax("three.dcx", MakeDcx({PageFile(1, 40), PageFile(2, 50), PageFile(3, 60)}));
    WriteText(kConfigure, "DftFax", Q(fax));
    MainWindow& w = Start();
    w.postCommand(cmd::NextPage);
    Settle();
    ASSERT_EQ(w.currentPage(), 2u);

    bool hiddenWhileEditing = false;
    QTimer::singleShot(250, [&] {
        hiddenWhileEditing = w.isHidden();
        w.postCommand(cmd::ZoomEdit);  // a second request while the first runs
    });
    w.action(cmd::ZoomEdit)->trigger();
    Settle();

    EXPECT_TRUE(hiddenWhileEditing);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(prompts_.texts(), (QStringList{"Zoom/Edit Fax is busy.", kConfirm}));
    EXPECT_EQ(prompts_.asked[0].icon, Icon::Information);
    EXPECT_EQ(w.currentPage(), 1u);
    EXPECT_TRUE(w.faxOpen());
    EXPECT_EQ(w.windowTitle(), "Vantorel 15.05.01, Page 1 of 3, " + Q(fax));
    EXPECT_EQ(bmpfix::DecodePcx(bmpfix::DcxPage(ReadBytes(fax), 2)).pixels,
              bmpfix::WithBlackRectangle(PagePixels(2, 50), 216, kX0, kY0, kX1, kY1));
}

TEST_F(MainWindowZoomEdit, NeedsAnOpenFax) {
    WriteText(kConfigure, "DftFax", Q(root_.File("missing.dcx")));
    MainWindow& w = Start();
    w.action(cmd::ZoomEdit)->trigger();
    Settle();
    EXPECT_EQ(prompts_.texts(), QStringList{"Please open a Fax first."});
    EXPECT_EQ(prompts_.asked[0].title, "Vantorel");
    EXPECT_EQ(prompts_.asked[0].icon, Icon::Information);
    EXPECT_TRUE(EditorLog().isEmpty());
}

TEST_F(MainWindowZoomEdit, CloseRequestDuringTheEditEndsTheViewerAfterIt) {
    const Bytes dcx = MakeDcx({PageFile(1, 40), PageFile(2, 50)});
    const std::string fax = Fax("two.dcx", dcx);
    WriteText(kConfigure, "DftFax", Q(fax));
    MainWindow& w = Start();
    QTimer::singleShot(250, [&] { w.postCommand(cmd::Close); });  // as the installer does
    w.action(cmd::ZoomEdit)->trigger();
    Settle();
    EXPECT_TRUE(ShuttingDown());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.settingsSaves(), 1);
    EXPECT_NE(ReadBytes(fax), dcx);  // the edit still came back into the fax
}
