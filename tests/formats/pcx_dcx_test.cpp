#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "formats/dcx.h"
#include "formats/fax_reader.h"
#include "formats/pcx.h"
#include "support/test_files.h"

using namespace testing_support;

namespace {
fax::PcxHeader HeaderWith(std::uint16_t ymax, std::uint8_t marker, std::uint32_t longIndex) {
    Bytes h = PcxHeaderBytes(216, ymax);
    h[72] = marker;
    fax::WriteLe32(&h[68], longIndex);
    return fax::PcxHeader::FromBytes(h.data());
}
}  // namespace

TEST(PcxHeader, LineCountRule) {
    struct Case {
        std::uint16_t ymax;
        std::uint8_t marker;
        std::uint32_t longIndex;
        std::uint32_t lines;
    } cases[] = {
        {575, 0x00, 0, 576},
        {575, 0x20, 70000, 576},          // marker not "!": index ignored
        {575, 0x21, 70000, 70001},
        {575, 0x21, 0x01000010, 17},      // top byte set: low 16 bits only
        {65535, 0x00, 0, 65536},
        {0, 0x21, 0x00FFFFFF, 16777216},  // the largest count the format can state
        {0, 0x21, 0xFFFFFFFF, 65536},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HeaderWith(c.ymax, c.marker, c.longIndex).LineCount(), c.lines)
            << c.ymax << " " << int(c.marker) << " " << c.longIndex;
}

TEST(PcxHeader, ComposedHeaderFields) {
    fax::PcxHeader h = fax::PcxHeader::Compose(216, 88000);
    EXPECT_EQ(h.bytes[0], 10);
    EXPECT_EQ(h.bytes[1], 2);
    EXPECT_EQ(h.bytes[2], 1);
    EXPECT_EQ(h.bytes[3], 1);
    EXPECT_EQ(h.xmax(), 1727);
    EXPECT_EQ(h.ymax(), 87999 - 65536);
    EXPECT_EQ(h.longLineIndex(), 87999u);
    EXPECT_EQ(h.longMarker(), 0x21);
    EXPECT_EQ(fax::ReadLe16(&h.bytes[12]), 200);
    EXPECT_EQ(fax::ReadLe16(&h.bytes[14]), 200);
    EXPECT_EQ(h.bytes[65], 1);
    EXPECT_EQ(h.bytesPerLine(), 216);
    EXPECT_EQ(h.LineCount(), 88000u);
    for (std::size_t i = 73; i < 128; ++i) ASSERT_EQ(h.bytes[i], 0) << i;
}

TEST(DcxTable, PageCountAndLocation) {
    Bytes block(4096, 0);
    block[0] = 0xB1, block[1] = 0x68, block[2] = 0xDE, block[3] = 0x3A;
    for (unsigned n = 1; n <= 3; ++n) fax::WriteLe32(&block[4 * n], 4096 + 1000 * n);
    auto t = fax::DcxTable::FromBytes(block.data(), block.size());
    EXPECT_EQ(t.PageCount(), 3u);
    unsigned page = 5;
    EXPECT_EQ(t.LocatePage(page), 4096u + 3000);
    EXPECT_EQ(page, 3u);
    page = 2;
    EXPECT_EQ(t.LocatePage(page), 4096u + 2000);

    // A slot counts when either 16-bit half is used.
    fax::WriteLe32(&block[4], 0x00010000);
    EXPECT_EQ(fax::DcxTable::FromBytes(block.data(), 4096).Slot(1), 0x10000u);

    // All 1,023 slots used: the list ends with the block.
    for (unsigned n = 1; n <= fax::kDcxSlots; ++n) fax::WriteLe32(&block[4 * n], 4096 + n);
    EXPECT_EQ(fax::DcxTable::FromBytes(block.data(), 4096).PageCount(), 1023u);

    // A short table reads as zero past its end.
    EXPECT_EQ(fax::DcxTable::FromBytes(block.data(), 128).PageCount(), 31u);
}

TEST(DcxTable, DamagedTablesAreRefused) {
    auto table = [](std::initializer_list<std::uint32_t> offsets) {
        fax::DcxTable t;
        unsigned n = 1;
        for (auto o : offsets) t.SetSlot(n++, o);
        return t;
    };
    std::vector<fax::PageExtent> extents;
    std::string message;
    ASSERT_TRUE(fax::PageExtents(table({4096, 5000, 5000, 6000}), 7000, "f.dcx", extents, message));
    ASSERT_EQ(extents.size(), 4u);
    EXPECT_EQ(extents[1].length, 0u);  // equal offsets: an empty page
    EXPECT_EQ(extents[3].length, 1000u);

    EXPECT_TRUE(fax::PageExtents(table({4096, 6999}), 7000, "f.dcx", extents, message));  // one byte left
    EXPECT_FALSE(fax::PageExtents(table({4096, 7000}), 7000, "f.dcx", extents, message));  // none: no page
    EXPECT_NE(message.find("page 2 starts at the end"), std::string::npos);
    EXPECT_FALSE(fax::PageExtents(table({4096, 9000}), 7000, "f.dcx", extents, message));
    EXPECT_NE(message.find("page 2 lies beyond the end"), std::string::npos);
    EXPECT_TRUE(extents.empty());
    EXPECT_FALSE(fax::PageExtents(table({5000, 4096}), 7000, "f.dcx", extents, message));
    EXPECT_NE(message.find("f.dcx"), std::string::npos);
}

TEST(DcxWriter, WrittenFaxReadsBackPageForPage) {
    TempDir dir;
    std::vector<Bytes> pcx;
    for (unsigned i = 0; i < 3; ++i) {
        pcx.push_back(MakePcx(PatternPage(216, 100 + 50 * i, i), 216));
        WriteBytes(dir.File("p" + std::to_string(i) + ".pcx"), pcx.back());
    }
    std::string out = dir.File("new.dcx");
    fax::DcxWriter w(out);
    ASSERT_EQ(w.Create(), fax::DcxWriter::Status::Ok);
    for (unsigned i = 0; i < 3; ++i) {
        fax::File src = fax::File::OpenRead(dir.File("p" + std::to_string(i) + ".pcx"));
        std::uint8_t head[128];
        ASSERT_EQ(src.Read(head, 128), 128);
        ASSERT_EQ(w.AppendPageHeader(head), fax::DcxWriter::Status::Ok);
        ASSERT_EQ(w.CopyPageData(src), fax::DcxWriter::Status::Ok);
        ASSERT_EQ(w.RewriteTable(), fax::DcxWriter::Status::Ok);
    }
    ASSERT_EQ(w.Finish(), fax::DcxWriter::Status::Ok);
    EXPECT_EQ(ReadBytes(out), MakeDcx(pcx));  // identical to the independent assembler
}

TEST(DcxWriter, FailureKeepsAnOldFileAndRefusesPage1024) {
    TempDir dir;
    std::string out = dir.File("old.dcx");
    WriteBytes(out, {1, 2, 3});
    {
        fax::DcxWriter w(out);
        ASSERT_EQ(w.Create(), fax::DcxWriter::Status::Ok);
        Bytes head = PcxHeaderBytes(216, 0);
        ASSERT_EQ(w.AppendPageHeader(head.data()), fax::DcxWriter::Status::Ok);
        w.Abandon();
    }
    EXPECT_EQ(ReadBytes(out), (Bytes{1, 2, 3}));  // the old file survives a failed rewrite

    std::string fresh = dir.File("fresh.dcx");
    fax::DcxWriter w(fresh);
    ASSERT_EQ(w.Create(), fax::DcxWriter::Status::Ok);
    Bytes head = PcxHeaderBytes(216, 0);
    for (unsigned n = 0; n < fax::kDcxSlots; ++n) {
        ASSERT_EQ(w.AppendPageHeader(head.data()), fax::DcxWriter::Status::Ok);
        ASSERT_EQ(w.RewriteTable(), fax::DcxWriter::Status::Ok);  // the page is complete
    }
    EXPECT_EQ(w.AppendPageHeader(head.data()), fax::DcxWriter::Status::TableFull);
    w.Abandon();  // a partial new fax of complete pages stays, with a complete table
    Bytes file = ReadBytes(fresh);
    ASSERT_EQ(file.size(), 4096u + 1023 * 128);
    auto t = fax::DcxTable::FromBytes(file.data(), 4096);
    EXPECT_EQ(t.PageCount(), 1023u);
    EXPECT_EQ(t.Slot(1023), 4096u + 1022 * 128);
    EXPECT_EQ(fax::ReadLe32(file.data()), fax::kDcxMagic);
}

// A failed writer keeps a new fax only with complete pages, and lists only those.
TEST(DcxWriter, AbandonKeepsOnlyCompletePages) {
    TempDir dir;
    Bytes head = PcxHeaderBytes(216, 0);
    const Bytes data(300, 0x11);
    for (unsigned complete : {0u, 1u, 2u}) {
        std::string out = dir.File("f" + std::to_string(complete) + ".dcx");
        {
            fax::DcxWriter w(out);
            ASSERT_EQ(w.Create(), fax::DcxWriter::Status::Ok);
            for (unsigned n = 0; n < complete; ++n) {
                ASSERT_EQ(w.AppendPageHeader(head.data()), fax::DcxWriter::Status::Ok);
                ASSERT_EQ(w.AppendData(data.data(), data.size()), fax::DcxWriter::Status::Ok);
                ASSERT_EQ(w.RewriteTable(), fax::DcxWriter::Status::Ok);
            }
            // A page whose data stopped half-way, as on a full disk.
            ASSERT_EQ(w.AppendPageHeader(head.data()), fax::DcxWriter::Status::Ok);
            ASSERT_EQ(w.AppendData(data.data(), 100), fax::DcxWriter::Status::Ok);
            w.Abandon();
            EXPECT_EQ(w.pages(), complete);
        }
        if (complete == 0) {
            EXPECT_FALSE(Exists(out));
            continue;
        }
        Bytes file = ReadBytes(out);
        ASSERT_EQ(file.size(), 4096 + complete * (128 + data.size()));
        auto t = fax::DcxTable::FromBytes(file.data(), 4096);
        EXPECT_EQ(t.PageCount(), complete);
    }
    // f1.dcx and f2.dcx, no temporary file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 2);
}
