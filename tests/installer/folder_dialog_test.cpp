// The folder dialog and its options, the backdrop window, closing a running viewer, and a
// whole installation through the real dialog.
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/viewer_state.h"
#include "export/view_exports_dialog.h"
#include "help/configure_dialog.h"
#include "installer/dialog_kit.h"
#include "installer/folder_dialog.h"
#include "installer/folder_options.h"
#include "installer/installer_window.h"
#include "installer/uninstaller.h"
#include "installer_fixture.h"
#include "platform/instance_channel.h"
#include "platform/pump_wait.h"
#include "platform/settings_store.h"
#include "print/print_fax_dialog.h"
#include "tools/breakup_dialog.h"
#include "tools/build_fax_dialog.h"

using namespace installer_test;
using namespace inst;

namespace {

class Options : public InstallerHome {
protected:
    // The environments the cases need.
    void BlockShort() { testing_support::WriteBytes(path("Tarvex").toStdString(), {1}); }  // a file in its place
    void Earlier() {
        FakeInstallation(path("Old"));
        app::WriteText(app::kConfigure, "ThisProgramDir", path("Old"));
    }
    void Previous() { QDir().mkpath(inst::places().previousDefault); }
    void DataHome(const QString& d) {
        Places p = places();
        p.dataHome = d;
        setPlaces(p);
    }
    void ProgramFiles(const QString& d) {
        Places p = places();
        p.programFiles = d;
        setPlaces(p);
    }
};

// Runs `dialog` modally; `whileOpen` runs once it is on the screen, and the dialog is
// closed afterwards unless `whileOpen` ended it.
int RunOpen(FolderDialog& dialog, const std::function<void()>& whileOpen) {
    QTimer::singleShot(0, &dialog, [&] {
        whileOpen();
        if (dialog.isVisible()) dialog.reject();
    });
    return dialog.run();
}

QString Long(const QString& base, int length) { return base + "/" + QString(length - base.size() - 1, 'n'); }

}  // namespace

TEST_F(Options, EachClickRunsItsChain) {
    const QString shortF = path("Tarvex"), local = path(".local/share/Quorvane/Vantorel");
    const QString noLocal = "Unable to read/write access your Local Folder.";
    struct Case {
        const char* name;
        std::function<void()> setup;
        int clicked;
        bool ok;
        int choice;
        QString folder;
        QStringList messages;
    } cases[] = {
        {"short", [] {}, kOptionShort, true, kOptionShort, shortF, {}},
        {"short blocked, local", [&] { BlockShort(); }, kOptionShort, true, kOptionLocal, local,
         {"Unable to read/write access " + shortF}},
        {"short blocked, upgrade", [&] { BlockShort(), Earlier(); }, kOptionShort, true, kOptionUpgrade, path("Old"),
         {"Unable to read/write access " + shortF}},
        {"local", [] {}, kOptionLocal, true, kOptionLocal, local, {}},
        {"local missing", [&] { DataHome(path("none")); }, kOptionLocal, false, 0, {}, {noLocal}},
        {"local unknown", [&] { DataHome({}); }, kOptionLocal, false, 0, {}, {"Unable to access your Local Folder."}},
        {"program files", [] {}, kOptionProgramFiles, true, kOptionProgramFiles, path("opt/Quorvane/Tarvex"), {}},
        {"program files unknown", [&] { ProgramFiles({}); }, kOptionProgramFiles, true, kOptionShort, shortF,
         {"Unable to access your [Program Files] Folder."}},
        {"program files missing", [&] { ProgramFiles(path("none")); }, kOptionProgramFiles, true, kOptionShort, shortF,
         {"Unable to read/write access your [Program Files] Folder."}},
        {"roaming", [] {}, kOptionRoaming, true, kOptionShort, shortF, {"Roaming will be available in future versions."}},
        {"multi user", [&] { Previous(); }, kOptionMultiUser, true, kOptionUpgrade, places().previousDefault,
         {"Multi User will be available in future versions."}},
        {"upgrade, none", [] {}, kOptionUpgrade, true, kOptionShort, shortF,
         {"Unable to find a previous installation to upgrade."}},
        {"upgrade, earlier", [&] { Earlier(); }, kOptionUpgrade, true, kOptionUpgrade, path("Old"), {}},
        {"roaming, nothing", [&] { BlockShort(), DataHome(path("none")); }, kOptionRoaming, false, 0, {},
         {"Roaming will be available in future versions.", noLocal}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        QDir(home()).removeRecursively();
        SetUp();
        c.setup();
        prompts_.asked.clear();
        FolderPick pick;
        EXPECT_EQ(RunChain(c.clicked, nullptr, pick), c.ok);
        if (c.ok) {
            EXPECT_EQ(pick.choice, c.choice);
            EXPECT_EQ(pick.folder, c.folder);
        }
        EXPECT_EQ(prompts_.texts(), c.messages);
        for (const auto& r : prompts_.asked) EXPECT_EQ(r.title, "Vantorel");
    }
}

TEST_F(Options, FolderProposedAtOpening) {
    struct Case {
        const char* name;
        std::function<void()> setup;
        bool ok;
        int choice;
        QString folder;
    } cases[] = {
        {"earlier", [&] { Earlier(), Previous(); }, true, kOptionUpgrade, path("Old")},
        {"previous default", [&] { Previous(); }, true, kOptionUpgrade, places().previousDefault},
        {"short, made at once", [] {}, true, kOptionShort, path("Tarvex")},
        {"local", [&] { BlockShort(); }, true, kOptionLocal, path("none/Quorvane/Vantorel")},
        {"nothing", [&] { BlockShort(), DataHome({}); }, false, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        QDir(home()).removeRecursively();
        SetUp();
        DataHome(path("none"));  // the local folder need not exist to be proposed
        c.setup();
        prompts_.asked.clear();
        FolderPick pick;
        EXPECT_EQ(DefaultFolder(nullptr, pick), c.ok);
        EXPECT_EQ(pick.choice, c.choice);
        EXPECT_EQ(pick.folder, c.folder);
        if (c.choice == kOptionShort) {
            EXPECT_TRUE(QFileInfo(c.folder).isDir());
        }
        EXPECT_EQ(prompts_.texts(), c.ok ? QStringList() : QStringList{"Unable to access a folder to install into."});
    }
}

TEST_F(Options, NextRefusesWhatCannotBeUsed) {
    FakeInstallation(path("plain"));
    ASSERT_EQ(::symlink(path("start").toUtf8().constData(), path("startlink").toUtf8().constData()), 0);
    const QString tooLong = "The Path you Specified is to long.";
    const QString same = "You can not install from the same directory that you are installing to.\n\nPlease select a "
                         "different directory.";
    auto notCreated = [](const QString& f) {
        return "The Path to the Folder you Specified:\n" + f + "\ncould not be created.\n";
    };
    const QString at236 = Long(home(), 236), at234 = Long(home(), 234), under = path("plain/tarvex/x");
    struct Case {
        QString folder;
        bool ok;
        QStringList messages;
    } cases[] = {
        {Long(home(), 237), false, {tooLong}},
        {at236, false, {notCreated(at236), PermissionsText()}},  // the walk does not reach its last level
        {at234, true, {}},
        {path("start/"), false, {same}},
        {path("startlink"), false, {same}},  // the starting folder by another name
        {path("START"), true, {}},           // another folder on a file system that tells case apart
        {"relative/Tarvex", false,
         {"The Path you Specified:\nrelative/Tarvex\ncould not be created because it does not include a valid drive "
          "letter.",
          notCreated("relative/Tarvex"), PermissionsText()}},
        {under, false,
         {"The Path you Specified:\n" + path("plain/tarvex") + "\ncould not be created.", notCreated(under),
          PermissionsText()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        prompts_.asked.clear();
        EXPECT_EQ(CheckTargetFolder(c.folder, path("start"), nullptr), c.ok);
        EXPECT_EQ(prompts_.texts(), c.messages);
    }
    EXPECT_TRUE(QFileInfo(at234).isDir());
    EXPECT_FALSE(PermissionsText().contains("Windows"));
}

TEST_F(Options, DialogLayoutTabOrderAndTips) {
    FolderDialog dialog(SelfPath());
    RunOpen(dialog, [&] {
        const DialogUnits u(dialog.font());
        EXPECT_EQ(dialog.size(), u.rect(0, 0, 306, 166).size());
        EXPECT_EQ(dialog.windowTitle(), "Vantorel Installation");
        EXPECT_EQ(dialog.findChild<QLabel*>()->text(),
                  "Select a Path to the Folder where you want Vantorel to be Installed. If you a not an Admin and/or you "
                  "are not sure what to select, just click the [Next] button...");
        EXPECT_EQ(dialog.option(kOptionShort)->geometry(), u.rect(197, 17, 100, 10));
        EXPECT_EQ(dialog.option(kOptionUpgrade)->geometry(), u.rect(197, 67, 49, 10));
        EXPECT_EQ(dialog.folderField()->geometry(), u.rect(4, 96, 298, 12));
        EXPECT_EQ(dialog.nextButton()->geometry(), u.rect(252, 147, 50, 14));
        // [Next >] ends where the folder field ends: 252 + 50 = 4 + 298 dialog units.
        EXPECT_NEAR(dialog.nextButton()->geometry().right(), dialog.folderField()->geometry().right(), 2);
        EXPECT_EQ(dialog.nextButton()->text(), "   &Next >");
        EXPECT_TRUE(dialog.nextButton()->isDefault());
        EXPECT_TRUE(dialog.folderField()->isReadOnly());
        EXPECT_EQ(dialog.sourceLine()->text(), path("start"));
        EXPECT_EQ(dialog.folderField()->text(), path("Tarvex"));
        EXPECT_EQ(dialog.folderField()->cursorPosition(), path("Tarvex").size());
        EXPECT_TRUE(dialog.option(kOptionShort)->isChecked());
        EXPECT_EQ(dialog.focusWidget(), dialog.nextButton());

        // Tab order: the options, the folder field, [Exit], [Next >].
        QList<QWidget*> chain;
        QWidget* w = dialog.option(kOptionShort);
        for (int i = 0; i < 9; ++i, w = w->nextInFocusChain()) {
            while (!(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
            chain << w;
        }
        QList<QWidget*> expected;
        for (int id = kOptionShort; id <= kOptionUpgrade; ++id) expected << dialog.option(id);
        expected << dialog.folderField() << dialog.exitButton() << dialog.nextButton();
        EXPECT_EQ(chain, expected);

        DelayedTips* tips = dialog.optionTips();
        EXPECT_EQ(tips->maxWidth(), 300);
        EXPECT_EQ(tips->initialDelay(), 100);
        EXPECT_EQ(tips->visibleFor(), 30000);
        EXPECT_EQ(dialog.fieldTips()->maxWidth(), 1500);
        EXPECT_EQ(dialog.fieldTips()->tip(dialog.folderField()), path("Tarvex"));
        EXPECT_TRUE(tips->tip(dialog.option(kOptionShort)).startsWith("Because the path is short and global"));
        EXPECT_TRUE(tips->tip(dialog.option(kOptionLocal)).startsWith("Vantorel will be available for this Username("));
        EXPECT_EQ(tips->tip(dialog.option(kOptionProgramFiles)),
                  "Vantorel will be installed here[" + path("opt") + "/Quorvane/Tarvex]");
        EXPECT_EQ(tips->tip(dialog.option(kOptionUpgrade)), "Upgrade using the same paths as before.");
        EXPECT_EQ(tips->tip(dialog.option(kOptionRoaming)), QString());

        // The mouse resting on an option shows its tip after 100 ms, wrapped at 300 pixels.
        QRadioButton* shortOption = dialog.option(kOptionShort);
        QElapsedTimer resting;
        resting.start(), QTest::mouseMove(shortOption, QPoint(5, 5));
        ASSERT_TRUE(QTest::qWaitFor([&] { return tips->label()->isVisible(); }, 5000));
        EXPECT_GE(resting.elapsed(), 100);
        EXPECT_EQ(tips->label()->text(), tips->tip(shortOption));
        EXPECT_LE(tips->label()->width(), 300);
    });
}

TEST_F(Options, LongEarlierFolderIsShownWholeAndRefused) {
    const QString longFolder = Long(home(), 240);
    FakeInstallation(longFolder);
    app::WriteText(app::kConfigure, "ThisProgramDir", longFolder);
    FolderDialog dialog(SelfPath());
    RunOpen(dialog, [&] {
        EXPECT_EQ(dialog.folderField()->text(), longFolder);
        QTest::mouseClick(dialog.nextButton(), Qt::LeftButton);
        EXPECT_EQ(prompts_.texts(), QStringList{"The Path you Specified is to long."});
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_EQ(app::ReadText(app::kConfigure, "ThisProgramDir"), longFolder);  // nothing written
}

TEST_F(Options, ClickingRoamingChecksWhatItsChainFound) {
    FolderDialog dialog(SelfPath());
    QDir().mkpath(places().previousDefault);  // proposed as an upgrade at opening
    RunOpen(dialog, [&] {
        EXPECT_TRUE(dialog.option(kOptionUpgrade)->isChecked());
        QTest::mouseClick(dialog.option(kOptionRoaming), Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(prompts_.texts(), QStringList{"Roaming will be available in future versions."});
        EXPECT_TRUE(dialog.option(kOptionUpgrade)->isChecked());
        EXPECT_FALSE(dialog.option(kOptionRoaming)->isChecked());
        EXPECT_EQ(dialog.folderField()->text(), places().previousDefault);
        // A refused [Next >] keeps the dialog open.
        dialog.folderField()->setText(path("start"));
        QTest::mouseClick(dialog.nextButton(), Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(prompts_.asked.size(), 2u);
    });
}

TEST(InstallerWindow, ModesAndPicturePlace) {
    struct {
        const char* line;
        Mode mode;
    } modes[] = {{"UnInstall", Mode::UnInstall}, {"uninstall", Mode::UnInstall}, {"UNINSTALL2", Mode::UnInstall2},
                 {"", Mode::Install},            {"UnInstall3", Mode::Install}, {"UnInstall ", Mode::Install}};
    for (const auto& m : modes) EXPECT_EQ(ModeOf(m.line), m.mode) << m.line;
    struct {
        QSize client;
        QPoint origin;
    } places[] = {{{480, 344}, {0, 0}}, {{1280, 900}, {400, 278}}, {{481, 345}, {0, 0}}, {{100, 99}, {-190, -123}}};
    for (const auto& p : places) EXPECT_EQ(InstallerWindow::PictureOrigin(p.client), p.origin);
    InstallerWindow window("", SelfPath());
    EXPECT_EQ(window.picture().size(), QSize(480, 344));
}

class Install : public InstallerHome {
protected:
    // Runs the install command; the folder dialog gets `inDialog` and then a click on [Next >].
    void RunInstall(const std::function<void(FolderDialog&)>& inDialog = {}, const QString& self = SelfPath()) {
        RunInstallCommand(nullptr, [&](QString& folder) {
            FolderDialog dialog(self);
            QTimer::singleShot(0, &dialog, [&] {
                if (inDialog) inDialog(dialog);
                if (dialog.isVisible()) QTest::mouseClick(dialog.nextButton(), Qt::LeftButton);
            });
            if (dialog.run() != QDialog::Accepted) return false;
            folder = dialog.acceptedFolder();
            return true;
        });
    }
};

TEST_F(Install, FirstInstallAndUpgradeThroughTheDialog) {
    const QString folder = path("Tarvex");
    RunInstall();
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].title, "Vantorel, 15.05.01");  // the terms
    EXPECT_EQ(app::ReadText(app::kConfigure, "ThisProgramDir"), folder);
    EXPECT_EQ(app::ReadText(app::kConfigure, "InstallingTheProgram"), "1");
    EXPECT_EQ(app::ReadText(app::kConfigure, "DftFax"), folder + "/Fax/sample.dcx");
    ASSERT_EQ(launcher_.started.size(), 1u);
    EXPECT_EQ(launcher_.started[0].program, folder + "/tarvex");
    EXPECT_EQ(launcher_.started[0].arguments, QStringList{"InstallingTheProgram"});
    EXPECT_EQ(launcher_.started[0].workingFolder, folder + "/Fax");
    EXPECT_EQ(QDir::currentPath(), folder + "/Fax");
    std::vector<int> pauses = {1000};
    pauses.insert(pauses.end(), 10, 128);
    pauses.insert(pauses.end(), {64, 64, 64, 64, 500});
    pauses.insert(pauses.end(), 7, 64);
    pauses.push_back(512);
    EXPECT_EQ(TakePauses(), pauses);
    EXPECT_TRUE(QFileInfo(folder + "/tarvex").isExecutable());
    EXPECT_TRUE(QFileInfo::exists(places().desktop + "/Vantorel.desktop"));

    // Again: the earlier installation is proposed, and the old entries give way to new ones.
    prompts_.asked.clear();
    QDir::setCurrent(path("start"));
    bool upgradeProposed = false;
    RunInstall([&](FolderDialog& d) { upgradeProposed = d.option(kOptionUpgrade)->isChecked(); });
    EXPECT_TRUE(upgradeProposed);
    EXPECT_EQ(prompts_.asked.size(), 1u);  // no "error while creating the group"
    EXPECT_EQ(QDir(places().special(kUserPrograms) + "/Vantorel").entryList(QDir::Files).size(), 5);
    EXPECT_EQ(launcher_.started.size(), 2u);
}

TEST_F(Install, ExitEndsWithTheWarning) {
    RunInstall([](FolderDialog& d) { QTest::mouseClick(d.exitButton(), Qt::LeftButton); });
    ASSERT_EQ(prompts_.asked.size(), 2u);
    EXPECT_EQ(prompts_.asked[1].text, "Conditions Prevented Proper Installation.");
    EXPECT_EQ(prompts_.asked[1].title, "Vantorel Installation");
    EXPECT_EQ(prompts_.asked[1].icon, app::Icon::Warning);
    EXPECT_TRUE(launcher_.started.empty());
    EXPECT_FALSE(QFileInfo::exists(places().desktop + "/Vantorel.desktop"));
}

TEST_F(Install, FailedInstallGivesBackWhatItWroteAndLinksAreNeverWrittenThrough) {
    // The Debian package's launcher links its read-only documents into the folder it keeps.
    const QString folder = path("Tarvex"), doc = path("doc"), gone = path("gone");
    const QStringList docs = {"MANUAL.TXT", "README.TXT"};
    auto linkDocs = [&] { for (const QString& d : docs) QDir().mkpath(folder), QFile::link(doc + "/" + d, folder + "/" + d); };
    const QString missing = "Source File:\n" + gone + "\nis missing!";  // the last step fails
    struct Case {
        const char* name;
        std::function<void()> setup;
        QString self, message;  // message: of the failing step; empty: installed
        int click;  // the option chosen before [Next >]
        QString where; QStringList left;  // afterwards `where` holds `left` ("@": a link), or is gone
    } cases[] = {
        {"a read-only viewer stops step 1", [&] { FakeInstallation(folder), QFile::setPermissions(folder + "/tarvex", QFile::ReadOwner); },
         SelfPath(), "Copying to:\n" + folder + "/tarvex\n", 0, folder, {"tarvex"}},
        {"earlier files and links come back", [&] { FakeInstallation(folder), linkDocs(); }, gone, missing, 0, folder,
         {"MANUAL.TXT@", "README.TXT@", "tarvex"}},
        {"the folders made for it go", [] {}, gone, missing, kOptionLocal, path(".local/share/Quorvane"), {}},
        {"links are replaced by files", linkDocs, SelfPath(), {}, 0, folder,
         {"MANUAL.TXT", "README.TXT", "tarvex", VANTOREL_OCR_ENGINE_FILE, "tarvexhelp.htm", "tarvexinst"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown(), QDir(home()).removeRecursively(), SetUp(), prompts_.asked.clear();
        QDir().mkpath(doc);
        for (const QString& d : docs)
            testing_support::WriteBytes((doc + "/" + d).toStdString(), {'p'}), QFile::setPermissions(doc + "/" + d, QFile::ReadOwner);
        c.setup();
        {
            HonourPermissions honour;
            RunInstall([&](FolderDialog& d) { if (c.click) QTest::mouseClick(d.option(c.click), Qt::LeftButton, {}, QPoint(5, 5)); }, c.self);
        }
        const QStringList texts = prompts_.texts();
        ASSERT_EQ(texts.size(), c.message.isEmpty() ? 1 : 4);
        EXPECT_TRUE(texts.value(1).startsWith(c.message)) << texts.value(1).toStdString();
        EXPECT_EQ(texts.mid(2), (c.message.isEmpty() ? QStringList() : QStringList{PermissionsText(), "Conditions Prevented Proper Installation."}));
        QStringList left;  // backups of the earlier files included
        for (const QFileInfo& e : QDir(c.where).entryInfoList({"*.TXT*", "*tarvex*"}, QDir::AllEntries | QDir::Hidden | QDir::System))
            left << e.fileName() + (e.isSymLink() ? "@" : "");
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(QFileInfo::exists(c.where), !c.left.isEmpty());
        EXPECT_EQ(QFileInfo(folder + "/tarvex").size() == 6, !c.message.isEmpty() && !c.left.isEmpty());  // the earlier one
        for (const QString& d : docs) EXPECT_EQ(testing_support::ReadBytes((doc + "/" + d).toStdString()), testing_support::Bytes{'p'});
        EXPECT_EQ(app::ReadText(app::kConfigure, "ThisProgramDir"), c.message.isEmpty() ? folder : QString());
        EXPECT_EQ(QFileInfo::exists(places().uninstallEntryFile()), c.message.isEmpty());
    }
}

TEST_F(Install, RunningViewerIsClosedAndSavesItsSettings) {
    const QString program = path("program");
    QDir().mkpath(program);
    app::WriteText(app::kConfigure, "ThisProgramDir", program);
    app::WriteText(app::kConfigure, "InstallingTheProgram", "1");
    QProcess viewer;
    viewer.setEnvironment(environment());
    viewer.setWorkingDirectory(program);
    viewer.start(QStringLiteral(VANTOREL_VIEWER), {});
    ASSERT_TRUE(viewer.waitForStarted());
    QElapsedTimer t;
    t.start();
    while (app::ReadUnsigned(app::kHandles, "TransHandle", 0) != viewer.processId() && t.elapsed() < 10000)
        app::PumpWait(20, true);
    ASSERT_EQ(app::ReadUnsigned(app::kHandles, "TransHandle", 0), viewer.processId());

    setPauseHook({});  // real half-second polls
    t.restart();
    CloseRunningViewer(nullptr);
    EXPECT_LT(t.elapsed(), 5500);
    // The polls pump events, so the viewer's end may already have been seen.
    if (viewer.state() != QProcess::NotRunning) {
        EXPECT_TRUE(viewer.waitForFinished(5000));
    }
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(prompts_.texts(),
              QStringList{"Closing [Vantorel] as it can not be running while doing this operation..."});
    EXPECT_EQ(prompts_.asked[0].icon, app::Icon::None);
    EXPECT_EQ(app::ReadText(app::kHandles, "TransHandle"), "0");
    EXPECT_EQ(app::ReadText(app::kConfigure, "InstallingTheProgram"), "0");  // saved as at its exit
    EXPECT_FALSE(app::ReadText(app::kConfigure, "WinCX").isEmpty());
}

TEST_F(Install, ViewerThatNeverAnswersCostsElevenPolls) {
    // No one listens under this handle; a value that goes missing counts as the old one.
    app::WriteText(app::kHandles, "TransHandle", "0x7ffffff0");
    setPauseHook([this](int ms) {
        pauses_.push_back(ms);
        if (pauses_.size() == 3) app::WriteText(app::kHandles, "TransHandle", "");
    });
    CloseRunningViewer(nullptr);
    EXPECT_EQ(TakePauses(), std::vector<int>(11, 500));
    EXPECT_EQ(prompts_.asked.size(), 1u);
    // Nothing running: no message, no wait.
    prompts_.asked.clear();
    app::WriteText(app::kHandles, "TransHandle", "0");
    CloseRunningViewer(nullptr);
    EXPECT_TRUE(TakePauses().empty());
    EXPECT_TRUE(prompts_.asked.empty());
}

// Every dialog of both programs: Enter and Space press the focused push button, else Enter the default.
TEST(DialogKeys, EveryButtonOfEveryDialog) {
    app::ViewerState state;
    std::unique_ptr<QDialog> dialogs[] = {
        std::make_unique<app::ConfigureDialog>(nullptr, state), std::make_unique<app::SelectPaintProgramDialog>(nullptr, state),
        std::make_unique<app::BreakUpDialog>(nullptr, state), std::make_unique<app::BuildFaxDialog>(nullptr, state),
        std::make_unique<app::PrintFaxDialog>(nullptr, state), std::make_unique<app::ViewExportsDialog>(nullptr, "/t", "/p"),
        std::make_unique<FolderDialog>("/self"), std::make_unique<ConfirmDialog>()};
    for (std::unique_ptr<QDialog>& d : dialogs) {
        d->show();
        QPushButton* pressed = nullptr;
        for (QPushButton* b : d->findChildren<QPushButton*>()) {
            QObject::disconnect(b, &QPushButton::clicked, nullptr, nullptr);  // only the keys count
            QObject::connect(b, &QPushButton::clicked, [&pressed, b] { pressed = b; });
        }
        for (QWidget* w : d->findChildren<QWidget*>()) {
            QPushButton* button = qobject_cast<QPushButton*>(w);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
                if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || (!button && key == Qt::Key_Space)) continue;
                pressed = nullptr;
                w->setFocus(Qt::TabFocusReason);  // a key of the user's, to the window
                QTest::keyClick(d->windowHandle(), key);
                EXPECT_TRUE(button ? pressed == button : pressed && pressed->isDefault()) << d->windowTitle().toStdString();
            }
        }
        d.reset();  // a modal one would hold the keys of the next
    }
}
