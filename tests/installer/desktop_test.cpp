// The desktop integration: uninstall entry, file types, launcher, menu group, and removal.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "installer/installer_env.h"
#include "installer/shell_integration.h"
#include "installer_fixture.h"

using namespace installer_test;

namespace {

class Desktop : public InstallerHome {
protected:
    QString Read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString Apps() const { return inst::places().special(inst::kUserPrograms); }
    QStringList EntriesOf(const QString& folder) {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
};

const QString kEntry = "com.quorvane.tarvexinst.Viewer.desktop";
const QStringList kGroupFiles = {"Help.desktop", "Manual.desktop", "Read Me.desktop", "UnInstall.desktop",
                                 "Vantorel.desktop"};

}  // namespace

TEST(DesktopExec, QuotingOfProgramPaths) {
    // Quoted only where a reserved character stands; a percent sign is always doubled.
    struct Case {
        QString program, arguments, exec;
    } cases[] = {
        {"/opt/Tarvex/tarvex", "%f", "/opt/Tarvex/tarvex %f"},
        {"/opt/100%/t_-.,+@:", {}, "/opt/100%%/t_-.,+@:"},
        {"/home/a b/Tarvex/tarvex", {}, "\"/home/a b/Tarvex/tarvex\""},
        {"/x/~a", {}, "\"/x/~a\""},
        {"/x/$HOME`q`\"/100%/t\\v", "UnInstall", "\"/x/\\$HOME\\`q\\`\\\"/100%%/t\\\\v\" UnInstall"},
    };
    for (const Case& c : cases) EXPECT_EQ(inst::ExecLine(c.program, c.arguments), c.exec);
    // A folder shown with a trailing separator gives a doubled one in the open command.
    EXPECT_EQ(inst::OpenCommand("/opt/Tarvex/"), "/opt/Tarvex//tarvex %f");
}

TEST(DesktopMimeApps, DefaultsSetAndOtherLinesKept) {
    const QStringList types = {"image/x-dcx", "image/vnd.zbrush.pcx"};
    struct Case {
        QString before, after;
    } cases[] = {
        {"",
         "[Default Applications]\nimage/x-dcx=tarvex.desktop\nimage/vnd.zbrush.pcx=tarvex.desktop\n"
         "[Added Associations]\nimage/x-dcx=tarvex.desktop;\nimage/vnd.zbrush.pcx=tarvex.desktop;\n"},
        {"# mine\n[Default Applications]\ntext/plain=gedit.desktop\nimage/x-dcx=old.desktop\n\n[Added Associations]\n"
         "image/vnd.zbrush.pcx=gimp.desktop;tarvex.desktop;\n[Removed Associations]\nimage/png=eog.desktop;\n",
         "# mine\n[Default Applications]\ntext/plain=gedit.desktop\nimage/x-dcx=tarvex.desktop\n"
         "image/vnd.zbrush.pcx=tarvex.desktop\n\n[Added Associations]\nimage/vnd.zbrush.pcx=tarvex.desktop;gimp.desktop;\n"
         "image/x-dcx=tarvex.desktop;\n[Removed Associations]\nimage/png=eog.desktop;\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(inst::WithDefaultApplication(c.before, types, "tarvex.desktop"), c.after);
}

TEST_F(Desktop, RegistrationsAndGroupAreValidAndFindable) {
    const QString folder = path("Tarvex");
    FakeInstallation(folder);
    QFile old(inst::places().configHome + "/mimeapps.list");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[Default Applications]\ntext/plain=gedit.desktop\n");
    old.close();

    inst::WriteRegistrations(folder + "/");  // as shown, with a trailing separator
    int desktopMade = 0;
    EXPECT_TRUE(inst::RunMakingSequence(folder, [&] { ++desktopMade; }));
    EXPECT_EQ(desktopMade, 1);
    EXPECT_EQ(TakePauses(), std::vector<int>(7, 64));

    // The uninstall entry, with the trimmed folder.
    QSettings entry(inst::places().uninstallEntryFile(), QSettings::IniFormat);
    entry.beginGroup("Vantorel");
    EXPECT_EQ(entry.value("DisplayName").toString(), "Vantorel");
    EXPECT_EQ(entry.value("UninstallString").toString(), "\"" + folder + "/tarvexinst\" UnInstall");
    EXPECT_EQ(entry.value("InstallLoaction").toString(), folder);
    EXPECT_EQ(entry.value("Publisher").toString(), "Quorvane");
    EXPECT_TRUE(entry.value("URLInfoAbout").toString().startsWith("https://"));
    EXPECT_TRUE(entry.value("URLUpdateInfo").toString().startsWith("https://"));

    // Every entry passes the desktop's validator.
    QStringList entries = {Apps() + "/" + kEntry, inst::places().desktop + "/Vantorel.desktop",
                           inst::places().dataHome + "/desktop-directories/vantorel.directory"};
    for (const QString& f : kGroupFiles) entries << Apps() + "/Vantorel/" + f;
    for (const QString& e : entries) {
        QString out;
        EXPECT_EQ(Shell("desktop-file-validate '" + e + "'", &out), 0) << e.toStdString() << "\n" << out.toStdString();
        EXPECT_FALSE(out.contains("error")) << out.toStdString();
        // Its icon is the product's own, in the user's hicolor theme.
        const QString icon = QSettings(e, QSettings::IniFormat).value("Desktop Entry/Icon").toString();
        EXPECT_TRUE(icon == "text-html" || QDirIterator(inst::places().dataHome + "/icons/hicolor", {icon + ".png"},
                                                        QDir::Files, QDirIterator::Subdirectories).hasNext()) << icon.toStdString();
    }
    EXPECT_EQ(EntriesOf(Apps() + "/Vantorel"), kGroupFiles);
    EXPECT_FALSE(QFileInfo::exists(folder + "/tmp"));
    EXPECT_TRUE(Read(Apps() + "/" + kEntry).contains("Exec=" + folder + "//tarvex %f\n"));
    EXPECT_TRUE(Read(Apps() + "/Vantorel/UnInstall.desktop").contains("Exec=" + folder + "/tarvexinst UnInstall\n"));
    EXPECT_TRUE(Read(Apps() + "/Vantorel/Read Me.desktop").contains("Exec=xdg-open " + folder + "/README.TXT\n"));
    EXPECT_TRUE(QFileInfo(inst::places().desktop + "/Vantorel.desktop").isExecutable());
    const QString menu = Read(inst::places().configHome + "/menus/applications-merged/vantorel.menu");
    for (const QString& f : kGroupFiles) EXPECT_TRUE(menu.contains("<Filename>Vantorel-" + f + "</Filename>"));
    EXPECT_TRUE(menu.contains("<Directory>vantorel.directory</Directory>"));
    EXPECT_TRUE(Read(inst::places().configHome + "/mimeapps.list").startsWith("[Default Applications]\ntext/plain=gedit.desktop\n"));

    // The desktop's own tools see the types and the default program.
    QString out;
    EXPECT_EQ(Shell("xdg-mime query default image/x-dcx", &out), 0);
    EXPECT_EQ(out, kEntry);  // never the Debian package's tarvex.desktop
    EXPECT_EQ(Shell("xdg-mime query default image/vnd.zbrush.pcx", &out), 0);
    EXPECT_EQ(out, kEntry);
    // A file named otherwise is still a DCX by its magic number (987654321, little-endian).
    testing_support::WriteBytes(path("fax.bin").toStdString(), {0xB1, 0x68, 0xDE, 0x3A, 0, 0, 0, 0});
    EXPECT_EQ(Shell("xdg-mime query filetype '" + path("fax.bin") + "'", &out), 0);
    EXPECT_EQ(out, "image/x-dcx");
    EXPECT_TRUE(prompts_.asked.empty());
}

TEST_F(Desktop, LeftoverEntryFailsItsStepAndRemovalClearsEveryPlace) {
    const QString folder = path("Tarvex");
    FakeInstallation(folder);
    // An entry the removal could not take stays, and its making step fails: nothing is replaced.
    QDir().mkpath(Apps() + "/Vantorel");
    QFile left(Apps() + "/Vantorel/UnInstall.desktop");
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.write("old");
    left.close();
    EXPECT_FALSE(inst::RunMakingSequence(folder, {}));
    EXPECT_EQ(Read(Apps() + "/Vantorel/UnInstall.desktop"), "old");
    EXPECT_TRUE(QFileInfo::exists(folder + "/tmp"));  // the saved entry that could not be moved

    // Startup entries and an all-users group, as earlier versions may have left them.
    for (const QString& f : {inst::places().configHome + "/autostart/Vantorel.desktop",
                             inst::places().allUsersStartup + "/Vantorel.desktop",
                             inst::places().allUsersPrograms + "/Vantorel/Vantorel.desktop"}) {
        QDir().mkpath(QFileInfo(f).path());
        QFile e(f);
        ASSERT_TRUE(e.open(QIODevice::WriteOnly));
    }
    TakePauses();
    inst::RunRemovalSequence(500);
    EXPECT_EQ(TakePauses(), (std::vector<int>{64, 64, 64, 64, 500}));
    for (const QString& gone : {inst::places().configHome + "/autostart/Vantorel.desktop",
                                inst::places().allUsersStartup + "/Vantorel.desktop",
                                inst::places().allUsersPrograms + "/Vantorel", inst::places().desktop + "/Vantorel.desktop",
                                Apps() + "/Vantorel", inst::places().configHome + "/menus/applications-merged/vantorel.menu",
                                inst::places().dataHome + "/desktop-directories/vantorel.directory"})
        EXPECT_FALSE(QFileInfo::exists(gone)) << gone.toStdString();
    // Now the group can be made again.
    EXPECT_TRUE(inst::RunMakingSequence(folder, {}));

    // A group holding a folder cannot be removed; the rest of its files go.
    QDir().mkpath(Apps() + "/Vantorel/sub");
    EXPECT_FALSE(inst::RemoveShortcut(inst::kUserPrograms, "Vantorel", true));
    EXPECT_EQ(EntriesOf(Apps() + "/Vantorel"), QStringList());
}
