#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/viewer_state.h"
#include "export/export_command.h"
#include "export/view_exports_dialog.h"
#include "platform/scripted_prompts.h"
#include "platform/shell.h"
#include "platform/window_stack.h"
#include "support/test_files.h"

using namespace testing_support;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

const char* const kQuestion =
    "The default fax file is:\n%1\n\nSelect [OK] to create a TIF and PDF copy of this fax called:\n%2\n%3";

// Runs `script` against the modal dialog once it is open; the script must close it.
void WhenDialogOpens(std::function<void(app::ViewExportsDialog*)> script, bool* ran) {
    QTimer::singleShot(0, [script, ran] {
        auto* d = qobject_cast<app::ViewExportsDialog*>(QApplication::activeModalWidget());
        if (!d) {
            WhenDialogOpens(script, ran);  // not shown yet: try again on the next turn
            return;
        }
        *ran = true;
        script(d);
    });
}

struct Fixture {
    TempDir dir;
    app::ViewerState state;
    app::ScriptedPrompts prompts;
    app::RecordingShell shell;
    Bytes fax = MakeDcx({MakePcx(PatternPage(216, 120, 1), 216), MakePcx(PatternPage(216, 60, 2), 216)});
};

TEST(BuildTifPdfCommand, CancelCreatesNothing) {
    Fixture f;
    f.state.currentFax = Q(f.dir.File("in.dcx"));
    WriteBytes(f.dir.File("in.dcx"), f.fax);
    f.prompts.answers = {app::Cancel};
    EXPECT_FALSE(app::RunBuildTifPdfCommand(nullptr, f.state));
    ASSERT_EQ(f.prompts.asked.size(), 1u);
    const auto& q = f.prompts.asked[0];
    EXPECT_EQ(q.title, "Vantorel");
    EXPECT_EQ(q.text, QString(kQuestion).arg(f.state.currentFax, Q(f.dir.File("in.tif")), Q(f.dir.File("in.pdf"))));
    EXPECT_EQ(q.icon, app::Icon::Question);
    EXPECT_EQ(q.buttons, unsigned(app::Ok | app::Cancel));
    EXPECT_FALSE(Exists(f.dir.File("in.tif")));
    EXPECT_FALSE(Exists(f.dir.File("in.pdf")));
}

TEST(BuildTifPdfCommand, NoFaxToConvert) {
    struct Case {
        const char* name;
        std::string fax;
        bool create;
    };
    Fixture f;
    QDir().mkpath(Q(f.dir.File("a.pcx.d")));
    const Case cases[] = {
        {"missing file", "gone.dcx", false},
        {"not a fax name", "notes.txt", true},
        {"empty default fax", "", false},
        {"no extension in the file name", "a.pcx.d/fax", true},
    };
    for (const Case& c : cases) {
        app::ScriptedPrompts prompts;
        f.state.currentFax = c.fax.empty() ? QString() : Q(f.dir.File(c.fax));
        if (c.create) WriteBytes(f.dir.File(c.fax), f.fax);
        EXPECT_FALSE(app::RunBuildTifPdfCommand(nullptr, f.state)) << c.name;
        ASSERT_EQ(prompts.asked.size(), 1u) << c.name;
        EXPECT_EQ(prompts.asked[0].text, "Know fax file to convert to TIF and PDF.") << c.name;
        EXPECT_EQ(prompts.asked[0].icon, app::Icon::Information) << c.name;
        EXPECT_EQ(prompts.asked[0].title, "Vantorel") << c.name;
    }
    EXPECT_EQ(QDir(Q(f.dir.path())).entryList({"*.tif", "*.pdf"}, QDir::Files).size(), 0);
    EXPECT_EQ(QDir(Q(f.dir.File("a.pcx.d"))).entryList({"*.tif", "*.pdf"}, QDir::Files).size(), 0);
}

TEST(BuildTifPdfCommand, ExportsThenTheDialogOpensEachFile) {
    struct Case {
        const char* name;
        std::string fax, tif, pdf;
    };
    const Case cases[] = {
        {"upper-case extension", "in.PCX", "in.tif", "in.pdf"},
        {"folder named .pcx, other extension", "x.pcx.d/fax.bin", "x.pcx.d/fax.tif", "x.pcx.d/fax.pdf"},
    };
    for (const Case& c : cases) {
        Fixture f;
        QDir().mkpath(Q(f.dir.File("x.pcx.d")));
        const Bytes original = MakePcx(PatternPage(216, 80, 3), 216);
        WriteBytes(f.dir.File(c.fax), original);
        WriteBytes(f.dir.File(c.pdf), Bytes(5, 'o'));  // an old PDF is replaced
        f.state.currentFax = Q(f.dir.File(c.fax));
        f.prompts.answers = {app::Ok};

        bool ran = false;
        WhenDialogOpens(
            [&](app::ViewExportsDialog* d) {
                EXPECT_EQ(d->windowTitle(), "View TIF or PDF file");
                EXPECT_EQ(app::CurrentToolWindow(), d);
                EXPECT_EQ(d->tifEdit()->text(), Q(f.dir.File(c.tif)));
                EXPECT_EQ(d->pdfEdit()->text(), Q(f.dir.File(c.pdf)));
                EXPECT_TRUE(d->tifEdit()->isReadOnly());
                EXPECT_TRUE(d->viewTifButton()->isDefault());
                EXPECT_EQ(d->viewTifButton()->text(), "&View TIF file");
                EXPECT_EQ(d->viewPdfButton()->text(), "&View PDF file");
                EXPECT_EQ(d->closeButton()->text(), "&Close");
                d->viewTifButton()->click();
                d->viewPdfButton()->click();
                d->viewPdfButton()->click();
                EXPECT_TRUE(d->isVisible());  // opening a file keeps the dialog
                d->closeButton()->click();
            },
            &ran);
        EXPECT_TRUE(app::RunBuildTifPdfCommand(nullptr, f.state)) << c.name;
        EXPECT_TRUE(ran) << c.name;
        EXPECT_EQ(app::CurrentToolWindow(), nullptr);
        EXPECT_EQ(f.shell.opened,
                  QStringList({Q(f.dir.File(c.tif)), Q(f.dir.File(c.pdf)), Q(f.dir.File(c.pdf))}))
            << c.name;
        EXPECT_EQ(f.prompts.asked.size(), 1u) << c.name;  // only the question
        Bytes tif = ReadBytes(f.dir.File(c.tif));
        Bytes pdf = ReadBytes(f.dir.File(c.pdf));
        EXPECT_EQ(std::string(tif.begin(), tif.begin() + 4), std::string("II*\0", 4)) << c.name;
        EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 8), "%PDF-1.1") << c.name;
        EXPECT_EQ(ReadBytes(f.dir.File(c.fax)), original) << c.name;  // the fax is never changed
    }
}

TEST(BuildTifPdfCommand, FailuresShowTheirCode) {
    struct Case {
        const char* name;
        const char* blocked;  // made a folder (with a file inside), so it cannot be written
        const char* message;
        bool tifWritten;
    };
    const Case cases[] = {
        {".tif cannot be created", "in.tif", "Dcx-Pcx to TIF and PDF failed with error[2044]", false},
        {".pdf cannot be replaced", "in.pdf", "Dcx-Pcx to TIF and PDF failed with error[2061]", true},
    };
    for (const Case& c : cases) {
        Fixture f;
        WriteBytes(f.dir.File("in.dcx"), f.fax);
        QDir().mkpath(Q(f.dir.File(c.blocked)));
        WriteBytes(f.dir.File(c.blocked) + "/keep", Bytes(1, 1));
        f.state.currentFax = Q(f.dir.File("in.dcx"));
        f.prompts.answers = {app::Ok};
        EXPECT_FALSE(app::RunBuildTifPdfCommand(nullptr, f.state)) << c.name;
        ASSERT_EQ(f.prompts.asked.size(), 2u) << c.name;
        EXPECT_EQ(f.prompts.asked[1].text, c.message) << c.name;
        EXPECT_EQ(f.prompts.asked[1].icon, app::Icon::None) << c.name;
        EXPECT_EQ(f.prompts.asked[1].buttons, unsigned(app::Ok)) << c.name;
        EXPECT_EQ(f.prompts.asked[1].title, "Vantorel") << c.name;
        EXPECT_TRUE(f.shell.opened.isEmpty()) << c.name;
        if (c.tifWritten) {
            EXPECT_GT(ReadBytes(f.dir.File("in.tif")).size(), 190u) << c.name;
        }
    }
}

// With "Recognise text in PDF exports" on, a progress window counts the pages while the
// window stays alive; its Cancel, pressed with a key, leaves both old copies as they were.
TEST(BuildTifPdfCommand, RecognisedTextBehindAProgressWindowWithCancel) {
    for (bool cancel : {true, false}) {
        Fixture f;
        const Bytes page = RenderTextPage(f.dir, {"Harbour Row 4711"}, 100);
        ASSERT_FALSE(page.empty());
        WriteBytes(f.dir.File("in.dcx"), MakeDcx({MakePcx(page, 216), MakePcx(page, 216)}));
        WriteBytes(f.dir.File("in.tif"), Bytes(5, 't'));
        WriteBytes(f.dir.File("in.pdf"), Bytes(5, 'p'));
        f.state.currentFax = Q(f.dir.File("in.dcx"));
        f.state.settings.recognisePdfText = 1;
        f.prompts.answers = {app::Ok};
        QStringList labels;
        std::function<void()> watch = [&] {
            if (auto* view = qobject_cast<app::ViewExportsDialog*>(QApplication::activeModalWidget()))
                return view->closeButton()->click();
            auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (progress && (labels.isEmpty() || labels.back() != progress->labelText())) labels << progress->labelText();
            if (progress && cancel) {
                auto* button = progress->findChild<QPushButton*>();
                button->setFocus();
                return QTest::keyClick(button, Qt::Key_Space);
            }
            QTimer::singleShot(5, watch);
        };
        QTimer::singleShot(0, watch);
        EXPECT_EQ(app::RunBuildTifPdfCommand(nullptr, f.state), !cancel);
        const QStringList pages = {"Recognising the text of page 1 of 2 ...", "Recognising the text of page 2 of 2 ..."};
        EXPECT_EQ(labels, cancel ? pages.mid(0, 1) : pages);
        EXPECT_EQ(f.prompts.asked.size(), 1u) << "only the question";
        EXPECT_EQ(QDir(Q(f.dir.path())).entryList(QDir::Files).size(), 4) << "no file left beside the copies";
        std::string text;
        RunCommand("pdftotext " + f.dir.File("in.pdf") + " - 2>/dev/null", &text);
        EXPECT_EQ(text, cancel ? "" : "Harbour Row 4711\n\n\fHarbour Row 4711\n\n\f");
        EXPECT_EQ(ReadBytes(f.dir.File("in.tif")).size() > 5, !cancel);
    }
}

// A fax whose derived name is the fax itself is refused before anything is asked or written.
TEST(BuildTifPdfCommand, NeverReplacesTheFaxItself) {
    for (const char* name : {"fax.dcx.tif", "fax.pcx.pdf"}) {
        Fixture f;
        WriteBytes(f.dir.File(name), f.fax);
        f.state.currentFax = Q(f.dir.File(name));
        f.prompts.answers = {app::Ok};
        EXPECT_FALSE(app::RunBuildTifPdfCommand(nullptr, f.state)) << name;
        ASSERT_EQ(f.prompts.asked.size(), 1u) << name;
        EXPECT_TRUE(f.prompts.asked[0].text.contains("It is the fax file itself")) << name;
        EXPECT_EQ(f.prompts.asked[0].icon, app::Icon::Error) << name;
        EXPECT_TRUE(ReadBytes(f.dir.File(name)) == f.fax) << name;
        EXPECT_EQ(QDir(Q(f.dir.path())).entryList(QDir::Files).size(), 1) << name;
    }
}

TEST(BuildTifPdfCommand, RefusesAPicturePageBeforeAsking) {
    Fixture f;
    const Bytes fax = MakeDcx({MakePcx(PatternPage(216, 120, 1), 216), RgbPicturePcx(300, 10, 0x40)});
    WriteBytes(f.dir.File("mixed.dcx"), fax);
    f.state.currentFax = Q(f.dir.File("mixed.dcx"));
    EXPECT_FALSE(app::RunBuildTifPdfCommand(nullptr, f.state));
    ASSERT_EQ(f.prompts.asked.size(), 1u);
    EXPECT_EQ(f.prompts.asked[0].text,
              "Page 2 of:\n" + Q(f.dir.File("mixed.dcx")) + "\nis a colour (or grey) picture, not a fax page.");
    EXPECT_EQ(f.prompts.asked[0].icon, app::Icon::Error);
    EXPECT_EQ(QDir(Q(f.dir.path())).entryList(QDir::Files), QStringList{"mixed.dcx"});
}

}  // namespace
