// Both uninstall stages, the confirmation dialog and the folder remover's refusals.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "installer/installer_env.h"
#include "installer/installer_window.h"
#include "installer/shell_integration.h"
#include "installer/uninstaller.h"
#include "installer_fixture.h"
#include "platform/settings_store.h"

using namespace installer_test;
using namespace inst;

namespace {

class Uninstall : public InstallerHome {
protected:
    // An installed folder with its shortcuts, recorded in the settings as `recorded`.
    QString Installed(const QString& recorded = {}) {
        const QString folder = path("Tarvex");
        FakeInstallation(folder);
        testing_support::WriteBytes((folder + "/tarvexinst").toStdString(), {'i', 'n', 's', 't'});
        QDir().mkpath(folder + "/Fax/deep");
        testing_support::WriteBytes((folder + "/Fax/deep/a.dcx").toStdString(), {1});
        app::WriteText(app::kConfigure, "ThisProgramDir", recorded.isEmpty() ? folder : recorded);
        RunMakingSequence(folder, {});
        TakePauses();
        return folder;
    }
    // Answers the confirmation dialog by clicking `button` once it is open.
    void ClickInConfirmation(bool finish) {
        QTimer::singleShot(50, [finish] {
            auto* dialog = qobject_cast<ConfirmDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->focusWidget(), dialog->cancelButton());
            QTest::mouseClick(finish ? dialog->finishButton() : dialog->cancelButton(), Qt::LeftButton);
        });
    }
};

}  // namespace

TEST_F(Uninstall, FirstStageRelocatesAndStartsTheSecond) {
    const QString folder = Installed(path("Tarvex") + "/ \n");  // trailing separators and blanks are trimmed
    ASSERT_TRUE(RunFirstStage(nullptr));
    const QString relocation = path(".local/share/TEMP/Tarvex");
    EXPECT_EQ(RelocationFolder(), relocation);
    EXPECT_EQ(testing_support::ReadBytes((relocation + "/tarvexinst").toStdString()),
              testing_support::ReadBytes((folder + "/tarvexinst").toStdString()));
    ASSERT_EQ(launcher_.started.size(), 1u);
    EXPECT_EQ(launcher_.started[0].program, relocation + "/tarvexinst");
    EXPECT_EQ(launcher_.started[0].arguments, QStringList{"UnInstall2"});
    EXPECT_EQ(launcher_.started[0].workingFolder, relocation);
    EXPECT_EQ(TakePauses(), std::vector<int>{128});
    EXPECT_TRUE(prompts_.asked.empty());
    EXPECT_TRUE(QFileInfo(folder).isDir());  // nothing removed yet
}

TEST_F(Uninstall, FirstStageStopsWithItsMessages) {
    struct Case {
        const char* name;
        std::function<void()> setup;
        QString message;
        app::Icon icon;
    } cases[] = {
        {"no folder", [] { app::WriteText(app::kConfigure, "ThisProgramDir", "Tarvex"); },
         "Unable to create an uninstall path.", app::Icon::Error},
        {"run twice", [&] { app::WriteText(app::kConfigure, "ThisProgramDir", path("gone")); },
         "Source File:\n" + path("gone") + "/tarvexinst\nis missing!", app::Icon::Error},
        {"a pipe in its place",
         [&] {
             QDir().mkpath(path("pipe"));
             ASSERT_EQ(::mkfifo(path("pipe/tarvexinst").toUtf8().constData(), 0600), 0);
             app::WriteText(app::kConfigure, "ThisProgramDir", path("pipe"));
         },
         "Source File:\n" + path("pipe") + "/tarvexinst\nis missing!", app::Icon::Error},
        {"no local folder",
         [&] {
             Places p = places();
             p.dataHome.clear();
             setPlaces(p);
             Installed();
         },
         "Unable to access a folder to install into.", app::Icon::Information},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts_.asked.clear();
        c.setup();
        EXPECT_FALSE(RunFirstStage(nullptr));
        ASSERT_EQ(prompts_.asked.size(), 1u);
        EXPECT_EQ(prompts_.asked[0].text, c.message);
        EXPECT_EQ(prompts_.asked[0].icon, c.icon);
        EXPECT_TRUE(launcher_.started.empty());
    }
}

TEST_F(Uninstall, SecondStageRemovesFolderAndShortcuts) {
    const QString folder = Installed();
    testing_support::WriteBytes((places().dataHome + "/Trash").toStdString(), {1});  // no trash: removed for good
    // No to the question, or [Cancel] in the dialog: nothing is removed.
    prompts_.answers = {app::No};
    RunUninstallCommand(nullptr);
    prompts_.answers = {app::Yes};
    ClickInConfirmation(false);
    RunUninstallCommand(nullptr);
    EXPECT_TRUE(QFileInfo::exists(folder + "/tarvex"));
    EXPECT_TRUE(QFileInfo::exists(places().desktop + "/Vantorel.desktop"));
    ASSERT_EQ(prompts_.asked.size(), 2u);
    EXPECT_EQ(prompts_.asked[0].text, "Do you really want to UnInstall Vantorel?");
    EXPECT_EQ(prompts_.asked[0].defaultButton, app::No);

    prompts_.asked.clear();
    TakePauses();
    prompts_.answers = {app::Yes};
    ClickInConfirmation(true);
    RunUninstallCommand(nullptr);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(QFileInfo::exists(places().desktop + "/Vantorel.desktop"));
    EXPECT_FALSE(QFileInfo::exists(places().special(kUserPrograms) + "/Vantorel"));
    EXPECT_EQ(prompts_.texts().last(), "Vantorel has been UnInstalled.");
    EXPECT_EQ(TakePauses(), (std::vector<int>{1000, 64, 64, 64, 64, 64}));
}

TEST_F(Uninstall, ConfirmationTextsAndAFolderThatIsGone) {
    const QString folder = Installed(path("Tarvex/"));
    ConfirmDialog dialog;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(dialog.windowTitle(), "Vantorel UnInstall");
        EXPECT_EQ(dialog.explanation()->text(),
                  "You are UnInstalling [Vantorel] from Folder:\n" + folder + "\n\nDoing this will remove folder:\n" +
                      folder + "\nfrom this computer. It will also remove all its sub-folders.\n\nAre you sure you want "
                               "to do this?");
        EXPECT_EQ(dialog.cancelButton()->text(), "&Cancel");
        EXPECT_EQ(dialog.finishButton()->text(), "&Finish");
        dialog.reject();
    });
    EXPECT_EQ(dialog.run(), QDialog::Rejected);

    app::WriteText(app::kConfigure, "ThisProgramDir", path("gone"));
    ConfirmDialog missing;
    EXPECT_EQ(missing.run(), QDialog::Rejected);
    EXPECT_EQ(prompts_.texts(), QStringList{"The installation of Vantorel that you are UnInstalling from:\n" + path("gone") +
                                            "\ncan not be found."});
}

TEST_F(Uninstall, RemoverRefusesWhatIsNotAnInstallation) {
    const QString folder = Installed();
    QDir().mkpath(path("empty"));
    ASSERT_EQ(::symlink(folder.toUtf8().constData(), path("link").toUtf8().constData()), 0);
    const QString parentOfHome = QFileInfo(home()).path();
    FakeInstallation(home());  // even holding a viewer, the home folder is never removed
    for (const QString& refused : {path("empty"), home(), home() + "/", QStringLiteral("/"), parentOfHome, path("link"),
                                   QStringLiteral("Tarvex"), QString()})
        EXPECT_FALSE(RemovalRefusal(refused).isEmpty()) << refused.toStdString();
    EXPECT_EQ(RemovalRefusal(folder), QString());

    // Through the dialog: [Finish] on a refused folder removes nothing and says why.
    app::WriteText(app::kConfigure, "ThisProgramDir", home());
    prompts_.answers = {app::Yes};
    ClickInConfirmation(true);
    RunUninstallCommand(nullptr);
    EXPECT_TRUE(QFileInfo::exists(folder + "/tarvex"));
    EXPECT_TRUE(prompts_.texts().last().startsWith("The folder:\n" + home() + "\nwas not removed because"));
    EXPECT_TRUE(QFileInfo::exists(places().desktop + "/Vantorel.desktop"));
}

TEST_F(Uninstall, RemoverDeletesLinksNotWhatTheyPointTo) {
    const QString folder = Installed();
    const QString outside = path("outside");
    FakeInstallation(outside);
    ASSERT_EQ(::symlink(outside.toUtf8().constData(), (folder + "/Fax/link").toUtf8().constData()), 0);
    ASSERT_EQ(::symlink((outside + "/tarvex").toUtf8().constData(), (folder + "/filelink").toUtf8().constData()), 0);
    ASSERT_EQ(::symlink(path("nowhere").toUtf8().constData(), (folder + "/dangling").toUtf8().constData()), 0);
    EXPECT_TRUE(RemoveFolderTree(folder));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(testing_support::ReadBytes((outside + "/tarvex").toStdString()).size(), 6u);

    // A folder whose name starts with a dot stays, so its parent stays too; the rest goes.
    const QString again = Installed();
    QDir().mkpath(again + "/.keep");
    EXPECT_FALSE(RemoveFolderTree(again));
    EXPECT_EQ(QDir(again).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{".keep"});
}

TEST_F(Uninstall, AsAUserDoesItFaxesGoToTheTrashAndNothingPointsAtTheFolder) {
    QString before, after;
    ASSERT_EQ(Shell("xdg-mime query default image/x-dcx", &before), 0);  // what this machine offers without us
    const QString folder = Installed(), fax = folder + "/Fax/sample.dcx", apps = places().special(kUserPrograms);
    RecordingView view;
    ASSERT_TRUE(WritePayload(view, folder, SelfPath()));
    WriteRegistrations(folder + "/");  // as the folder field shows it
    // xdg-open on a plain window manager starts the installed viewer on the fax, which keeps it as DftFax.
    Shell("(DISPLAY=:97 xdg-open " + fax + "; echo $? >x && mv x opened) >/dev/null 2>&1 &");  // in the start folder
    for (int i = 0; i < 1000 && !app::ReadSigned(app::kHandles, "TransHandle", 0); ++i) QTest::qWait(20);
    CloseRunningViewer(nullptr);
    for (int i = 0; i < 1000 && !QFileInfo::exists(path("start/opened")); ++i) QTest::qWait(20);
    EXPECT_EQ(testing_support::ReadBytes(path("start/opened").toStdString()), (testing_support::Bytes{'0', '\n'}));
    EXPECT_EQ(app::ReadText(app::kConfigure, "DftFax"), fax);
    // What an earlier version left: its entry for this folder under the package's name.
    Shell("printf '[Desktop Entry]\\nExec=\"%s/tarvex\" %%f\\n' " + folder + " >" + apps + "/tarvex.desktop");
    app::WriteText(app::kConfigure, "PaintProgram", "/usr/bin/mtpaint");
    ASSERT_TRUE(RunFirstStage(nullptr));
    prompts_.answers = {app::Yes};
    ClickInConfirmation(true);
    InstallerWindow(QStringLiteral("UnInstall2"), launcher_.started.back().program).run();
    EXPECT_EQ(prompts_.texts().last(), "Vantorel has been UnInstalled.");
    const QString trash = places().dataHome + "/Trash";
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(testing_support::ReadBytes((trash + "/files/Tarvex/Fax/deep/a.dcx").toStdString()), testing_support::Bytes{1});
    EXPECT_TRUE(QSettings(trash + "/info/Tarvex.trashinfo", QSettings::IniFormat).value("Trash Info/Path") == folder);
    ASSERT_EQ(Shell("xdg-mime query default image/x-dcx", &after), 0);
    EXPECT_EQ(after, before);
    for (const QString& gone : {apps + "/com.quorvane.tarvexinst.Viewer.desktop", apps + "/tarvex.desktop",
                                RelocationFolder(), places().dataHome + "/icons/hicolor/64x64/apps/com.quorvane.tarvexinst.Viewer.png"})
        EXPECT_FALSE(QFileInfo::exists(gone)) << gone.toStdString();
    EXPECT_EQ(app::ReadText(app::kConfigure, "ThisProgramDir") + app::ReadText(app::kConfigure, "DftFax"), QString());
    EXPECT_EQ(app::ReadText(app::kConfigure, "PaintProgram"), "/usr/bin/mtpaint");  // the rest stays
    EXPECT_TRUE(QSettings(places().uninstallEntryFile(), QSettings::IniFormat).childGroups().isEmpty());
}
