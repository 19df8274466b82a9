// The folder creator, the payload steps, the timed copy and the resource writer.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "installer/installer_env.h"
#include "installer/payload.h"
#include "installer/resource_file.h"
#include "installer_fixture.h"

using namespace installer_test;
using testing_support::ReadBytes;

namespace {

class FolderCreator : public InstallerHome {};
class Payload : public InstallerHome {};

// `base` followed by levels of nine characters and a last level, `length` characters in all.
QString PathOfLength(const QString& base, int length) {
    QString p = base;
    while (p.size() + 12 < length) p += QStringLiteral("/level9xxx").left(10);
    p += QLatin1Char('/');
    p += QString(length - p.size(), QLatin1Char('z'));
    return p;
}

std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

TEST_F(FolderCreator, CreatesEveryLevelOrSaysWhichFailed) {
    FakeInstallation(path("plain"));  // makes the folder "plain"
    QFile file(path("plain/file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case {
        QString path;
        bool ok;
        QString message;  // empty: none
        QString made;     // a folder that must exist afterwards
    } cases[] = {
        {path("a/b/c"), true, {}, path("a/b/c")},
        {path("a/b/c/"), true, {}, path("a/b/c")},  // trailing separators are trimmed
        {QStringLiteral("relative/x"), false,
         "The Path you Specified:\nrelative/x\ncould not be created because it does not include a valid drive letter.",
         {}},
        {path("plain/file/deeper"), false, "The Path you Specified:\n" + path("plain/file") + "\ncould not be created.", {}},
        // The walk covers 234 characters: at 234 the last level is made, at 235 it is not, yet both succeed.
        {PathOfLength(home(), 234), true, {}, PathOfLength(home(), 234)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(S(c.path));
        prompts_.asked.clear();
        EXPECT_EQ(inst::CreateFolderPath(c.path, nullptr, true), c.ok);
        EXPECT_EQ(prompts_.texts().join("|"), c.message);
        for (const auto& r : prompts_.asked) EXPECT_EQ(r.title, "Vantorel");
        EXPECT_TRUE(c.made.isEmpty() || QFileInfo(c.made).isDir());
        EXPECT_EQ(QDir::currentPath(), path("start"));  // the current folder is given back
    }
    const QString p235 = PathOfLength(home(), 235);
    ASSERT_EQ(p235.size(), 235);
    EXPECT_TRUE(inst::CreateFolderPath(p235, nullptr, true));
    EXPECT_FALSE(QFileInfo::exists(p235));
    EXPECT_TRUE(QFileInfo(QFileInfo(p235).path()).isDir());
    // Without reporting nothing is shown.
    prompts_.asked.clear();
    EXPECT_FALSE(inst::CreateFolderPath(QStringLiteral("x/y"), nullptr, false));
    EXPECT_TRUE(prompts_.asked.empty());
}

TEST(PayloadBar, LengthsOfTheTenSteps) {
    const int expected[] = {13, 27, 40, 54, 68, 81, 95, 108, 122, 136};
    for (int step = 1; step <= 10; ++step) EXPECT_EQ(inst::BarLength(step), expected[step - 1]) << step;
}

TEST_F(Payload, FirstInstallWritesEveryFileInOrder) {
    const QString folder = path("Tarvex");
    QDir().mkpath(folder);
    // The installer's own file gets an old time, which the copy must carry.
    const QString self = path("self-installer");
    ASSERT_TRUE(QFile::copy(SelfPath(), self));
    const struct timespec old[2] = {{1000000000, 0}, {1234567890, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, self.toUtf8().constData(), old, 0), 0);

    RecordingView view;
    ASSERT_TRUE(inst::WritePayload(view, folder, self));
    EXPECT_TRUE(prompts_.asked.empty());

    // Each file against where the build took it from, not against the embedded copy.
    const QString help = QStringLiteral(VANTOREL_HELP_DIR);
    const QString src = Q(testing_support::SourceDir());
    struct File {
        const char* name;
        QString source;
    } files[] = {
        {"tarvex", QStringLiteral(VANTOREL_VIEWER)},
        {VANTOREL_OCR_ENGINE_FILE, QStringLiteral(VANTOREL_OCR_ENGINE_MODULE)},  // with the viewer, in step 1
        {"tarvexhelp.htm", help + "/tarvexhelp.htm"},
        {"README.TXT", help + "/README.TXT"},
        {"README.png", src + "/resources/installer/README.png"},
        {"MANUAL.TXT", help + "/MANUAL.TXT"},
        {"MANUAL.png", src + "/resources/installer/MANUAL.png"},
        {"UNINSTL.png", src + "/resources/installer/UNINSTL.png"},
        {"Fax/sample.dcx", src + "/resources/samples/sample.dcx"},
        {"Fax/deskof.pcx", src + "/resources/samples/deskof.pcx"},
        {"tarvexinst", self},
    };
    QStringList destinations;
    for (const File& f : files) {
        SCOPED_TRACE(f.name);
        const QString dest = folder + "/" + f.name;
        destinations << dest;
        const auto bytes = ReadBytes(S(dest));
        EXPECT_FALSE(bytes.empty());
        EXPECT_TRUE(bytes == ReadBytes(S(f.source)));
    }
    EXPECT_TRUE(QFileInfo(folder + "/tarvex").isExecutable());
    EXPECT_TRUE(QFileInfo(folder + "/tarvexinst").isExecutable());
    EXPECT_EQ(QFileInfo(folder + "/tarvexinst").lastModified().toSecsSinceEpoch(), 1234567890);

    QStringList bars;
    for (int step = 1; step <= 10; ++step) bars << QString(inst::BarLength(step), '|');
    EXPECT_EQ(view.bars, bars);
    EXPECT_EQ(view.destinations, destinations.mid(0, 10));  // the timed copy of step 10 shows nothing
    EXPECT_EQ(view.sources, QStringList(10, QStringLiteral("embedded data")));
    EXPECT_EQ(TakePauses(), std::vector<int>(10, 128));
}

TEST_F(Payload, ReinstallRewritesAndAReadOnlyFileStopsOnlyResourceSteps) {
    const QString folder = path("Tarvex");
    QDir().mkpath(folder + "/Fax");
    // Another file of the Fax folder stays; a changed sample is rewritten.
    testing_support::WriteBytes(S(folder + "/Fax/mine.dcx"), {1, 2, 3});
    testing_support::WriteBytes(S(folder + "/Fax/sample.dcx"), {9});
    // A read-only installer copy is made writable and replaced.
    testing_support::WriteBytes(S(folder + "/tarvexinst"), {7});
    QFile::setPermissions(folder + "/tarvexinst", QFile::ReadOwner);
    RecordingView view;
    {
        HonourPermissions honour;
        ASSERT_TRUE(inst::WritePayload(view, folder, SelfPath()));
    }
    EXPECT_EQ(ReadBytes(S(folder + "/Fax/mine.dcx")), (testing_support::Bytes{1, 2, 3}));
    EXPECT_TRUE(ReadBytes(S(folder + "/Fax/sample.dcx")) ==
                ReadBytes(testing_support::SourceDir() + "/resources/samples/sample.dcx"));
    EXPECT_TRUE(ReadBytes(S(folder + "/tarvexinst")) == ReadBytes(S(SelfPath())));
    // Step 10 fell back to the plain copy, which shows its source.
    EXPECT_EQ(view.sources.back(), SelfPath());
    EXPECT_EQ(view.destinations.back(), folder + "/tarvexinst");

    // A read-only resource file is not made writable: its step fails with the copying-to message.
    QFile::setPermissions(folder + "/README.TXT", QFile::ReadOwner);
    RecordingView again;
    {
        HonourPermissions honour;
        EXPECT_FALSE(inst::WritePayload(again, folder, SelfPath()));
    }
    const QString dest = folder + "/README.TXT";
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].title, "Vantorel Installation");
    EXPECT_EQ(prompts_.asked[0].icon, app::Icon::Error);
    EXPECT_EQ(prompts_.asked[0].text, "Copying to:\n" + dest + "\nThe file could not be copied.\n\no Is " + dest +
                                          " in use?\no Is your disk full?\n");
    EXPECT_EQ(again.bars.size(), 3);  // stopped at step 3
}

TEST_F(Payload, InstallerRunFromItsTargetFolderStaysInPlace) {
    const QString folder = path("Tarvex");
    QDir().mkpath(folder);
    const QString self = folder + "/tarvexinst";
    ASSERT_TRUE(QFile::copy(SelfPath(), self));
    const auto before = ReadBytes(S(self));
    RecordingView view;
    EXPECT_TRUE(inst::WritePayload(view, folder, self));
    EXPECT_TRUE(ReadBytes(S(self)) == before);
    // Neither copy empties or deletes a file that is its own destination.
    EXPECT_FALSE(inst::TimedCopy(self, folder + "/./tarvexinst", true));
    EXPECT_TRUE(inst::ReplaceByCopy(self, folder + "/../Tarvex/tarvexinst", nullptr));
    EXPECT_TRUE(ReadBytes(S(self)) == before);
    EXPECT_TRUE(prompts_.asked.empty());
}

TEST_F(Payload, PlainCopyOfAMissingSourceAndAnUnwritableDestination) {
    RecordingView view;
    EXPECT_FALSE(inst::PayloadStep(view, 0, path("out"), path("gone")));
    EXPECT_FALSE(inst::PayloadStep(view, 0, path("no/such/folder/out"), SelfPath()));
    ASSERT_EQ(prompts_.asked.size(), 2u);
    EXPECT_EQ(prompts_.asked[0].text, "Source File:\n" + path("gone") + "\nis missing!");
    const QString d = path("no/such/folder/out");
    EXPECT_EQ(prompts_.asked[1].text, "Copying from:\n" + SelfPath() + "\nCopying to:\n" + d +
                                          "\nThe file could not be copied.\n\no Is " + d +
                                          " in use?\no Is your disk full?\no You may have specified an invalid "
                                          "destination.\n");
}

TEST_F(Payload, TimedCopyAroundTheBufferSize) {
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(8191), std::size_t(8192), std::size_t(8193),
                             std::size_t(3 * 8192 + 5)}) {
        SCOPED_TRACE(size);
        testing_support::Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + size);
        testing_support::WriteBytes(S(path("src")), bytes);
        const struct timespec t[2] = {{5, 0}, {1500000000, 250}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path("src").toUtf8().constData(), t, 0), 0);
        ASSERT_TRUE(inst::TimedCopy(path("src"), path("dst"), true));
        EXPECT_EQ(ReadBytes(S(path("dst"))), bytes);
        struct stat st {};
        ASSERT_EQ(::stat(path("dst").toUtf8().constData(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
        EXPECT_EQ(st.st_mtim.tv_nsec, 250);
    }
    EXPECT_TRUE(TakePauses().empty());
    EXPECT_TRUE(prompts_.asked.empty());  // never a message of its own
}

TEST_F(Payload, TimedCopyGivesUpAfterFiftyOpenAttempts) {
    EXPECT_FALSE(inst::TimedCopy(path("missing"), path("dst"), true));
    EXPECT_EQ(TakePauses(), std::vector<int>(49, 100));  // 50 attempts, a pause between each
    EXPECT_FALSE(QFileInfo::exists(path("dst")));
    // A pipe or device is not a file to copy.
    EXPECT_FALSE(inst::TimedCopy(QStringLiteral("/dev/zero"), path("dst"), false));
    EXPECT_TRUE(prompts_.asked.empty());
}

TEST_F(Payload, ResourceWriterFailures) {
    // No such resource: silent failure, nothing created.
    EXPECT_FALSE(inst::WriteResourceFile(999, path("x"), nullptr));
    EXPECT_FALSE(QFileInfo::exists(path("x")));
    // A file that cannot be created: silent.
    EXPECT_FALSE(inst::WriteResourceFile(132, path("none/x"), nullptr));
    EXPECT_TRUE(prompts_.asked.empty());
    // A pipe or a device is refused before anything is written: nothing waits for a reader.
    ASSERT_EQ(::mkfifo(path("pipe").toUtf8().constData(), 0600), 0);
    EXPECT_FALSE(inst::WriteResourceFile(137, path("pipe"), nullptr));
    EXPECT_FALSE(inst::WriteResourceFile(137, QStringLiteral("/dev/full"), nullptr));
    EXPECT_FALSE(inst::TimedCopy(SelfPath(), path("pipe"), false));
    EXPECT_TRUE(prompts_.asked.empty());
    // A file that may not grow past 4 KiB: the short write of the sample fax is reported.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const struct rlimit small = {4096, old.rlim_max};
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = inst::WriteResourceFile(137, path("big"), nullptr);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_FALSE(QFileInfo::exists(path("big"))) << "the part written is not left under the name";
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].text, "Could not save [email addresses to send to] file:\n" + path("big") + "\nCheck hard-drive.");
    EXPECT_EQ(prompts_.asked[0].title, "Vantorel");
    EXPECT_EQ(prompts_.asked[0].icon, app::Icon::Error);
}
