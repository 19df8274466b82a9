#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "formats/fax_check.h"
#include "formats/file_io.h"
#include "support/test_files.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Names in the folder that a writer left behind (its temporary files).
int LeftOvers(const std::string& dir) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir)) n += e.path().filename().string().ends_with(".part");
    return n;
}

// Writes "new" through an AtomicFile at `target`; the outcome and why.
struct Outcome {
    bool opened = false, committed = false;
    std::string error;
};
Outcome WriteNew(const std::string& target) {
    fax::AtomicFile out(target);
    Outcome o;
    o.opened = out.Open();
    if (o.opened && out.file().WriteAll("new", 3)) o.committed = out.Commit();
    o.error = out.error();
    return o;
}

}  // namespace

// What an output does to whatever stands at its name.
TEST(AtomicFile, ReplacesRegularFilesOnlyAndWritesIntoSpecialFiles) {
    TempDir dir;
    const mode_t old = ::umask(027);
    WriteBytes(dir.File("old"), {'o', 'l', 'd'});
    ::chmod(dir.File("old").c_str(), 0600);
    WriteBytes(dir.File("real"), {'o', 'l', 'd'});
    fs::create_symlink("real", dir.File("link"));
    fs::create_symlink("nowhere", dir.File("dangling"));
    fs::create_directory(dir.File("folder"));

    struct Case {
        const char* name;
        bool ok;
        const char* error;      // part of the reason, when refused
        const char* readBack;   // a file that then holds "new"
        unsigned mode;          // its permissions
    } cases[] = {
        {"fresh", true, "", "fresh", 0640},                // 0666 less the umask
        {"old", true, "", "old", 0600},                    // a replaced file keeps its permissions
        {"link", true, "", "real", 0640},                  // the file the link names is replaced
        {"folder", false, "Is a directory", nullptr, 0},
        {"dangling", false, "No such file", nullptr, 0},
        {"no/such/folder/x", false, "No such file", nullptr, 0},
    };
    for (const Case& c : cases) {
        Outcome o = WriteNew(dir.File(c.name));
        EXPECT_EQ(o.committed, c.ok) << c.name;
        EXPECT_NE(o.error.find(c.error), std::string::npos) << c.name << ": " << o.error;
        if (c.readBack) {
            EXPECT_EQ(ReadBytes(dir.File(c.readBack)), (Bytes{'n', 'e', 'w'})) << c.name;
            EXPECT_EQ(ModeOf(dir.File(c.readBack)), c.mode) << c.name;
        }
    }
    ::umask(old);
    EXPECT_TRUE(fs::is_symlink(dir.File("link")));
    EXPECT_TRUE(fs::is_directory(dir.File("folder")));
    EXPECT_TRUE(fs::is_symlink(dir.File("dangling")));
    EXPECT_EQ(LeftOvers(dir.path()), 0);

    // A device is written into in place: /dev/null takes it, /dev/full reports the cause.
    EXPECT_TRUE(WriteNew("/dev/null").committed);
    Outcome full = WriteNew("/dev/full");
    EXPECT_FALSE(full.committed);
    EXPECT_EQ(full.error, "No space left on device");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST(AtomicFile, AFifoGetsTheFinishedContentAndAFailureNothing) {
    TempDir dir;
    const std::string fifo = dir.File("out.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Nobody reads yet: refused at once, not waited on.
    Outcome unread = WriteNew(fifo);
    EXPECT_FALSE(unread.committed);
    EXPECT_EQ(unread.error, "No such device or address");
    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(WriteNew(fifo).committed);
    char got[8] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 3);
    EXPECT_STREQ(got, "new");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(fifo));

    // Discarded and kept-if-new outputs leave nothing, and an old file as it was.
    WriteBytes(dir.File("old"), {'o'});
    for (const char* name : {"old", "fresh"}) {
        fax::AtomicFile out(dir.File(name));
        ASSERT_TRUE(out.Open());
        out.file().WriteAll("xyz", 3);
    }
    EXPECT_EQ(ReadBytes(dir.File("old")), (Bytes{'o'}));
    EXPECT_FALSE(Exists(dir.File("fresh")));
    EXPECT_EQ(LeftOvers(dir.path()), 0);
}

// Reading never waits on a special file: each is refused at once as no fax.
TEST(OpenRead, RefusesFoldersFifosAndDevicesAtOnce) {
    TempDir dir;
    const std::string fifo = dir.File("f.dcx"), folder = dir.File("d.pcx"), file = dir.File("p.pcx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    Bytes pcx(130, 0);
    pcx[0] = 0x0A, pcx[2] = 0x01;
    WriteBytes(file, pcx);
    fs::create_symlink("/dev/zero", dir.File("zero.dcx"));

    struct Case {
        std::string path;
        int error;  // 0: opens
        int step;   // CheckFaxFile's verdict
    } cases[] = {
        {fifo, ENOTSUP, 4}, {folder, EISDIR, 4}, {dir.File("zero.dcx"), ENOTSUP, 4}, {file, 0, 0},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases) {
        errno = 0;
        fax::File f = fax::File::OpenRead(c.path);
        EXPECT_EQ(f.IsOpen(), c.error == 0) << c.path;
        if (c.error) {
            EXPECT_EQ(errno, c.error) << c.path;
        }
        fax::FaxCheck check = fax::CheckFaxFile(c.path);
        EXPECT_EQ(check.step, c.step) << c.path;
        if (c.step) {
            EXPECT_TRUE(check.message.starts_with(c.path + "\nIs not a valid DCX or PCX fax file.")) << c.path;
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}
