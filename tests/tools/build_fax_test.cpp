#include <gtest/gtest.h>

#include <filesystem>

#include "formats/dcx.h"
#include "formats/pcx.h"
#include "tool_fixtures.h"
#include "tools/build_fax.h"

using namespace testing_support;
using namespace toolfix;

namespace {
fax::DcxTable TableOf(const std::string& path) {
    Bytes b = ReadBytes(path);
    return fax::DcxTable::FromBytes(b.data(), b.size());
}
Bytes PageBytes(const std::string& dcx, unsigned n) {
    Bytes b = ReadBytes(dcx);
    fax::DcxTable t = fax::DcxTable::FromBytes(b.data(), b.size());
    std::size_t from = t.Slot(n), to = n < t.PageCount() ? t.Slot(n + 1) : b.size();
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
}
}  // namespace

TEST(BuildFax, PagesInListOrderAndRepeatedPagesReadBackElsewhere) {
    TempDir dir;
    Page a = MakePage(90, 1), b = MakePage(70, 2);
    WriteBytes(dir.File("a.pcx"), a.file);
    WriteBytes(dir.File("b.pcx"), b.file);
    std::string out = dir.File("new.dcx");
    auto r = fax::BuildFax(out, {dir.File("b.pcx"), dir.File("a.pcx"), dir.File("a.pcx"), dir.File("a.pcx")});
    ASSERT_EQ(r.outcome, fax::BuildFaxResult::Outcome::Built);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.pages, 4u);

    fax::DcxTable t = TableOf(out);
    ASSERT_EQ(t.PageCount(), 4u);
    EXPECT_EQ(t.Slot(1), 4096u);
    EXPECT_EQ(PageBytes(out, 1), b.file);
    for (unsigned n = 2; n <= 4; ++n) EXPECT_EQ(PageBytes(out, n), a.file) << n;

    EXPECT_EQ(GmPageSizes(out), (std::vector<std::string>{"1728x70", "1728x90", "1728x90", "1728x90"}));
    const Page* expected[] = {&b, &a, &a, &a};
    for (unsigned i = 0; i < 4; ++i) {
        Pbm pbm = GmDecode(out, i, dir.path());
        EXPECT_TRUE(pbm.pixels == expected[i]->pixels) << "page " << i + 1;
    }
}

TEST(BuildFax, ShortPageIsReportedAndLeavesNoGap) {
    TempDir dir;
    Page a = MakePage(50, 1), b = MakePage(50, 2);
    WriteBytes(dir.File("a.pcx"), a.file);
    WriteBytes(dir.File("bad.pcx"), Bytes(a.file.begin(), a.file.begin() + 100));
    WriteBytes(dir.File("edge.pcx"), Bytes(a.file.begin(), a.file.begin() + 128));
    WriteBytes(dir.File("b.pcx"), b.file);
    std::string out = dir.File("new.dcx");
    auto r = fax::BuildFax(out, {dir.File("a.pcx"), dir.File("bad.pcx"), dir.File("b.pcx"), dir.File("edge.pcx")});
    ASSERT_EQ(r.outcome, fax::BuildFaxResult::Outcome::Built);
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0].text, "This file:\n" + dir.File("bad.pcx") + "\nis corrupt and will not be added.");
    EXPECT_EQ(r.messages[1].text, "This file:\n" + dir.File("edge.pcx") + "\nis corrupt and will not be added.");
    EXPECT_EQ(r.messages[0].title, "Vantorel");
    fax::DcxTable t = TableOf(out);
    EXPECT_EQ(t.PageCount(), 2u);
    EXPECT_EQ(PageBytes(out, 1), a.file);
    EXPECT_EQ(PageBytes(out, 2), b.file);
    EXPECT_EQ(ReadBytes(out).size(), 4096 + a.file.size() + b.file.size());
}

TEST(BuildFax, FailuresAndTheirMessages) {
    TempDir dir;
    Page a = MakePage(20, 1);
    WriteBytes(dir.File("a.pcx"), a.file);

    // A page that cannot be opened ends the build; the pages before it stay in a valid fax.
    std::string out = dir.File("partial.dcx");
    auto r = fax::BuildFax(out, {dir.File("a.pcx"), dir.File("gone.pcx"), dir.File("a.pcx")});
    EXPECT_EQ(r.outcome, fax::BuildFaxResult::Outcome::Failed);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text,
              "Unable to open:\n" + dir.File("gone.pcx") + "\nNo such file or directory\nIs your HardDrive full?.");
    EXPECT_EQ(TableOf(out).PageCount(), 1u);
    EXPECT_EQ(PageBytes(out, 1), a.file);

    // A fax that cannot be created.
    std::string bad = dir.File("no-folder/new.dcx");
    r = fax::BuildFax(bad, {dir.File("a.pcx")});
    EXPECT_EQ(r.outcome, fax::BuildFaxResult::Outcome::NotCreated);
    EXPECT_EQ(r.messages.at(0).text,
              "Unable to create:\n" + bad + "\n\nIs the path and filename valid?\n\nIs your HardDrive full?.");
}

TEST(BuildFax, NeverWritesMorePagesThanTheTableCanList) {
    TempDir dir;
    Bytes tiny = PcxHeaderBytes(216, 0);
    tiny.insert(tiny.end(), {0xC1, 0x00});  // one black byte, enough to be a page
    WriteBytes(dir.File("p.pcx"), tiny);
    std::vector<std::string> list(fax::kDcxSlots + 2, dir.File("p.pcx"));
    std::string out = dir.File("full.dcx");
    auto r = fax::BuildFax(out, list);
    EXPECT_EQ(r.outcome, fax::BuildFaxResult::Outcome::Built);
    EXPECT_EQ(r.pages, fax::kDcxSlots);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, fax::TableFullMessage(out));
    EXPECT_EQ(TableOf(out).PageCount(), fax::kDcxSlots);
    EXPECT_EQ(ReadBytes(out).size(), 4096 + fax::kDcxSlots * tiny.size());
}
