#include <gtest/gtest.h>

#include <cstdio>

#include "formats/dcx.h"
#include "formats/pcx.h"
#include "tool_fixtures.h"
#include "tools/long_fax.h"

using namespace testing_support;
using namespace toolfix;

namespace {
fax::PcxHeader HeaderAt4096(const Bytes& file) { return fax::PcxHeader::FromBytes(&file.at(4096)); }
Bytes DataOf(const Bytes& pcx) { return Bytes(pcx.begin() + 128, pcx.end()); }
}  // namespace

TEST(BuildLongFax, StacksThePagesUnderOneHeader) {
    TempDir dir;
    std::vector<Page> pages = {MakePage(2200, 1), MakePage(2200, 2), MakePage(2200, 3)};
    WriteBytes(dir.File("three.dcx"), MakeDcx({pages[0].file, pages[1].file, pages[2].file}));
    std::string out = dir.File("long.dcx");
    auto r = fax::BuildLongFax(dir.File("three.dcx"), out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines, 6600u);

    Bytes file = ReadBytes(out);
    fax::DcxTable t = fax::DcxTable::FromBytes(file.data(), file.size());
    EXPECT_EQ(t.PageCount(), 1u);
    EXPECT_EQ(t.Slot(1), 4096u);
    fax::PcxHeader h = HeaderAt4096(file);
    EXPECT_EQ(h.longLineIndex(), 6599u);
    EXPECT_EQ(h.ymax(), 6599);
    EXPECT_EQ(h.longMarker(), 0x21);
    Bytes data;
    for (const auto& p : pages) {
        Bytes d = DataOf(p.file);
        data.insert(data.end(), d.begin(), d.end());
    }
    EXPECT_TRUE(Bytes(file.begin() + 4224, file.end()) == data);

    // Another reader decodes the long page as the three pictures one under the other.
    Pbm pbm = GmDecode(out, 0, dir.path());
    EXPECT_EQ(pbm.width, 1728u);
    ASSERT_EQ(pbm.height, 6600u);
    Bytes stacked;
    for (const auto& p : pages) stacked.insert(stacked.end(), p.pixels.begin(), p.pixels.end());
    EXPECT_TRUE(pbm.pixels == stacked);
}

TEST(BuildLongFax, FortyPagesNeedTheLongLineIndex) {
    TempDir dir;
    Page page = MakePage(2200, 5);
    WriteBytes(dir.File("forty.dcx"), MakeDcx(std::vector<Bytes>(40, page.file)));
    std::string out = dir.File("long.dcx");
    auto r = fax::BuildLongFax(dir.File("forty.dcx"), out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.pages, 40u);
    Bytes file = ReadBytes(out);
    fax::PcxHeader h = HeaderAt4096(file);
    EXPECT_EQ(h.longLineIndex(), 87999u);
    EXPECT_EQ(h.ymax(), 22463);
    EXPECT_EQ(h.longMarker(), 0x21);
    EXPECT_EQ(h.LineCount(), 88000u);
    EXPECT_EQ(file.size(), 4096 + 128 + 40 * (page.file.size() - 128));
}

TEST(BuildLongFax, SinglePageGetsTheSystemsOwnHeader) {
    TempDir dir;
    Page page = MakePage(100, 9);
    page.file[12] = 100;  // 100 x 98 dpi and an odd Xmax in the source
    page.file[14] = 98;
    page.file[8] = 0x10;
    WriteBytes(dir.File("one.dcx"), MakeDcx({page.file}));
    ASSERT_TRUE(fax::BuildLongFax(dir.File("one.dcx"), dir.File("long.dcx")).ok);
    Bytes file = ReadBytes(dir.File("long.dcx"));
    fax::PcxHeader h = HeaderAt4096(file);
    EXPECT_EQ(h.xmax(), 1727);
    EXPECT_EQ(fax::ReadLe16(&h.bytes[12]), 200);
    EXPECT_EQ(fax::ReadLe16(&h.bytes[14]), 200);
    EXPECT_EQ(h.LineCount(), 100u);
    EXPECT_TRUE(Bytes(file.begin() + 4224, file.end()) == DataOf(page.file));
}

TEST(BuildLongFax, RefusalsWriteNothing) {
    TempDir dir;
    Page fax = MakePage(30, 1), narrow = MakePage(30, 2, 100);
    Bytes hugeA = PcxHeaderBytes(216, 0);
    hugeA[72] = 0x21;
    fax::WriteLe32(&hugeA[68], 0x00FFFFFF);  // claims 16,777,216 lines; its data holds not one
    hugeA.insert(hugeA.end(), {0xC1, 0xFF});
    Bytes body = fax.file;
    body.insert(body.end(), fax.file.begin(), fax.file.end());
    std::uint32_t second = 4096 + static_cast<std::uint32_t>(fax.file.size());

    struct Case {
        const char* name;
        Bytes file;
        const char* message;  // part of the message, or nullptr for a silent failure
    } cases[] = {
        {"wide.dcx", MakeDcx({fax.file, narrow.file}), "is 800 pixels wide"},
        {"huge.dcx", MakeDcx({hugeA, hugeA}), "hold 0 lines together"},
        {"damaged.dcx", DcxWithOffsets({second, 4096}, body), "damaged page table"},
        {"empty.dcx", MakeDcx({}), "has no pages"},
        {"page.pcx", fax.file, nullptr},
        {"fake.dcx", fax.file, nullptr},
    };
    for (const auto& c : cases) {
        WriteBytes(dir.File(c.name), c.file);
        std::string out = dir.File(std::string("out-") + c.name + ".dcx");
        auto r = fax::BuildLongFax(dir.File(c.name), out);
        EXPECT_FALSE(r.ok) << c.name;
        if (c.message) {
            ASSERT_EQ(r.messages.size(), 1u) << c.name;
            EXPECT_NE(r.messages[0].text.find(c.message), std::string::npos) << r.messages[0].text;
            EXPECT_EQ(r.messages[0].icon, fax::MessageIcon::Error);
        } else {
            EXPECT_TRUE(r.messages.empty()) << c.name;
        }
        EXPECT_FALSE(Exists(out)) << c.name;
    }
    EXPECT_FALSE(fax::BuildLongFax(dir.File("missing.dcx"), dir.File("x.dcx")).ok);

    std::string bad = dir.File("no-folder/long.dcx");
    WriteBytes(dir.File("ok.dcx"), MakeDcx({fax.file}));
    auto r = fax::BuildLongFax(dir.File("ok.dcx"), bad);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages.at(0).text, "Create a new long one page fax, was unable to create:\n" + bad +
                                         "\n\nIs the path and filename valid?\n\nIs your HardDrive full?.");
}

TEST(BuildLongFax, TheLargestCountAHeaderCanSayAndOneMore) {
    // Two white pages of real data in runs of 63 bytes that cross line ends: 8,388,608 lines
    // and 8,388,608 (16,777,216 together) or 8,388,609 (one more).
    for (const auto& [second, built] : {std::pair{8388608u, true}, {8388609u, false}}) {
        SCOPED_TRACE(second);
        TempDir dir;
        auto page = [](std::uint32_t lines) {
            Bytes f = PcxHeaderBytes(216, static_cast<std::uint16_t>(lines - 1));
            f[72] = 0x21;
            fax::WriteLe32(&f[68], lines - 1);
            const std::uint64_t bytes = std::uint64_t(lines) * 216;
            f.resize(f.size() + bytes / 63 * 2, 0xFF);  // runs of 63 white bytes: FF FF
            if (bytes % 63) f.insert(f.end(), {std::uint8_t(0xC0 | bytes % 63), 0xFF});
            return f;
        };
        WriteBytes(dir.File("tall.dcx"), MakeDcx({page(8388608), page(second)}));
        auto r = fax::BuildLongFax(dir.File("tall.dcx"), dir.File("long.dcx"));
        EXPECT_EQ(r.ok, built);
        if (built) {
            EXPECT_EQ(r.lines, 16777216u);
            std::uint8_t head[128] = {};
            std::FILE* f = std::fopen(dir.File("long.dcx").c_str(), "rb");
            ASSERT_NE(f, nullptr);
            EXPECT_TRUE(std::fseek(f, 4096, SEEK_SET) == 0 && std::fread(head, 1, 128, f) == 128);
            std::fclose(f);
            EXPECT_EQ(fax::PcxHeader::FromBytes(head).longLineIndex(), 16777215u);
        } else {
            ASSERT_EQ(r.messages.size(), 1u);
            EXPECT_NE(r.messages[0].text.find("hold 16777217 lines together"), std::string::npos) << r.messages[0].text;
            EXPECT_FALSE(Exists(dir.File("long.dcx")));
        }
    }
}

TEST(BuildLongFax, Question) {
    auto q = fax::LongFaxQuestion("/f/a.dcx", "/f/00000007.dcx");
    EXPECT_EQ(q.text,
              "Would you like to create a new long one page fax from all the pages in:\n/f/a.dcx\n\n"
              "The new fax will be called:\n/f/00000007.dcx\n\nThe new fax will become the Vantorel default "
              "fax.\n\nCreate new fax?\n/f/00000007.dcx");
    EXPECT_EQ(q.title, "Vantorel");
    EXPECT_EQ(q.icon, fax::MessageIcon::Question);
}

// Pages from other writers carry bytes after their last line: GraphicsMagick ends every
// PCX with a 769-byte palette block, others pad, some let the last run reach past the
// last line. The long page must still be the source pages' lines in order.
TEST(BuildLongFax, JoinsOnlyTheLinesOfPagesFromOtherWriters) {
    TempDir dir;
    std::vector<Page> sources = {MakePage(300, 11), MakePage(150, 12), MakePage(200, 13), MakePage(120, 14)};
    std::vector<Bytes> files;
    for (std::size_t i = 0; i < 2; ++i) {
        // GraphicsMagick's own PCX of the page (PBM's black is 1, the fax's 0).
        Bytes pbm;
        std::string head = "P4\n1728 " + std::to_string(sources[i].pixels.size() / kBpl) + "\n";
        pbm.assign(head.begin(), head.end());
        for (std::uint8_t b : sources[i].pixels) pbm.push_back(static_cast<std::uint8_t>(~b));
        std::string name = dir.File("gm" + std::to_string(i));
        WriteBytes(name + ".pbm", pbm);
        ASSERT_EQ(RunCommand("gm convert '" + name + ".pbm' '" + name + ".pcx'"), 0);
        files.push_back(ReadBytes(name + ".pcx"));
        ASSERT_EQ(files.back()[files.back().size() - 769], 0x0C) << "GraphicsMagick wrote no palette block";
    }
    files.push_back(sources[2].file);  // padded with 500 bytes that look like image data
    files.back().insert(files.back().end(), 500, 0x00);
    // The last run of the page reaches 4 bytes past its last line.
    Bytes last = sources[3].file;
    const std::size_t n = last.size();
    ASSERT_EQ(last[n - 1], 0xFF);  // a white run ends every pattern line: count byte, 0xFF
    const unsigned run = last[n - 2] & 0x3Fu;
    ASSERT_LE(run + 4, 63u);
    last[n - 2] = static_cast<std::uint8_t>(0xC0 | (run + 4));
    files.push_back(last);

    WriteBytes(dir.File("mixed.dcx"), MakeDcx(files));
    auto r = fax::BuildLongFax(dir.File("mixed.dcx"), dir.File("long.dcx"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines, 770u);
    Bytes expected;
    for (const Page& p : sources) expected.insert(expected.end(), p.pixels.begin(), p.pixels.end());
    Pbm decoded = GmDecode(dir.File("long.dcx"), 0, dir.path());
    EXPECT_EQ(decoded.width, 1728u);
    EXPECT_EQ(decoded.height, 770u);
    EXPECT_TRUE(decoded.pixels == expected) << "the long page differs from the source pages";
}
