#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>

#include "app/viewer_state.h"
#include "platform/scripted_prompts.h"
#include "platform/shell.h"
#include "platform/window_stack.h"
#include "tool_fixtures.h"
#include "tools/breakup_dialog.h"
#include "tools/build_fax_dialog.h"
#include "tools/fax_accumulator.h"
#include "tools/tool_commands.h"

using namespace testing_support;
using namespace toolfix;

namespace {

// A program folder of its own with Fax, Data and Data/faxaccum, and a settings store
// in a temporary folder.
struct Program {
    TempDir dir;
    app::ViewerState state;
    app::ScriptedPrompts prompts;
    Program() {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        state.programDir = QString::fromStdString(dir.path());
        state.DeriveFolders();
        for (const QString& d : {state.faxDir, state.dataDir, state.accumDir}) QDir().mkpath(d);
    }
    std::string Data(const std::string& name) const { return state.dataDir.toStdString() + "/" + name; }
    std::string Fax(const std::string& name) const { return state.faxDir.toStdString() + "/" + name; }
};

unsigned DcxPages(const std::string& path) {
    Bytes b = ReadBytes(path);
    return fax::DcxTable::FromBytes(b.data(), b.size()).PageCount();
}

}  // namespace

TEST(BreakUpDialog, DeclinedOverwriteThenAnotherSeed) {
    Program p;
    std::vector<Page> pages = {MakePage(30, 1), MakePage(30, 2), MakePage(30, 3)};
    WriteBytes(p.dir.File("fax.dcx"), MakeDcx({pages[0].file, pages[1].file, pages[2].file}));
    p.state.currentFax = QString::fromStdString(p.dir.File("fax.dcx"));
    WriteBytes(p.Data("memo0003.pcx"), {7});
    p.prompts.answers = {app::No};

    bool finished = false;
    {
        app::BreakUpDialog dialog(nullptr, p.state);
        QObject::connect(&dialog, &QDialog::finished, [&] { finished = true; });
        EXPECT_TRUE(app::BreakUpDialog::IsOpen());
        EXPECT_EQ(app::CurrentToolWindow(), &dialog);
        EXPECT_EQ(dialog.windowTitle(), "Vantorel dcx to pcx BreakUp");
        ASSERT_TRUE(dialog.Prepare());
        EXPECT_EQ(dialog.sourceLabel()->text(), p.state.currentFax);
        EXPECT_EQ(dialog.countLabel()->text(), "3");
        EXPECT_TRUE(dialog.breakUpButton()->isDefault());
        EXPECT_EQ(dialog.breakUpButton()->text(), "&BreakUp");

        dialog.seedEdit()->setText("memo");
        dialog.breakUpButton()->click();
        ASSERT_EQ(p.prompts.asked.size(), 1u);
        const auto& q = p.prompts.asked[0];
        EXPECT_EQ(q.title, "Vantorel dcx to pcx BreakUp");
        EXPECT_EQ(q.text, QString::fromStdString(p.Data("memo0003.pcx")) + "\nAlready exists!\nOverwrite it?(N/y)");
        EXPECT_EQ(q.icon, app::Icon::Question);
        EXPECT_EQ(q.buttons, app::Yes | app::No);
        EXPECT_EQ(q.defaultButton, app::No);
        EXPECT_FALSE(finished) << "a declined overwrite keeps the dialog open";
        EXPECT_EQ(dialog.seedEdit()->selectedText(), "memo");
        EXPECT_EQ(ReadBytes(p.Data("memo0003.pcx")), Bytes{7});

        dialog.seedEdit()->setText("next");
        dialog.breakUpButton()->click();
        EXPECT_TRUE(finished);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.outputLabel()->text(), QString::fromStdString(p.Data("next0006.pcx")));
        EXPECT_EQ(p.prompts.asked.size(), 1u) << "no message on success";

        app::RecordingShell shell;
        setenv("BROWSER", "true", 1);  // a stand-in browser on PATH
        dialog.helpButton()->click();
        ASSERT_EQ(shell.started.size(), 1);
        EXPECT_TRUE(shell.started[0].endsWith("tarvexhelp.htm#dcx_to_pcx_BreakUp")) << shell.started[0].toStdString();
    }
    EXPECT_FALSE(app::BreakUpDialog::IsOpen());
    EXPECT_EQ(app::CurrentToolWindow(), nullptr);
    EXPECT_EQ(ReadBytes(p.Data("next0004.pcx")), pages[0].file);
    EXPECT_EQ(ReadBytes(p.Data("next0006.pcx")), pages[2].file);
}

TEST(BreakUpDialog, InvalidSourceIsReportedAndTheDialogIsNotShown) {
    Program p;
    WriteBytes(p.dir.File("short.dcx"), Bytes(4000, 0));
    p.state.currentFax = QString::fromStdString(p.dir.File("short.dcx"));
    app::RunBreakUp(nullptr, p.state);  // returns at once: nothing to split
    ASSERT_EQ(p.prompts.asked.size(), 1u);
    EXPECT_EQ(p.prompts.asked[0].text, p.state.currentFax + "\nis not a valid dcx file");
    EXPECT_EQ(p.prompts.asked[0].icon, app::Icon::Error);
    EXPECT_FALSE(app::BreakUpDialog::IsOpen());
}

TEST(BuildFaxDialog, ListRules) {
    Program p;
    for (const char* name : {"c.pcx", "a.pcx", "b.pcx"}) WriteBytes(p.Data(name), MakePage(20, name[0]).file);
    WriteBytes(p.Data("notes.txt"), {1});
    app::BuildFaxDialog dialog(nullptr, p.state);
    ASSERT_TRUE(dialog.Prepare());
    ASSERT_EQ(dialog.fromList()->count(), 3);
    EXPECT_EQ(dialog.fromList()->item(0)->text(), "a.pcx");
    EXPECT_EQ(dialog.fromList()->item(2)->text(), "c.pcx");

    dialog.AddPcx();  // nothing selected yet
    ASSERT_EQ(p.prompts.asked.size(), 1u);
    EXPECT_EQ(p.prompts.asked[0].text, "Please select a pcx file first.");
    EXPECT_EQ(p.prompts.asked[0].icon, app::Icon::Information);
    EXPECT_EQ(dialog.toList()->count(), 0);

    // Moving the selection with the keys only selects; a click (or Shift) adds at once.
    dialog.FromSelectionChanged(2, false);
    EXPECT_EQ(dialog.toList()->count(), 0);
    dialog.FromSelectionChanged(1, true);
    dialog.AddPcx();
    dialog.AddAll();
    EXPECT_EQ(dialog.pages(), (QStringList{"b.pcx", "b.pcx", "a.pcx", "b.pcx", "c.pcx"}));
    EXPECT_EQ(dialog.rememberedIndex(), 3);

    dialog.toList()->setCurrentRow(2);  // the user picks "a.pcx" in the To list
    dialog.RemovePcx();
    EXPECT_EQ(dialog.pages(), (QStringList{"b.pcx", "b.pcx", "b.pcx", "c.pcx"}));
    // Further presses without a new selection remove the first entry each time.
    dialog.RemovePcx();
    dialog.RemovePcx();
    EXPECT_EQ(dialog.pages(), (QStringList{"b.pcx", "c.pcx"}));

    dialog.RemoveAll();
    EXPECT_EQ(dialog.toList()->count(), 0);
    app::RecordingShell shell;
    setenv("BROWSER", "true", 1);  // a stand-in browser on PATH
    dialog.helpButton()->click();
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_TRUE(shell.started[0].endsWith("tarvexhelp.htm#Build_Fax")) << shell.started[0].toStdString();
    dialog.RemovePcx();  // nothing there: nothing happens
    dialog.Build();
    EXPECT_EQ(p.prompts.asked.back().text, "Please select at least one pcx file.");
}

TEST(BuildFaxDialog, BuildsUnderTheNextFreeNameAndBecomesTheDefaultFax) {
    Program p;
    Page a = MakePage(40, 1), b = MakePage(50, 2);
    WriteBytes(p.Data("a.pcx"), a.file);
    WriteBytes(p.Data("b.pcx"), b.file);
    WriteBytes(p.Data("tiny.pcx"), Bytes(100, 1));
    WriteBytes(p.Fax("00000001.dcx"), {1});  // taken: the default name skips it
    p.state.currentFax = "old.dcx";

    app::BuildFaxDialog dialog(nullptr, p.state);
    ASSERT_TRUE(dialog.Prepare());
    EXPECT_EQ(dialog.nameEdit()->text(), QString::fromStdString(p.Fax("00000002.dcx")));
    dialog.FromSelectionChanged(1, true);  // b.pcx
    dialog.FromSelectionChanged(2, true);  // tiny.pcx
    dialog.FromSelectionChanged(0, true);  // a.pcx
    dialog.Build();
    ASSERT_TRUE(dialog.built());
    EXPECT_EQ(p.state.currentFax, dialog.nameEdit()->text());
    ASSERT_EQ(p.prompts.asked.size(), 1u);
    EXPECT_EQ(p.prompts.asked[0].text,
              "This file:\n" + QString::fromStdString(p.Data("tiny.pcx")) + "\nis corrupt and will not be added.");
    EXPECT_EQ(GmPageSizes(p.Fax("00000002.dcx")), (std::vector<std::string>{"1728x50", "1728x40"}));

    // Building again onto the same name asks first; No keeps the dialog and the file.
    app::BuildFaxDialog again(nullptr, p.state);
    ASSERT_TRUE(again.Prepare());
    again.nameEdit()->setText(QString::fromStdString(p.Fax("00000002.dcx")));
    again.FromSelectionChanged(0, true);
    p.prompts.answers = {app::No};
    again.Build();
    EXPECT_FALSE(again.built());
    EXPECT_EQ(p.prompts.asked.back().text,
              QString::fromStdString(p.Fax("00000002.dcx")) + "\nalready exists!\n\nOverwrite it?(N/y)");
    EXPECT_EQ(p.prompts.asked.back().defaultButton, app::No);
    EXPECT_EQ(DcxPages(p.Fax("00000002.dcx")), 2u);
}

TEST(BuildFaxDialog, EmptyDataFolderEndsTheDialog) {
    Program p;
    WriteBytes(p.Data("readme.txt"), {1});
    p.state.currentFax = "old.dcx";
    EXPECT_FALSE(app::RunBuildFax(nullptr, p.state));  // returns without waiting for the user
    ASSERT_EQ(p.prompts.asked.size(), 1u);
    EXPECT_EQ(p.prompts.asked[0].text, "No pcx file(s) in the Vantorel directory.");
    EXPECT_EQ(p.prompts.asked[0].icon, app::Icon::Error);
    EXPECT_EQ(p.state.currentFax, "old.dcx");
    EXPECT_FALSE(app::BuildFaxDialog::IsOpen());
}

TEST(BuildLongFaxCommand, QuestionAndNoStillConsumesANumber) {
    Program p;
    WriteBytes(p.dir.File("in.dcx"), MakeDcx({MakePage(30, 1).file, MakePage(40, 2).file}));
    p.state.currentFax = QString::fromStdString(p.dir.File("in.dcx"));
    WriteBytes(p.Fax("00000001.dcx"), {1});

    p.prompts.answers = {app::No};
    EXPECT_FALSE(app::RunBuildLongFax(nullptr, p.state));
    ASSERT_EQ(p.prompts.asked.size(), 1u);
    QString newPath = QString::fromStdString(p.Fax("00000002.dcx"));
    EXPECT_EQ(p.prompts.asked[0].text,
              "Would you like to create a new long one page fax from all the pages in:\n" + p.state.currentFax +
                  "\n\nThe new fax will be called:\n" + newPath +
                  "\n\nThe new fax will become the Vantorel default fax.\n\nCreate new fax?\n" + newPath);
    EXPECT_EQ(p.prompts.asked[0].title, "Vantorel");
    EXPECT_EQ(p.prompts.asked[0].icon, app::Icon::Question);
    EXPECT_EQ(p.prompts.asked[0].buttons, app::Yes | app::No);
    EXPECT_FALSE(Exists(p.Fax("00000002.dcx")));
    EXPECT_EQ(p.state.settings.fileNameDcx, 2u);

    p.prompts.answers = {app::Yes};
    ASSERT_TRUE(app::RunBuildLongFax(nullptr, p.state));
    EXPECT_EQ(p.state.currentFax, QString::fromStdString(p.Fax("00000003.dcx")));
    EXPECT_EQ(GmPageSizes(p.Fax("00000003.dcx")), (std::vector<std::string>{"1728x70"}));

    // A PCX default fax: still asked, nothing built.
    WriteBytes(p.dir.File("page.pcx"), MakePage(10, 1).file);
    p.state.currentFax = QString::fromStdString(p.dir.File("page.pcx"));
    p.prompts.answers = {app::Yes};
    EXPECT_FALSE(app::RunBuildLongFax(nullptr, p.state));
    EXPECT_EQ(p.state.currentFax, QString::fromStdString(p.dir.File("page.pcx")));
    EXPECT_FALSE(Exists(p.Fax("00000004.dcx")));
}

TEST(FaxAccumulatorMenu, TextsAndStates) {
    Program p;
    std::string accum = p.state.accumDir.toStdString();
    auto menu = app::ComputeAccumulatorMenu(p.state, 0, false);
    EXPECT_EQ(menu.saveText, "&Save this fax to Fax-Accumulator(0 pages)");
    EXPECT_FALSE(menu.saveEnabled);
    EXPECT_FALSE(menu.convertEnabled);
    EXPECT_FALSE(menu.clearEnabled);

    Page page = MakePage(20, 1);
    WriteBytes(fax::AccumulatorPagePath(accum, 1), page.file);
    menu = app::ComputeAccumulatorMenu(p.state, 1, false);
    EXPECT_EQ(menu.saveText, "&Save this fax to Fax-Accumulator(1 page)");
    EXPECT_EQ(menu.convertText, "&Convert Fax-Accumulator to Fax(1 page)");
    EXPECT_EQ(menu.clearText, "C&lear Fax-Accumulator(1 page)");
    EXPECT_TRUE(menu.saveEnabled && menu.convertEnabled && menu.clearEnabled);

    // Saving a 3-page fax after one more page: five pages, and Save stays off until
    // another page is shown.
    WriteBytes(fax::AccumulatorPagePath(accum, 2), page.file);
    WriteBytes(p.dir.File("three.dcx"), MakeDcx({page.file, page.file, page.file}));
    app::AccumulatorSave(nullptr, p.state, QString::fromStdString(p.dir.File("three.dcx")));
    menu = app::ComputeAccumulatorMenu(p.state, 3, true);
    EXPECT_EQ(menu.convertText, "&Convert Fax-Accumulator to Fax(5 pages)");
    EXPECT_EQ(menu.clearText, "C&lear Fax-Accumulator(5 pages)");
    EXPECT_FALSE(menu.saveEnabled);
    EXPECT_TRUE(app::ComputeAccumulatorMenu(p.state, 3, false).saveEnabled);
    EXPECT_TRUE(p.prompts.asked.empty());
}

TEST(FaxAccumulatorMenu, SaveConvertAndClear) {
    Program p;
    std::string accum = p.state.accumDir.toStdString();
    app::AccumulatorSave(nullptr, p.state, QString());
    ASSERT_EQ(p.prompts.asked.size(), 1u);
    EXPECT_EQ(p.prompts.asked[0].text, "Please open a Fax first.");
    EXPECT_EQ(p.prompts.asked[0].icon, app::Icon::Information);

    // A single-page PCX on screen: Save is offered with the count 1 but saves nothing.
    WriteBytes(p.dir.File("one.pcx"), MakePage(20, 1).file);
    EXPECT_TRUE(app::ComputeAccumulatorMenu(p.state, 1, false).saveEnabled);
    app::AccumulatorSave(nullptr, p.state, QString::fromStdString(p.dir.File("one.pcx")));
    EXPECT_EQ(fax::AccumulatorCount(accum), 0u);
    EXPECT_FALSE(app::AccumulatorConvert(nullptr, p.state)) << "nothing to convert";
    EXPECT_EQ(p.state.settings.fileNameDcx, 0u) << "no number taken";

    Page a = MakePage(20, 1), b = MakePage(30, 2);
    WriteBytes(p.dir.File("two.dcx"), MakeDcx({a.file, b.file}));
    app::AccumulatorSave(nullptr, p.state, QString::fromStdString(p.dir.File("two.dcx")));
    app::AccumulatorSave(nullptr, p.state, QString::fromStdString(p.dir.File("two.dcx")));
    EXPECT_EQ(fax::AccumulatorCount(accum), 4u);
    ASSERT_TRUE(app::AccumulatorConvert(nullptr, p.state));
    EXPECT_EQ(p.state.currentFax, QString::fromStdString(p.Fax("00000001.dcx")));
    EXPECT_EQ(GmPageSizes(p.Fax("00000001.dcx")),
              (std::vector<std::string>{"1728x20", "1728x30", "1728x20", "1728x30"}));
    EXPECT_EQ(fax::AccumulatorCount(accum), 0u);

    WriteBytes(fax::AccumulatorPagePath(accum, 1), a.file);
    WriteBytes(p.state.accumDir.toStdString() + "/other.txt", {1});
    app::AccumulatorClear(p.state);
    EXPECT_EQ(FilesIn(accum), (std::vector<std::string>{"other.txt"}));  // only the pages go
    EXPECT_EQ(Trashed("fpa0001.pcx"), std::vector<Bytes>{a.file});
}
