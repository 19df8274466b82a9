// Start-up without a window, and the texts and registration of a started window.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <QAction>

#include "app/commands.h"
#include "app/viewer_state.h"
#include "main_window_fixture.h"
#include "viewer/wrap_menu_bar.h"

using namespace viewer_test;

TEST(ProgramFolder, ResolvedFromTheSettingOrTheStartFolder) {
    struct Case {
        const char* current;
        const char* setting;
        const char* expected;
    };
    const Case cases[] = {
        {"/home/u/work", "", "/home/u/work"},
        {"/home/u/work/", "", "/home/u/work"},
        {"/", "", "/"},  // started from the root: the root itself
        {"/a", "/opt/Tarvex", "/opt/Tarvex"},
        {"/a", "/opt/Tarvex/ \r\n", "/opt/Tarvex"},
        {"/a", "/opt/Tarvex\\", "/opt/Tarvex"},
        {"/a", "///", "/"},
        {"/a", " \r\n", "/a"},  // nothing but blanks names no folder
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveProgramDir(c.current, c.setting), c.expected) << c.current << " | " << c.setting;
}

TEST(ProgramFolder, FoldersBelowTheRootAndFailuresThatAreNeverSilent) {
    ViewerState root;
    root.programDir = ResolveProgramDir("/", "");
    root.DeriveFolders();
    EXPECT_EQ(QStringList({root.faxDir, root.dataDir, root.accumDir}),
              QStringList({"/Fax", "/Data", "/Data/faxaccum"}));
    Settings s;
    s.Load(root.programDir);
    EXPECT_EQ(s.dftFax, "/sample.dcx");

    TempDir dir;
    WriteBytes(dir.File("file"), {1});
    struct Case {
        QString programDir;
        std::optional<QString> failed;
    };
    const Case cases[] = {
        {Q(dir.File("new/Tarvex")), std::nullopt},
        {Q(dir.File("file/Tarvex")), Q(dir.File("file/Tarvex"))},  // a plain file is in the way
        {"", QString()},                                           // no folder at all
        {"relative", "relative"},
    };
    for (const Case& c : cases) {
        ViewerState st;
        st.programDir = c.programDir;
        st.DeriveFolders();
        EXPECT_EQ(CreateProgramFolders(st), c.failed) << c.programDir.toStdString();
    }
    EXPECT_TRUE(QDir(Q(dir.File("new/Tarvex/Data/faxaccum"))).exists());
}

TEST_F(MainWindowTest, AboutSpeaksOfThisSystem) {
    MainWindow& w = Start();
    Command(cmd::About);
    ASSERT_EQ(prompts_.asked.size(), 1u);
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    // "6.1.0-13-amd64" is version 6.1.0.
    int major = 0, minor = 0, micro = 0;
    std::sscanf(u.release, "%d.%d.%d", &major, &minor, &micro);
    const QString kind = QString::fromLatin1(u.sysname);
    EXPECT_EQ(prompts_.asked[0].text, QStringLiteral("Version: 15.05.01 - %1 Type: %2.%3.%4\n%5")
                                          .arg(kind)
                                          .arg(major)
                                          .arg(minor)
                                          .arg(micro)
                                          .arg(state_.osDescription));
    EXPECT_EQ(prompts_.asked[0].title, "About Vantorel");

    (void)w;
}

TEST_F(MainWindowTest, ViewerThatCannotListenSaysSoAndRegistersNothing) {
    // A socket path longer than a socket address holds cannot be listened on.
    TempDir runtime;
    const std::string deep = runtime.path() + "/" + std::string(120, 'r');
    std::filesystem::create_directories(deep);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(deep));
    testing::internal::CaptureStderr();
    MainWindow& w = Start();
    const std::string err = testing::internal::GetCapturedStderr();
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_NE(err.find("cannot listen on " + deep + "/tarvex-"), std::string::npos) << err;
    EXPECT_TRUE(w.trace().contains("not registered"));
    EXPECT_TRUE(Raw("Handles/TransHandle").isEmpty());
    window_.reset();
    EXPECT_TRUE(Raw("Handles/TransHandle").isEmpty()) << "no 0 written over another viewer's handle";
}
