// tarvex-cli export --to-dir: a tree of good, damaged and non-fax files; outputs read back by
// libtiff and poppler; the log, the exit status, and a second run replacing the outputs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "export/export_test_util.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

std::string Q(const std::string& s) { return "'" + s + "'"; }

// Every file below `root`, relative, sorted.
std::vector<std::string> Listing(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (!e.is_directory()) files.push_back(fs::relative(e.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

int PdfPages(const std::string& path) {
    std::string info;
    if (RunCommand("pdfinfo " + Q(path), &info) != 0) return -1;
    auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class BatchExport : public testing::Test {
protected:
    void SetUp() override {
        if (RunCommand("command -v pdfinfo >/dev/null") != 0) GTEST_SKIP() << "poppler's pdfinfo is not installed";
        pages = {PatternPage(216, 400, 1), PatternPage(216, 90, 2), PatternPage(216, 120, 3)};
        fs::create_directories(Src("sub/deep"));
        fs::create_directories(Src("damaged"));
        WriteBytes(Src("good.dcx"), MakeDcx({MakePcx(pages[0], 216), MakePcx(pages[1], 216)}));
        WriteBytes(Src("sub/deep/one.pcx"), MakePcx(pages[2], 216));
        WriteBytes(Src("sub/UPPER.DCX"), MakeDcx({MakePcx(pages[1], 216)}));
        WriteBytes(Src("sub/a.dcx"), MakeDcx({MakePcx(pages[2], 216)}));
        WriteBytes(Src("sub/a.pcx"), MakePcx(pages[0], 216));  // same outputs as a.dcx
        Bytes cut = MakeDcx({MakePcx(pages[0], 216), MakePcx(pages[1], 216)});
        cut.resize(cut.size() - MakePcx(pages[1], 216).size() + 60);  // page 2 shorter than its header
        WriteBytes(Src("damaged/cut.dcx"), cut);
        WriteBytes(Src("damaged/text.pcx"), Bytes(50, 'x'));
        WriteBytes(Src("notes.txt"), Bytes(300, 'n'));
        WriteBytes(Src("sub/picture.png"), Bytes(300, 0x89));
    }
    std::string Src(const std::string& rel) const { return dir.File("src/" + rel); }
    std::string Out(const std::string& rel) const { return dir.File("out/" + rel); }
    int Export(const std::string& args, std::string& out, std::string& err) {
        const std::string errFile = dir.File("stderr.txt");
        int rc = RunCommand(Q(CliPath()) + " export " + args + " 2>" + Q(errFile), &out);
        Bytes e = ReadBytes(errFile);
        err.assign(e.begin(), e.end());
        return rc;
    }
    TempDir dir;
    std::vector<Bytes> pages;
};

TEST_F(BatchExport, ConvertsTheTreeReportsFailuresAndReplacesOutputsOnASecondRun) {
    const std::vector<std::string> sources = Listing(dir.File("src"));
    std::string out, err;
    ASSERT_EQ(Export("--to-dir " + Q(dir.File("out")) + " --recursive --jobs 2 " + Q(dir.File("src")), out, err), 1)
        << out << err;

    EXPECT_EQ(Listing(dir.File("out")),
              (std::vector<std::string>{"good.pdf", "good.tif", "sub/UPPER.pdf", "sub/UPPER.tif", "sub/a.pdf",
                                        "sub/a.tif", "sub/deep/one.pdf", "sub/deep/one.tif"}));
    EXPECT_EQ(Listing(dir.File("src")), sources) << "nothing may be written beside the sources";
    struct Output {
        const char* name;
        std::vector<int> pages;  // indexes into pages
    };
    for (Output o : {Output{"good", {0, 1}}, Output{"sub/UPPER", {1}}, Output{"sub/a", {2}}, Output{"sub/deep/one", {2}}}) {
        SCOPED_TRACE(o.name);
        bool ok = false;
        auto decoded = exporttest::DecodeTiff(Out(std::string(o.name) + ".tif"), ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(decoded.size(), o.pages.size());
        for (std::size_t k = 0; k < o.pages.size(); ++k)
            EXPECT_TRUE(decoded[k].rows == exporttest::AsTiffRows(pages[std::size_t(o.pages[k])], 216)) << "page " << k;
        EXPECT_EQ(PdfPages(Out(std::string(o.name) + ".pdf")), int(o.pages.size()));
    }
    for (const char* line : {"failed %/damaged/cut.dcx: Dcx-Pcx to TIF and PDF failed with error[2023]\n",
                             "failed %/damaged/text.pcx: %/damaged/text.pcx Is not a valid DCX or PCX fax file.",
                             "failed %/sub/a.pcx: Its copies would replace those of %/sub/a.dcx\n"}) {
        std::string want = line;
        for (std::size_t at; (at = want.find('%')) != std::string::npos;) want.replace(at, 1, dir.File("src"));
        EXPECT_NE(err.find(want), std::string::npos) << want << "\nin:\n" << err;
    }
    EXPECT_NE(out.find("converted " + Src("sub/deep/one.pcx") + " -> " + Out("sub/deep/one.pdf") + "\n"),
              std::string::npos) << out;
    EXPECT_NE(out.find("7 faxes, 9 pages: 4 converted, 0 skipped, 3 failed in "), std::string::npos) << out;

    // Second run: a changed fax is converted again, its outputs replaced by new files.
    const Bytes oneTif = ReadBytes(Out("sub/deep/one.tif"));
    const ino_t oldInode = Inode(Out("good.pdf"));
    WriteBytes(Src("good.dcx"), MakeDcx({MakePcx(pages[2], 216), MakePcx(pages[1], 216), MakePcx(pages[0], 216)}));
    ASSERT_EQ(Export("--recursive --to-dir " + Q(dir.File("out")) + " --jobs 1 " + Q(dir.File("src")), out, err), 1);
    EXPECT_EQ(PdfPages(Out("good.pdf")), 3);
    bool ok = false;
    EXPECT_EQ(exporttest::DecodeTiff(Out("good.tif"), ok).size(), 3u);
    EXPECT_NE(Inode(Out("good.pdf")), oldInode) << "replaced by renaming a new file over it";
    EXPECT_EQ(ReadBytes(Out("sub/deep/one.tif")), oneTif) << "the same fax gives the same TIFF";
    EXPECT_EQ(Listing(dir.File("out")).size(), 8u) << "no temporary files are left";
}

TEST_F(BatchExport, NamedFilesFoldersWithoutRecursionAndPdfOnly) {
    std::string out, err;
    EXPECT_EQ(Export("--pdf-only --to-dir " + Q(dir.File("out")) + " " + Q(dir.File("src")) + " " +
                         Q(Src("sub/deep/one.pcx")),
                     out, err),
              0)
        << err;
    EXPECT_EQ(Listing(dir.File("out")), (std::vector<std::string>{"good.pdf", "one.pdf"}));
    ASSERT_EQ(::mkfifo(Src("pipe.dcx").c_str(), 0600), 0);
    EXPECT_EQ(Export("--to-dir " + Q(dir.File("out2")) + " " + Q(Src("missing.dcx")) + " " + Q(Src("pipe.dcx")) + " " +
                         Q(Src("good.dcx")),
                     out, err),
              1);
    // A FIFO is refused at once as not a fax file.
    EXPECT_NE(err.find("failed " + Src("missing.dcx") + ": Can not access: " + Src("missing.dcx")), std::string::npos)
        << err;
    EXPECT_NE(err.find("failed " + Src("pipe.dcx") + ": " + Src("pipe.dcx") + " Is not a valid DCX or PCX fax file"),
              std::string::npos)
        << err;
    EXPECT_TRUE(Exists(dir.File("out2/good.pdf")));

    // A fax whose name ends like its own copy, exported into its own folder, is refused untouched.
    const Bytes fax = MakePcx(pages[2], 216);
    WriteBytes(Src("scan.pcx.pdf"), fax);
    EXPECT_EQ(Export("--to-dir " + Q(dir.File("src")) + " " + Q(Src("scan.pcx.pdf")), out, err), 1);
    EXPECT_NE(err.find("failed " + Src("scan.pcx.pdf") + ": Its copy would replace the fax itself."), std::string::npos)
        << err;
    EXPECT_EQ(ReadBytes(Src("scan.pcx.pdf")), fax);
}

TEST_F(BatchExport, ProgressLineOnATerminal) {
    if (RunCommand("command -v script >/dev/null") != 0) GTEST_SKIP() << "script (util-linux) is not installed";
    std::string out;
    ASSERT_EQ(RunCommand("script -qec " +
                             Q(CliPath() + " export --to-dir " + dir.File("out") + " " + Src("good.dcx") + " " +
                               Src("sub/deep/one.pcx")) +
                             " /dev/null",
                         &out),
              0)
        << out;
    EXPECT_NE(out.find("\r\033[Kpages 3/3, faxes 2/2, 0 failed, 0:00 left"), std::string::npos) << out;
    EXPECT_EQ(out.find("converted "), std::string::npos) << "no log lines on a terminal";
}

TEST_F(BatchExport, InterruptionLeavesOnlyCompleteOutputs) {
    // Enough work that the interrupt comes while workers are writing.
    std::vector<Bytes> letters(20, MakePcx(PatternPage(216, 2200, 5), 216));
    const Bytes fax = MakeDcx(letters);
    fs::create_directories(dir.File("many"));
    for (int i = 0; i < 8; ++i) WriteBytes(dir.File("many/f" + std::to_string(i) + ".dcx"), fax);
    const std::string err = dir.File("err.txt");
    int rc = RunCommand("sh -c " + Q(Q(CliPath()) + " export --to-dir " + Q(dir.File("out")) + " --jobs 2 " +
                                     Q(dir.File("many")) + " >/dev/null 2>" + Q(err) +
                                     " & p=$!; sleep 0.5; kill -INT $p; wait $p"));
    EXPECT_EQ(rc, 1);
    Bytes e = ReadBytes(err);
    EXPECT_NE(std::string(e.begin(), e.end()).find("Stopped: "), std::string::npos);
    for (const std::string& f : Listing(dir.File("out"))) {
        SCOPED_TRACE(f);
        ASSERT_TRUE(fs::path(f).extension() == ".tif" || fs::path(f).extension() == ".pdf") << "a temporary file is left";
        if (fs::path(f).extension() == ".pdf") {
            EXPECT_EQ(PdfPages(Out(f)), 20);
        }
    }
}

TEST_F(BatchExport, UsageErrors) {
    const std::string good = Q(Src("good.dcx")), to = " --to-dir " + Q(dir.File("out")) + " ";
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {to + "--jobs 256 " + good, 0},  {to + "--jobs 257 " + good, 2}, {to + "--jobs 0 " + good, 2},
        {to + "--jobs x " + good, 2},    {to, 2},                        {to + "--fast " + good, 2},
        {good + " --to-dir", 2},         {good + " a.tif b.pdf c", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out, err;
        EXPECT_EQ(Export(c.args, out, err), c.status) << err;
    }
}

}  // namespace
