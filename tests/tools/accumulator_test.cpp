#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "formats/dcx.h"
#include "tool_fixtures.h"
#include "tools/fax_accumulator.h"

using namespace testing_support;
using namespace toolfix;

namespace {
struct Accum {
    TempDir dir;
    std::string folder = dir.File("faxaccum");
    Accum() { std::filesystem::create_directory(folder); }
    std::string Page(unsigned n) const { return fax::AccumulatorPagePath(folder, n); }
    void Put(unsigned n, const Bytes& bytes) const { WriteBytes(Page(n), bytes); }
};
Bytes Marker(std::uint8_t v) {  // a small but valid page, told apart by its data byte
    Bytes b = PcxHeaderBytes(216, 0);
    b.insert(b.end(), {0xC1, v});
    return b;
}
unsigned DcxPagesIn(const std::string& path) {
    Bytes b = ReadBytes(path);
    return fax::DcxTable::FromBytes(b.data(), b.size()).PageCount();
}
}  // namespace

TEST(FaxAccumulator, CountIsTheUnbrokenRun) {
    Accum a;
    EXPECT_EQ(a.Page(7), a.folder + "/fpa0007.pcx");
    EXPECT_EQ(fax::AccumulatorCount(a.folder), 0u);
    a.Put(1, Marker(1));
    a.Put(2, Marker(2));
    a.Put(4, Marker(4));
    EXPECT_EQ(fax::AccumulatorCount(a.folder), 2u);

    // Convert takes the two pages of the run; the page after the gap stays.
    auto r = fax::AccumulatorBuild(a.folder, a.dir.File("new.dcx"));
    ASSERT_TRUE(r.attempted);
    EXPECT_EQ(r.build.outcome, fax::BuildFaxResult::Outcome::Built);
    EXPECT_EQ(r.taken, 2u);
    EXPECT_EQ(DcxPagesIn(a.dir.File("new.dcx")), 2u);
    fax::AccumulatorRemoveConverted(a.folder, r.taken);
    EXPECT_EQ(FilesIn(a.folder), (std::vector<std::string>{"fpa0004.pcx"}));
    EXPECT_FALSE(fax::AccumulatorBuild(a.folder, a.dir.File("none.dcx")).attempted);
    EXPECT_FALSE(Exists(a.dir.File("none.dcx")));
}

TEST(FaxAccumulator, SaveAppendsAfterTheRunAndNeverOverwrites) {
    Accum a;
    std::vector<Page> pages = {MakePage(40, 1), MakePage(50, 2), MakePage(60, 3)};
    WriteBytes(a.dir.File("three.dcx"), MakeDcx({pages[0].file, pages[1].file, pages[2].file}));
    a.Put(1, Marker(1));
    a.Put(2, Marker(2));
    auto r = fax::AccumulatorSave(a.folder, a.dir.File("three.dcx"));
    EXPECT_EQ(r.saved, 3u);
    EXPECT_EQ(fax::AccumulatorCount(a.folder), 5u);
    for (unsigned n = 3; n <= 5; ++n) EXPECT_EQ(ReadBytes(a.Page(n)), pages[n - 3].file) << n;

    // With a page after a gap, that number is passed over and the page keeps its bytes.
    Accum g;
    g.Put(1, Marker(1));
    g.Put(2, Marker(2));
    g.Put(4, Marker(4));
    r = fax::AccumulatorSave(g.folder, a.dir.File("three.dcx"));
    EXPECT_EQ(r.saved, 3u);
    EXPECT_EQ(ReadBytes(g.Page(3)), pages[0].file);
    EXPECT_EQ(ReadBytes(g.Page(4)), Marker(4));
    EXPECT_EQ(ReadBytes(g.Page(5)), pages[1].file);
    EXPECT_EQ(ReadBytes(g.Page(6)), pages[2].file);
    EXPECT_EQ(fax::AccumulatorCount(g.folder), 6u);
}

TEST(FaxAccumulator, SaveOfWhatIsNotADcxSavesNothing) {
    Accum a;
    Page page = MakePage(30, 1);
    WriteBytes(a.dir.File("page.pcx"), page.file);
    EXPECT_EQ(fax::AccumulatorSave(a.folder, a.dir.File("page.pcx")).saved, 0u);
    EXPECT_EQ(fax::AccumulatorSave(a.folder, a.dir.File("missing.dcx")).saved, 0u);

    Bytes body = page.file;
    body.insert(body.end(), page.file.begin(), page.file.end());
    WriteBytes(a.dir.File("bad.dcx"), DcxWithOffsets({4096, 4096 + 999999}, body));
    auto r = fax::AccumulatorSave(a.folder, a.dir.File("bad.dcx"));
    EXPECT_EQ(r.saved, 0u);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_NE(r.messages[0].text.find("damaged page table"), std::string::npos);
    EXPECT_TRUE(FilesIn(a.folder).empty());
}

TEST(FaxAccumulator, ConversionTakesAThousandAndKeepsTheRest) {
    Accum a;
    for (unsigned n = 1; n <= fax::kMaxConvertPages + 3; ++n) a.Put(n, Marker(static_cast<std::uint8_t>(n % 200)));
    a.Put(2, Bytes(50, 0));  // corrupt: reported, skipped, and gone with the converted pages
    auto r = fax::AccumulatorBuild(a.folder, a.dir.File("big.dcx"));
    ASSERT_EQ(r.build.outcome, fax::BuildFaxResult::Outcome::Built);
    EXPECT_EQ(r.taken, fax::kMaxConvertPages);
    EXPECT_EQ(r.build.pages, fax::kMaxConvertPages - 1);
    ASSERT_EQ(r.build.messages.size(), 1u);
    EXPECT_EQ(r.build.messages[0].text, "This file:\n" + a.Page(2) + "\nis corrupt and will not be added.");
    EXPECT_EQ(DcxPagesIn(a.dir.File("big.dcx")), fax::kMaxConvertPages - 1);

    fax::AccumulatorRemoveConverted(a.folder, r.taken);
    EXPECT_EQ(fax::AccumulatorCount(a.folder), 3u);
    EXPECT_EQ(FilesIn(a.folder).size(), 3u);
    for (unsigned n = 1; n <= 3; ++n)
        EXPECT_EQ(ReadBytes(a.Page(n)), Marker(static_cast<std::uint8_t>((1000 + n) % 200))) << n;
}

TEST(FaxAccumulator, PageFilesAreOnlyTheAccumulatorsOwn) {
    Accum a;
    a.Put(1, Marker(1));
    a.Put(3, Marker(3));  // after a gap: still a page
    const std::vector<std::string> others = {"notes.txt", ".keep", "fpa001.pcx", "fpa00001.pcx", "fpa0002.PCX",
                                             "xfpa0002.pcx", "fpa00a2.pcx", "fpa0002.pcx.bak"};
    for (const auto& name : others) WriteBytes(a.folder + "/" + name, {1});
    WriteBytes(a.folder + "/fpa12345.pcx", {1});  // numbers past 9999 have more digits
    std::vector<std::string> pages = fax::AccumulatorPageFiles(a.folder);
    std::sort(pages.begin(), pages.end());
    EXPECT_EQ(pages, (std::vector<std::string>{a.Page(1), a.Page(3), a.folder + "/fpa12345.pcx"}));
}

TEST(FaxAccumulator, WriteFailureLeavesTheAccumulatorAlone) {
    Accum a;
    a.Put(1, Marker(1));
    Page big = MakePage(2000, 4);
    a.Put(2, big.file);
    std::string bad = a.dir.File("no-folder/new.dcx");
    auto made = fax::AccumulatorBuild(a.folder, bad);
    EXPECT_EQ(made.build.outcome, fax::BuildFaxResult::Outcome::NotCreated);
    EXPECT_EQ(made.taken, 0u);

    // A file-size limit makes the new fax's writes fail part-way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 8192;
    Accum s;  // Save of a fax whose page 2 of 3 alone is over the limit: one page saved, then it stops
    WriteBytes(s.dir.File("three.dcx"), MakeDcx({MakePage(30, 1).file, big.file, MakePage(30, 2).file}));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    auto r = fax::AccumulatorBuild(a.folder, a.dir.File("new.dcx"));
    const auto saved = fax::AccumulatorSave(s.folder, s.dir.File("three.dcx"));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(saved.saved, 1u);
    EXPECT_EQ(FilesIn(s.folder), (std::vector<std::string>{"fpa0001.pcx"}));
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(r.build.outcome, fax::BuildFaxResult::Outcome::Failed);
    EXPECT_EQ(r.taken, 0u);
    ASSERT_EQ(r.build.messages.size(), 1u);
    EXPECT_EQ(r.build.messages[0].text, "FV2, Could not write. Disk may be full...");
    EXPECT_EQ(fax::AccumulatorCount(a.folder), 2u);
    EXPECT_EQ(ReadBytes(a.Page(2)), big.file);
    EXPECT_GE(DcxPagesIn(a.dir.File("new.dcx")), 1u);  // the partial fax is still a fax
}
