#include "viewer/file_commands.h"
#include "app/file_copy.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/fax_host.h"
#include "app/viewer_state.h"
#include "formats/file_io.h"
#include "platform/scripted_prompts.h"
#include "support/test_files.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const QString kFv1 = QStringLiteral(
    "FV1, The whole file could not be copied from::\n%1\ncould not be copied to:\n%2\n\n"
    "You may have specified an invalid path or filename.\n\nIs your disk full?");
const QString kSame = QStringLiteral("Can not Copy:\n%1\nto:\n%2\nbecause they are the same.");
const QString kNotAFax = QStringLiteral(
    "\nIs not a valid DCX or PCX fax file. To learn how to convert any file into a fax file, click "
    "[Tools], [Create Fax] and [Sending a Fax Directly from an Application].\n\nMessage(");

// The main window as the commands see it: records what they ask of it, and shows a
// file only when it can really be opened, noting what it held at that moment.
class FakeHost : public app::FaxHost {
public:
    app::ViewerState st;
    std::vector<std::string> calls;
    std::function<void()> onRelease;  // runs while the fax is released, before the file work
    Bytes shownBytes;

    QWidget* window() override { return nullptr; }
    app::ViewerState& state() override { return st; }
    void releaseFax() override {
        calls.push_back("release");
        if (onRelease) onRelease();
    }
    bool showNewFile(const QString& path) override {
        calls.push_back("show " + path.toStdString());
        if (!fax::File::OpenRead(path.toStdString())) return false;
        shownBytes = ReadBytes(path.toStdString());
        st.currentFax = path;
        return true;
    }
    void setPlainTitle() override { calls.push_back("title"); }
};

using Calls = std::vector<std::string>;

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

Bytes TwoPageFax(unsigned seed) {
    return MakeDcx({MakePcx(PatternPage(216, 120, seed), 216), MakePcx(PatternPage(216, 80, seed + 1), 216)});
}

// Writes beyond `bytes` fail with EFBIG for this process: a full disk, even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = saved_;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.st.programDir = Q(dir.path());
        host.st.DeriveFolders();
        fs::create_directories(host.st.faxDir.toStdString());
        fs::create_directories(dir.File("other"));
        source = dir.File("Fax/letter.dcx");
        sourceBytes = TwoPageFax(3);
        WriteBytes(source, sourceBytes);
        host.st.currentFax = Q(source);
    }

    // Runs Copy or MoveAs with the two dialogs answered by `from` and `to`.
    void transfer(bool move, const std::string& from, const std::string& to) {
        prompts.files = {Q(from), Q(to)};
        move ? commands.moveAs() : commands.copy();
    }

    TempDir dir;
    FakeHost host;
    app::ScriptedPrompts prompts;
    app::FileCommands commands{host};
    std::string source;
    Bytes sourceBytes;
};

TEST_F(FileCommandsTest, DialogsAreSetUpForFaxes) {
    const QString folder = host.st.faxDir;
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<std::string> titles;
        std::vector<bool> save;
        std::vector<QString> presets;
    };
    std::vector<Case> cases = {
        {"open", [&] { commands.open(); }, {"Select Fax"}, {false}, {""}},
        {"copy", [&] { commands.copy(); }, {"Copy Fax From", "Copy Fax To"}, {false, true}, {Q(source), ""}},
        {"move", [&] { commands.moveAs(); }, {"Move Fax From", "Move Fax To"}, {false, true}, {Q(source), ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.dialogs.clear();
        prompts.asked.clear();
        host.calls.clear();
        host.st.currentFax = Q(source);
        // The first dialog answers with the source, the second is cancelled.
        prompts.files = {c.titles.size() > 1 ? Q(source) : QString()};
        c.run();
        ASSERT_EQ(prompts.dialogs.size(), c.titles.size());
        for (std::size_t i = 0; i < c.titles.size(); ++i) {
            const auto& d = prompts.dialogs[i];
            EXPECT_EQ(d.spec.title.toStdString(), c.titles[i]);
            EXPECT_EQ(d.save, c.save[i]);
            EXPECT_EQ(d.spec.fileName, c.presets[i]);
            EXPECT_EQ(d.spec.startFolder, folder);
            EXPECT_EQ(d.spec.filters, app::FaxFileFilters());
            EXPECT_EQ(d.spec.defaultSuffix, QStringLiteral("dcx"));
        }
        EXPECT_TRUE(prompts.asked.empty());
        EXPECT_TRUE(host.calls.empty());
    }
    EXPECT_EQ(app::FaxFileFilters().first(), QStringLiteral("Fax (*.dcx *.DCX)"));

    // A fax in another folder: the dialogs start there.
    std::string elsewhere = dir.File("other/memo.pcx");
    WriteBytes(elsewhere, MakePcx(PatternPage(216, 40, 9), 216));
    host.st.currentFax = Q(elsewhere);
    prompts.dialogs.clear();
    commands.copy();
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].spec.startFolder, Q(dir.File("other")));
    EXPECT_EQ(prompts.dialogs[0].spec.fileName, Q(elsewhere));

    // A default fax that is gone is forgotten before the dialog: start in FaxDir, no preset.
    host.st.currentFax = Q(dir.File("other/gone.dcx"));
    prompts.dialogs.clear();
    commands.moveAs();
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].spec.startFolder, folder);
    EXPECT_TRUE(prompts.dialogs[0].spec.fileName.isEmpty());
    EXPECT_TRUE(host.st.currentFax.isEmpty());
}

TEST_F(FileCommandsTest, OpenChecksTheFileFirst) {
    struct Case {
        std::string name;
        Bytes bytes;
        std::string message;  // empty: accepted
    };
    Bytes pcx = MakePcx(PatternPage(216, 30, 5), 216);
    std::vector<Case> cases = {
        {"fax.tif", pcx, kNotAFax.toStdString() + "1)"},
        {"short.pcx", Bytes(100, 0x0A), kNotAFax.toStdString() + "4)"},
        {"junk.DCX", Bytes(300, 0x42), kNotAFax.toStdString() + "5)"},
        {"report.pcx.txt", pcx, ""},
        {"FAX.DCX", TwoPageFax(7), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.File("other/" + c.name);
        WriteBytes(path, c.bytes);
        host.calls.clear();
        prompts.asked.clear();
        host.st.currentFax = Q(source);
        prompts.files = {Q(path)};
        commands.open();
        if (c.message.empty()) {
            EXPECT_TRUE(prompts.asked.empty());
            EXPECT_EQ(host.calls, Calls{"show " + path});
            EXPECT_EQ(host.st.currentFax, Q(path));
        } else {
            ASSERT_EQ(prompts.asked.size(), 1u);
            const auto& r = prompts.asked[0];
            EXPECT_EQ(r.title, QStringLiteral("Vantorel"));
            EXPECT_EQ(r.text.toStdString(), path + c.message);
            EXPECT_EQ(r.icon, app::Icon::None);
            EXPECT_EQ(r.buttons, app::Buttons{app::Ok});
            EXPECT_TRUE(host.calls.empty());  // the current fax stays shown
            EXPECT_EQ(host.st.currentFax, Q(source));
        }
    }
    // A chosen file that vanished before the check.
    std::string gone = dir.File("other/gone.dcx");
    prompts.asked.clear();
    prompts.files = {Q(gone)};
    commands.open();
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text.toStdString(),
              "Can not access:\n" + gone + "\n\nIs it open in another program?\n\nMessage(2)");
}

TEST_F(FileCommandsTest, SameFileIsRefusedWhateverItsSpelling) {
    std::string hardLink = dir.File("other/hard.dcx");
    ASSERT_EQ(::link(source.c_str(), hardLink.c_str()), 0);
    std::string symLink = dir.File("other/sym.dcx");
    fs::create_symlink(source, symLink);
    std::string missing = dir.File("Fax/missing.dcx");
    struct Case {
        std::string from, to;
    };
    std::vector<Case> cases = {
        {source, source},
        {source, dir.File("Fax/../Fax/./letter.dcx")},
        {dir.File("other/../Fax/letter.dcx"), source},
        {source, symLink},
        {symLink, source},
        {source, hardLink},
        // Checked before the source's existence, for a path that names no file at all.
        {missing, dir.File("other/../Fax/missing.dcx")},
    };
    for (bool move : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.from + " -> " + c.to + (move ? " (move)" : " (copy)"));
            prompts.asked.clear();
            host.calls.clear();
            transfer(move, c.from, c.to);
            ASSERT_EQ(prompts.asked.size(), 1u);
            EXPECT_EQ(prompts.asked[0].text, kSame.arg(Q(c.from), Q(c.to)));
            EXPECT_EQ(prompts.asked[0].title, QStringLiteral("Vantorel"));
            EXPECT_EQ(prompts.asked[0].icon, app::Icon::Error);
            EXPECT_EQ(prompts.asked[0].buttons, app::Buttons{app::Ok});
            EXPECT_TRUE(host.calls.empty());
            EXPECT_EQ(ReadBytes(source), sourceBytes);
            EXPECT_TRUE(fs::is_symlink(symLink));
        }
    }
}

TEST_F(FileCommandsTest, OtherCaseIsAnotherFileHere) {
    std::string upper = dir.File("Fax/LETTER.DCX");
    {
        // Only where the file system tells the two names apart.
        WriteBytes(upper, Bytes{1});
        bool caseSensitive = ReadBytes(source) == sourceBytes;
        fs::remove(upper);
        if (!caseSensitive) GTEST_SKIP() << "case-insensitive file system";
    }
    transfer(false, source, upper);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(ReadBytes(upper), sourceBytes);
    EXPECT_EQ(ReadBytes(source), sourceBytes);
    EXPECT_EQ(host.calls, (Calls{"release", "title", "show " + upper}));
}

TEST_F(FileCommandsTest, MoveToAnotherFolderShowsTheMovedFax) {
    std::string target = dir.File("other/moved.dcx");
    bool sourceStillThereWhenReleased = false;
    host.onRelease = [&] { sourceStillThereWhenReleased = Exists(source) && !Exists(target); };
    transfer(true, source, target);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_TRUE(sourceStillThereWhenReleased);
    EXPECT_EQ(host.calls, (Calls{"release", "title", "show " + target}));
    EXPECT_EQ(host.shownBytes, sourceBytes);
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(host.st.currentFax, Q(target));
    EXPECT_EQ(Names(dir.File("other")), std::set<std::string>{"moved.dcx"});
    EXPECT_TRUE(Names(host.st.faxDir.toStdString()).empty());
}

// A folder on another file system (tmpfs), or nothing when there is none.
class OtherFileSystem {
public:
    explicit OtherFileSystem(const std::string& near) {
        char tmpl[] = "/dev/shm/vantorel-filecmd-XXXXXX";
        if (!mkdtemp(tmpl)) return;
        struct stat a {}, b {};
        if (stat(tmpl, &a) == 0 && stat(near.c_str(), &b) == 0 && a.st_dev != b.st_dev) path_ = tmpl;
        else fs::remove(tmpl);
    }
    ~OtherFileSystem() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST_F(FileCommandsTest, MoveAcrossFileSystemsCopiesThenRemovesTheSource) {
    OtherFileSystem other(dir.path());
    if (other.path().empty()) GTEST_SKIP() << "no second file system";
    std::string target = other.path() + "/moved.dcx";
    transfer(true, source, target);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(host.calls, (Calls{"release", "title", "show " + target}));
    EXPECT_EQ(host.shownBytes, sourceBytes);
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(Names(other.path()), std::set<std::string>{"moved.dcx"});

    // When the copy cannot be completed the source stays where it was.
    WriteBytes(source, sourceBytes);
    std::string second = other.path() + "/second.dcx";
    host.calls.clear();
    {
        FileSizeLimit full(4096);
        transfer(true, source, second);
    }
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, kFv1.arg(Q(source), Q(second)));
    EXPECT_EQ(prompts.asked[0].icon, app::Icon::Error);
    EXPECT_EQ(host.calls, (Calls{"release", "title"}));
    EXPECT_EQ(ReadBytes(source), sourceBytes);
    EXPECT_EQ(Names(other.path()), std::set<std::string>{"moved.dcx"});
}

// Copy and move replace regular files only: a link keeps pointing at the file that now
// holds the fax, a folder is refused and keeps what it holds.
TEST(FileReplacing, ThroughLinksNeverOverFolders) {
    TempDir dir;
    const Bytes fax = {0x0A, 5, 1, 1};
    for (bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        WriteBytes(dir.File("src.dcx"), fax);
        WriteBytes(dir.File("real.dcx"), {9});
        std::filesystem::remove(dir.File("link.dcx"));
        std::filesystem::create_symlink("real.dcx", dir.File("link.dcx"));
        auto run = move ? app::MoveFileReplacing : app::CopyFileReplacing;
        EXPECT_TRUE(run(Q(dir.File("src.dcx")), Q(dir.File("link.dcx"))));
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.dcx")));
        EXPECT_EQ(ReadBytes(dir.File("real.dcx")), fax);
        EXPECT_EQ(Exists(dir.File("src.dcx")), !move);

        WriteBytes(dir.File("src.dcx"), fax);
        std::filesystem::create_directories(dir.File("folder.dcx"));
        WriteBytes(dir.File("folder.dcx/keep"), {1});
        EXPECT_FALSE(run(Q(dir.File("src.dcx")), Q(dir.File("folder.dcx"))));
        EXPECT_TRUE(Exists(dir.File("folder.dcx/keep")));
        EXPECT_TRUE(Exists(dir.File("src.dcx")));
    }
}

TEST_F(FileCommandsTest, OverwriteAfterYesReplacesTheTarget) {
    for (bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        std::string target = dir.File("other/old.dcx");
        WriteBytes(target, TwoPageFax(11));
        WriteBytes(source, sourceBytes);
        fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        prompts.asked.clear();
        host.calls.clear();
        prompts.answers = {app::Yes};
        transfer(move, source, target);
        // The new file keeps the source's permissions, copied or moved.
        EXPECT_EQ(fs::status(target).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        ASSERT_EQ(prompts.asked.size(), 1u);
        const auto& q = prompts.asked[0];
        EXPECT_EQ(q.text, QStringLiteral("File:\n%1\nalready exists. Over-Write it?").arg(Q(target)));
        EXPECT_EQ(q.title, QStringLiteral("Vantorel"));
        EXPECT_EQ(q.icon, app::Icon::Question);
        EXPECT_EQ(q.buttons, app::Buttons{app::Yes | app::No});
        EXPECT_EQ(ReadBytes(target), sourceBytes);
        EXPECT_EQ(Exists(source), !move);
        EXPECT_EQ(host.calls, (Calls{"release", "title", "show " + target}));
        EXPECT_EQ(Names(dir.File("other")), std::set<std::string>{"old.dcx"});
    }
}

TEST_F(FileCommandsTest, OverwriteAnsweredNoChangesNothing) {
    std::string target = dir.File("other/old.dcx");
    Bytes old = TwoPageFax(11);
    WriteBytes(target, old);
    for (bool move : {false, true}) {
        prompts.answers = {app::No};
        transfer(move, source, target);
    }
    EXPECT_EQ(prompts.asked.size(), 2u);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(ReadBytes(source), sourceBytes);
    EXPECT_EQ(host.st.currentFax, Q(source));
}

TEST_F(FileCommandsTest, FailingCopyKeepsTheExistingTarget) {
    std::string target = dir.File("other/old.dcx");
    Bytes old = TwoPageFax(11);
    struct Case {
        const char* name;
        bool move;
        std::function<void()> fault;  // what goes wrong once the copy has been decided
    };
    std::vector<Case> cases = {
        // The source turns into something that opens but cannot be read.
        {"unreadable source", false,
         [&] {
             fs::remove(source);
             fs::create_directory(source);
         }},
        {"source gone", true, [&] { fs::remove(source); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ec;
        fs::remove_all(source, ec);
        WriteBytes(source, sourceBytes);
        WriteBytes(target, old);
        prompts.asked.clear();
        host.calls.clear();
        host.onRelease = c.fault;
        prompts.answers = {app::Yes};
        transfer(c.move, source, target);
        ASSERT_EQ(prompts.asked.size(), 2u);
        EXPECT_EQ(prompts.asked[1].text, kFv1.arg(Q(source), Q(target)));
        EXPECT_EQ(prompts.asked[1].icon, app::Icon::Error);
        EXPECT_EQ(host.calls, (Calls{"release", "title"}));  // nothing shown afterwards
        EXPECT_EQ(ReadBytes(target), old);
        EXPECT_EQ(Names(dir.File("other")), std::set<std::string>{"old.dcx"});  // no leftovers
    }
    host.onRelease = nullptr;
    fs::remove_all(source);

    // A disk that fills up in the middle of the copy.
    Bytes big = MakeDcx({MakePcx(PatternPage(216, 2000, 1), 216), MakePcx(PatternPage(216, 2000, 2), 216)});
    ASSERT_GT(big.size(), 100000u);
    WriteBytes(source, big);
    prompts.asked.clear();
    host.calls.clear();
    prompts.answers = {app::Yes};
    {
        FileSizeLimit full(32768);
        transfer(false, source, target);
    }
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[1].text, kFv1.arg(Q(source), Q(target)));
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(ReadBytes(source), big);
    EXPECT_EQ(Names(dir.File("other")), std::set<std::string>{"old.dcx"});
}

TEST_F(FileCommandsTest, SourceGoneOrTargetNotCreatable) {
    const QString cannotCreate = QStringLiteral(
        "Can not Create:\n%1\n\nYou may have specified an invalid path or filename.\n\nIs your disk full?");
    std::string gone = dir.File("Fax/gone.dcx");
    fs::create_directory(dir.File("other/folder.dcx"));
    struct Case {
        std::string from, to;
        QString message;
    };
    std::vector<Case> cases = {
        {gone, dir.File("other/x.dcx"), QStringLiteral("Error Opening Source FileName:\n%1").arg(Q(gone))},
        {dir.File("other"), dir.File("other/x.dcx"),
         QStringLiteral("Error Opening Source FileName:\n%1").arg(Q(dir.File("other")))},
        {source, dir.File("nowhere/x.dcx"), cannotCreate.arg(Q(dir.File("nowhere/x.dcx")))},
        {source, dir.File("other/folder.dcx"), cannotCreate.arg(Q(dir.File("other/folder.dcx")))},
    };
    for (bool move : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.from + " -> " + c.to);
            prompts.asked.clear();
            transfer(move, c.from, c.to);
            ASSERT_EQ(prompts.asked.size(), 1u);
            EXPECT_EQ(prompts.asked[0].text, c.message);
            EXPECT_EQ(prompts.asked[0].icon, app::Icon::Error);
        }
    }
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(ReadBytes(source), sourceBytes);
    EXPECT_EQ(Names(dir.File("other")), std::set<std::string>{"folder.dcx"});
    EXPECT_FALSE(Exists(dir.File("nowhere")));
}

TEST_F(FileCommandsTest, DialogCancelledDoesNothing) {
    for (bool move : {false, true}) {
        prompts.files = {};
        move ? commands.moveAs() : commands.copy();
        prompts.files = {Q(source)};  // the second dialog is cancelled
        move ? commands.moveAs() : commands.copy();
    }
    prompts.files = {};
    commands.open();
    EXPECT_EQ(prompts.dialogs.size(), 7u);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(FileCommandsTest, DeleteAsksWithNoAsDefault) {
    // No fax: nothing is asked.
    for (QString none : {QString(), Q(dir.File("Fax/gone.dcx")), host.st.faxDir}) {
        host.st.currentFax = none;
        commands.remove();
    }
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_TRUE(host.calls.empty());

    host.st.currentFax = Q(source);
    prompts.answers = {app::No};
    commands.remove();
    ASSERT_EQ(prompts.asked.size(), 1u);
    const auto& q = prompts.asked[0];
    EXPECT_EQ(q.text, QStringLiteral("Are you sure that you want to Delete:\n%1").arg(Q(source)));
    EXPECT_EQ(q.title, QStringLiteral("Vantorel"));
    EXPECT_EQ(q.icon, app::Icon::Question);
    EXPECT_EQ(q.buttons, app::Buttons{app::Yes | app::No});
    EXPECT_EQ(q.defaultButton, app::No);
    EXPECT_EQ(ReadBytes(source), sourceBytes);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.st.currentFax, Q(source));

    // Closing the box without a choice is No as well.
    commands.remove();
    EXPECT_TRUE(Exists(source));

    bool stillThereWhenReleased = false;
    host.onRelease = [&] { stillThereWhenReleased = Exists(source); };
    prompts.answers = {app::Yes};
    commands.remove();
    EXPECT_TRUE(stillThereWhenReleased);
    EXPECT_FALSE(Exists(source));
    // Into the trash, where it can be had back.
    EXPECT_EQ(Trashed("letter.dcx"), std::vector<Bytes>{sourceBytes});
    EXPECT_TRUE(host.st.currentFax.isEmpty());
    EXPECT_EQ(host.calls, (Calls{"release", "title"}));
}

}  // namespace
