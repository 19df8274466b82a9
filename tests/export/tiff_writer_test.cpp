#include <gtest/gtest.h>

#include <cstring>

#include "export/mh_codes.h"
#include "export/tiff_writer.h"
#include "export_test_util.h"
#include "support/test_files.h"

using namespace testing_support;
using namespace exporttest;
using fax::ExportError;

namespace {

constexpr std::size_t kW = 216;

// A PCX whose header claims `lines` lines (long index when needed) and whose data is `data`.
Bytes PcxWithData(std::uint16_t bpl, std::uint32_t lines, const Bytes& data) {
    Bytes f = PcxHeaderBytes(bpl, static_cast<std::uint16_t>(lines - 1));
    if (lines > 65536) {
        std::uint32_t index = lines - 1;
        for (int k = 0; k < 4; ++k) f[68 + k] = static_cast<std::uint8_t>(index >> (8 * k));
        f[72] = 0x21;
    }
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

// Where the first page's block is and what it says, read straight from the bytes.
struct Block {
    std::uint32_t at;
    std::uint32_t Entry(const Bytes& t, std::uint16_t tag, std::uint16_t* type = nullptr) const {
        for (unsigned i = 0; i < Le16(t, at + 16); ++i) {
            std::size_t e = at + 18 + 12 * i;
            if (Le16(t, e) != tag) continue;
            if (type) *type = Le16(t, e + 2);
            return Le16(t, e + 2) == 3 ? Le16(t, e + 8) : Le32(t, e + 8);
        }
        ADD_FAILURE() << "no tag " << tag;
        return 0;
    }
};

TEST(TiffRowCode, KnownRowsGiveTheirBytes) {
    struct Case {
        const char* name;
        Bytes row;
        Bytes code;
    };
    Bytes white(kW, 0xFF), black(kW, 0x00), blackFirst(kW, 0xFF);
    blackFirst[0] = 0x7F;
    const Case cases[] = {
        {"all white: EOL, make-up 1728, white 0, fill", white, {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00}},
        {"all black: white 0, black 1728, black 0, one fill bit", black, {0x00, 0x80, 0xAC, 0xC0, 0x14, 0x76}},
        {"black first pixel: starts with white 0", blackFirst, {0x00, 0x80, 0xAC, 0x32, 0x58, 0x00}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        TiffRun run = RunTiffWriter(MakePcx(c.row, kW), dir);
        ASSERT_EQ(run.result, 1) << c.name;
        EXPECT_EQ(Slice(run.tiff, 8, c.code.size()), c.code) << c.name;
        // The strip is exactly that one row; the block follows at once.
        EXPECT_EQ(Le32(run.tiff, 4), 8 + c.code.size() + 16) << c.name;
    }
}

TEST(TiffRowCode, CodesAreTheStandardOnes) {
    // A few codes as printed in the standard, first bit on the left.
    auto bits = [](fax::MhCode c) {
        std::string s;
        for (unsigned i = 0; i < c.length; ++i) s += (c.bits >> i) & 1 ? '1' : '0';
        return s;
    };
    using fax::MhColour;
    EXPECT_EQ(bits(fax::TerminatingCode(MhColour::White, 0)), "00110101");
    EXPECT_EQ(bits(fax::TerminatingCode(MhColour::White, 63)), "00110100");
    EXPECT_EQ(bits(fax::TerminatingCode(MhColour::Black, 0)), "0000110111");
    EXPECT_EQ(bits(fax::TerminatingCode(MhColour::Black, 2)), "11");
    EXPECT_EQ(bits(fax::MakeUpCode(MhColour::White, 64)), "11011");
    EXPECT_EQ(bits(fax::MakeUpCode(MhColour::White, 1728)), "010011011");
    EXPECT_EQ(bits(fax::MakeUpCode(MhColour::Black, 1728)), "0000001100101");
    EXPECT_EQ(bits(fax::RunCode(MhColour::White, 1728)), "01001101100110101");
    // Every code ends in a distinct state: no code is a prefix of another of its colour.
    for (unsigned c = 0; c < 2; ++c) {
        std::vector<std::string> all;
        for (unsigned r = 0; r < 64; ++r) all.push_back(bits(fax::TerminatingCode(MhColour(c), r)));
        for (unsigned r = 64; r <= 1728; r += 64) all.push_back(bits(fax::MakeUpCode(MhColour(c), r)));
        for (std::size_t i = 0; i < all.size(); ++i)
            for (std::size_t j = 0; j < all.size(); ++j)
                if (i != j) {
                    EXPECT_NE(all[j].rfind(all[i], 0), 0u) << c << ": " << all[i] << " / " << all[j];
                }
    }
}

TEST(TiffRowCode, EveryRunLengthDecodesInLibtiff) {
    // Rows with a white run of every length 0..1728 then black, and the reverse, so
    // every terminating and make-up code of both colours occurs; plus noise rows.
    const std::size_t lines = 2 * 1729 + 200;
    Bytes page(lines * kW, 0xFF);
    auto setBlack = [&](std::size_t y, std::size_t x) { page[y * kW + x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8))); };
    for (std::size_t r = 0; r <= 1728; ++r) {
        for (std::size_t x = r; x < 1728; ++x) setBlack(r, x);  // white r, black 1728 - r
        for (std::size_t x = 0; x < r; ++x) setBlack(1729 + r, x);  // white 0, black r, white rest
    }
    std::uint32_t s = 7;
    for (std::size_t y = 2 * 1729; y < lines; ++y)
        for (std::size_t x = 0; x < kW; ++x) {
            s = s * 1103515245u + 12345u;
            page[y * kW + x] = static_cast<std::uint8_t>(s >> 16);
        }
    TempDir dir;
    TiffRun run = RunTiffWriter(MakePcx(page, kW), dir);
    ASSERT_EQ(run.result, 1);
    bool ok = false;
    auto pages = DecodeTiff(dir.File("out.tif"), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].length, lines);
    EXPECT_TRUE(pages[0].rows == AsTiffRows(page, kW));
}

TEST(TiffLayout, OnePageHeaderStripAndBlock) {
    Bytes page = PatternPage(kW, 300, 3);
    TempDir dir;
    TiffRun run = RunTiffWriter(MakePcx(page, kW), dir);
    ASSERT_EQ(run.result, 1);
    const Bytes& t = run.tiff;
    EXPECT_EQ(Slice(t, 0, 4), (Bytes{'I', 'I', 42, 0}));
    std::uint32_t ifd = Le32(t, 4);
    Block b{ifd - 16};
    EXPECT_EQ(b.at % 2, 0u);
    EXPECT_EQ(t.size(), b.at + 190u);
    EXPECT_EQ(Le32(t, b.at), 204u);
    EXPECT_EQ(Le32(t, b.at + 4), 1u);
    EXPECT_EQ(Le32(t, b.at + 8), 196u);
    EXPECT_EQ(Le32(t, b.at + 12), 1u);
    EXPECT_EQ(Le16(t, b.at + 16), 14u);
    struct Want {
        std::uint16_t tag, type;
        std::uint32_t value;
    };
    const Want want[] = {
        {256, 4, 1728}, {257, 4, 300}, {258, 3, 1}, {259, 3, 3}, {262, 3, 0}, {266, 3, 2}, {273, 4, 8},
        {277, 3, 1}, {278, 3, 300}, {279, 4, b.at - 8}, {282, 5, b.at}, {283, 5, b.at + 8}, {292, 4, 0},
        {296, 3, 2},
    };
    for (unsigned i = 0; i < 14; ++i) {
        std::size_t e = b.at + 18 + 12 * i;
        EXPECT_EQ(Le16(t, e), want[i].tag) << i;
        EXPECT_EQ(Le16(t, e + 2), want[i].type) << i;
        EXPECT_EQ(Le32(t, e + 4), 1u) << i;
        EXPECT_EQ(Le32(t, e + 8), want[i].value) << i;
    }
    EXPECT_EQ(Le32(t, b.at + 186), 0u);
    // Each row: EOL word plus whole words ending in fill.
    bool ok = false;
    auto pages = DecodeTiff(dir.File("out.tif"), ok);
    ASSERT_TRUE(ok);
    EXPECT_FLOAT_EQ(pages[0].xres, 204.f);
    EXPECT_FLOAT_EQ(pages[0].yres, 196.f);
    EXPECT_TRUE(pages[0].rows == AsTiffRows(page, kW));
}

TEST(TiffLayout, ThreePagesLinkedInOrderAndReadByTiffinfo) {
    std::vector<Bytes> pixels = {PatternPage(kW, 120, 1), PatternPage(kW, 77, 2), PatternPage(200, 50, 3)};
    Bytes dcx = MakeDcx({MakePcx(pixels[0], kW), MakePcx(pixels[1], kW), MakePcx(pixels[2], 200)});
    TempDir dir;
    TiffRun run = RunTiffWriter(dcx, dir);
    ASSERT_EQ(run.result, 1);
    const Bytes& t = run.tiff;
    std::vector<std::uint32_t> rows;
    std::uint32_t expectStrip = 8;
    for (std::uint32_t ifd = Le32(t, 4); ifd != 0; ifd = Le32(t, ifd - 16 + 186)) {
        Block b{ifd - 16};
        ASSERT_LT(b.at + 190u, t.size() + 1);
        EXPECT_EQ(b.Entry(t, 273), expectStrip);
        EXPECT_EQ(b.Entry(t, 279), b.at - expectStrip);
        rows.push_back(b.Entry(t, 257));
        expectStrip = b.at + 190;
    }
    EXPECT_EQ(rows, (std::vector<std::uint32_t>{120, 77, 50}));
    EXPECT_EQ(expectStrip, t.size());  // the last block ends the file

    bool ok = false;
    auto pages = DecodeTiff(dir.File("out.tif"), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_TRUE(pages[0].rows == AsTiffRows(pixels[0], kW));
    EXPECT_TRUE(pages[1].rows == AsTiffRows(pixels[1], kW));
    // 200 bytes wide: a full 1,728-pixel row whose last 128 pixels are white.
    EXPECT_EQ(pages[2].width, 1728u);
    EXPECT_TRUE(pages[2].rows == AsTiffRows(pixels[2], 200));
    for (std::size_t y = 0; y < 50; ++y)
        for (std::size_t x = 200; x < 216; ++x) ASSERT_EQ(pages[2].rows[y * kW + x], 0) << y;

    // An independent reader, decoding every strip, has nothing to complain about, and
    // tiffcp copies the pages to the same pixels.
    std::string out;
    EXPECT_EQ(RunCommand("tiffinfo -D '" + dir.File("out.tif") + "' 2>&1 >/dev/null", &out), 0);
    EXPECT_EQ(out, "");
    ASSERT_EQ(RunCommand("tiffcp -c none '" + dir.File("out.tif") + "' '" + dir.File("copy.tif") + "'"), 0);
    auto copies = DecodeTiff(dir.File("copy.tif"), ok);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(ok && copies.size() == 3 && copies[i].rows == pages[i].rows) << i;
    out.clear();
    RunCommand("tiffinfo '" + dir.File("out.tif") + "'", &out);
    EXPECT_NE(out.find("CCITT Group 3"), std::string::npos) << out;
    EXPECT_NE(out.find("Image Width: 1728 Image Length: 50"), std::string::npos) << out;
}

TEST(TiffErrors, RefusedInputs) {
    Bytes dcxNoPages(4096, 0);
    dcxNoPages[0] = 0xB1, dcxNoPages[1] = 0x68, dcxNoPages[2] = 0xDE, dcxNoPages[3] = 0x3A;
    Bytes dcxPastEnd = MakeDcx({MakePcx(Bytes(kW * 2, 0xFF), kW)});
    dcxPastEnd[8] = 0x00, dcxPastEnd[9] = 0x00, dcxPastEnd[10] = 0x10;  // page 2 at 1 MB
    Bytes notRle = MakePcx(Bytes(kW, 0xFF), kW);
    notRle[2] = 0;
    Bytes wrongMaker = MakePcx(Bytes(kW, 0xFF), kW);
    wrongMaker[0] = 11;
    struct Case {
        const char* name;
        Bytes file;
        ExportError error;
        std::uint32_t pagesWritten;
    };
    const Case cases[] = {
        {"100-byte file", Bytes(100, 0x0A), ExportError::ShortFile, 0},
        {"BytesPerLine 217", MakePcx(Bytes(217 * 3, 0xFF), 217), ExportError::TooWide, 0},
        {"BytesPerLine 512", MakePcx(Bytes(512, 0xFF), 512), ExportError::TooWide, 0},
        {"encoding not 1", notRle, ExportError::NotRunLength, 0},
        {"manufacturer not 10", wrongMaker, ExportError::NotRunLength, 0},
        {"DCX without pages", dcxNoPages, ExportError::NotRunLength, 0},
        {"DCX page past the end", dcxPastEnd, ExportError::ShortPage, 1},
        // No bytes per line: nothing to decode, however many lines the header claims.
        {"BytesPerLine 0", PcxWithData(0, 16777216, Bytes(4000, 0xFF)), ExportError::DamagedPage, 0},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fax::TiffWriter w;
        TiffRun run = RunTiffWriter(c.file, dir.File("in.dcx"), dir.File("out.tif"), w);
        EXPECT_EQ(run.result, 0) << c.name;
        EXPECT_EQ(run.error, c.error) << c.name;
        EXPECT_EQ(w.pagesWritten(), c.pagesWritten) << c.name;
        // What was written stays: at least the header.
        EXPECT_GE(run.tiff.size(), 8u) << c.name;
    }
    // BytesPerLine 216 is the widest accepted.
    TempDir dir;
    EXPECT_EQ(RunTiffWriter(MakePcx(Bytes(kW * 2, 0xFF), kW), dir).result, 1);
}

TEST(TiffDecode, DataEndingEarlyGivesAShorterPage) {
    const std::uint16_t bpl = 20;
    Bytes full = PatternPage(bpl, 6, 5);
    for (auto& b : full) b &= 0xBF;  // plain bytes only, so positions are simple
    struct Case {
        const char* name;
        std::size_t dataBytes;
        std::uint32_t rows;
    };
    // The header claims 10 lines in every case.
    const Case cases[] = {
        {"ends mid-row", 4 * bpl + 7, 5},
        {"ends at a row boundary: one more row, copy of the last", 4 * bpl, 5},
        {"no data at all: one row of white", 0, 1},
    };
    for (const Case& c : cases) {
        Bytes data(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(c.dataBytes));
        TempDir dir;
        TiffRun run = RunTiffWriter(PcxWithData(bpl, 10, data), dir);
        ASSERT_EQ(run.result, 1) << c.name;
        bool ok = false;
        auto pages = DecodeTiff(dir.File("out.tif"), ok);
        ASSERT_TRUE(ok) << c.name;
        ASSERT_EQ(pages[0].length, c.rows) << c.name;
        // The last row: the bytes that came, the previous row's bytes after them.
        Bytes expect(c.rows * bpl, 0xFF);
        std::memcpy(expect.data(), full.data(), c.dataBytes);
        std::size_t last = (c.rows - 1) * bpl;
        for (std::size_t i = c.dataBytes; i < c.rows * bpl; ++i)
            expect[i] = last >= bpl ? expect[i - bpl] : 0xFF;
        EXPECT_TRUE(pages[0].rows == AsTiffRows(expect, bpl)) << c.name;
    }
}

TEST(TiffDecode, RunsAtRowEndsAndPieceBoundaries) {
    const std::uint16_t bpl = 16;
    // A run starting 4 bytes before the row end, ending there or going on past it by
    // one or by six: its repeats past the row end are dropped and the next row begins
    // with the byte after the run's value.
    for (const std::uint8_t count : {4, 5, 10}) {
        SCOPED_TRACE(count);
        Bytes data(12, 0x55);
        data.push_back(static_cast<std::uint8_t>(0xC0 | count));
        data.push_back(0x00);  // black
        for (int i = 0; i < 16; ++i) data.push_back(static_cast<std::uint8_t>(0x10 + i));
        Bytes expect(12, 0x55);
        expect.insert(expect.end(), 4, 0x00);
        for (int i = 0; i < 16; ++i) expect.push_back(static_cast<std::uint8_t>(0x10 + i));
        TempDir dir;
        TiffRun run = RunTiffWriter(PcxWithData(bpl, 2, data), dir);
        ASSERT_EQ(run.result, 1);
        bool ok = false;
        auto pages = DecodeTiff(dir.File("out.tif"), ok);
        ASSERT_TRUE(ok);
        EXPECT_TRUE(pages[0].rows == AsTiffRows(expect, bpl));
    }
    // A count byte as the last byte of the first 2,048-byte piece, its value in the next.
    {
        // File offsets 128..2046: a run of three (so the run below starts a row), plain bytes.
        Bytes d = {0xC3, 0x33};
        d.resize(2047 - 128, 0x33);
        d.push_back(0xC5);  // offset 2047
        d.push_back(0x00);  // offset 2048: the next piece
        d.resize(d.size() + 11, 0x44);
        Bytes px(1920, 0x33);
        px.insert(px.end(), 5, 0x00);
        px.resize(px.size() + 11, 0x44);
        ASSERT_EQ(px.size() % bpl, 0u);
        std::size_t lines = px.size() / bpl;
        TempDir dir;
        TiffRun run = RunTiffWriter(PcxWithData(bpl, static_cast<std::uint32_t>(lines), d), dir);
        ASSERT_EQ(run.result, 1);
        bool ok = false;
        auto pages = DecodeTiff(dir.File("out.tif"), ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(pages[0].length, lines);
        EXPECT_TRUE(pages[0].rows == AsTiffRows(px, bpl));
    }
}

TEST(TiffLayout, PagesTallerThan65535RowsKeepOneStrip) {
    // A SHORT holds 65,535: the row count of the one strip is a LONG from 65,536 rows on.
    for (const auto& [lines, type] : {std::pair<std::uint32_t, std::uint16_t>{65535, 3}, {65536, 4}, {70001, 4}}) {
        SCOPED_TRACE(lines);
        const std::uint16_t bpl = 10;
        Bytes data;
        for (std::uint32_t y = 0; y < lines; ++y) {
            data.push_back(0xCA);
            data.push_back(y == lines - 1 ? 0x00 : 0xFF);  // the very last row black
        }
        TempDir dir;
        TiffRun run = RunTiffWriter(PcxWithData(bpl, lines, data), dir);
        ASSERT_EQ(run.result, 1);
        Block b{Le32(run.tiff, 4) - 16};
        std::uint16_t written = 0;
        EXPECT_EQ(b.Entry(run.tiff, 278, &written), lines);
        EXPECT_EQ(written, type);
        EXPECT_EQ(b.Entry(run.tiff, 257), lines);
        bool ok = false;
        auto pages = DecodeTiff(dir.File("out.tif"), ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(pages[0].length, lines);
        EXPECT_EQ(pages[0].rows[(lines - 1) * kW], 0xFF);
        EXPECT_EQ(pages[0].rows[(lines - 2) * kW], 0x00);
    }
}

// A disk that fails on request.
class FaultyDisk : public fax::TiffWriter {
public:
    int readsLeft = -1;             // successful reads before one fails (-1: never)
    std::int64_t writeBudget = -1;  // bytes written before a write fails (-1: never)

protected:
    std::int64_t ReadInput(fax::File& in, void* buf, std::size_t size) override {
        if (readsLeft == 0) return -1;
        if (readsLeft > 0) --readsLeft;
        return TiffWriter::ReadInput(in, buf, size);
    }
    bool WriteOutput(fax::File& out, const void* data, std::size_t size) override {
        if (writeBudget >= 0) {
            if (static_cast<std::int64_t>(size) > writeBudget) {
                writeBudget = 0;
                return false;
            }
            writeBudget -= static_cast<std::int64_t>(size);
        }
        return TiffWriter::WriteOutput(out, data, size);
    }
};

TEST(TiffErrors, FailingDiskGivesTheFirstFailuresCode) {
    // Three white rows code to 18 bytes; 400 rows to 2,400, more than one ~2 KB piece.
    Bytes small = MakePcx(Bytes(kW * 3, 0xFF), kW);
    Bytes large = MakePcx(Bytes(kW * 400, 0xFF), kW);
    // The first 2,048-byte piece ends with a count byte whose value is in the next.
    Bytes split(2047 - 128, 0x33);
    split.push_back(0xC5);
    split.push_back(0x00);
    split.resize(split.size() + 200, 0x44);
    Bytes splitFax = PcxWithData(16, 200, split);
    Bytes plainFax = PcxWithData(16, 200, Bytes(3000, 0x44));
    struct Case {
        const char* name;
        Bytes file;
        int readsLeft;
        std::int64_t writeBudget;
        ExportError error;
    };
    const Case cases[] = {
        {"header write", small, -1, 0, ExportError::HeaderWriteFailed},
        {"page's last bytes", small, -1, 8 + 10, ExportError::PageFlushFailed},
        {"directory block (then 2030 is not kept)", small, -1, 8 + 18 + 8 + 100, ExportError::BlockWriteFailed},
        {"coded piece while coding", large, -1, 8 + 100, ExportError::RowWriteFailed},
        {"read in the data", plainFax, 1, -1, ExportError::ReadFailed},
        {"read between count byte and value", splitFax, 1, -1, ExportError::ReadFailedInRun},
        {"first read", small, 0, -1, ExportError::ShortFile},
    };
    for (const Case& c : cases) {
        TempDir dir;
        FaultyDisk w;
        w.readsLeft = c.readsLeft;
        w.writeBudget = c.writeBudget;
        TiffRun run = RunTiffWriter(c.file, dir.File("in.pcx"), dir.File("out.tif"), w);
        EXPECT_EQ(run.result, 0) << c.name;
        EXPECT_EQ(run.error, c.error) << c.name;
    }
    // The same object converts cleanly afterwards: every conversion starts afresh.
    TempDir dir;
    FaultyDisk w;
    w.writeBudget = 0;
    EXPECT_EQ(RunTiffWriter(small, dir.File("in.pcx"), dir.File("out.tif"), w).result, 0);
    w.writeBudget = -1;
    TiffRun again = RunTiffWriter(small, dir.File("in.pcx"), dir.File("out.tif"), w);
    EXPECT_EQ(again.result, 1);
    EXPECT_EQ(again.error, ExportError::None);
}

TEST(TiffLayout, DirectoryAtAnOddPositionIsAligned) {
    TempDir dir;
    fax::File out = fax::File::Create(dir.File("odd.tif"));
    const std::uint8_t junk[9] = {'I', 'I', 42, 0, 0, 0, 0, 0, 0x5A};
    ASSERT_TRUE(out.WriteAll(junk, sizeof junk));
    fax::TiffWriter w;
    ASSERT_EQ(w.WriteTiffDirectory(out), 1);
    out.Close();
    Bytes t = ReadBytes(dir.File("odd.tif"));
    ASSERT_EQ(t.size(), 10u + 190u);
    EXPECT_EQ(t[9], 0);
    EXPECT_EQ(Le32(t, 4), 10u + 16u);
    EXPECT_EQ(Le32(t, 10), 204u);
}

}  // namespace

// Offsets are 32 bits: a TIFF never grows past its limit, it fails before.
TEST(TiffErrors, NeverPassesItsSizeLimit) {
    Bytes fax = MakeDcx({MakePcx(PatternPage(kW, 500, 1), kW), MakePcx(PatternPage(kW, 300, 2), kW)});
    TempDir dir;
    fax::TiffWriter unlimited;
    TiffRun whole = RunTiffWriter(fax, dir.File("in.dcx"), dir.File("whole.tif"), unlimited);
    ASSERT_EQ(whole.result, 1);
    const std::uint64_t size = whole.tiff.size();
    struct Case {
        std::uint64_t limit;
        int result;
    } cases[] = {{size, 1}, {size - 1, 0}, {size - 190, 0}, {size / 2, 0}, {9, 0}};
    for (const Case& c : cases) {
        fax::TiffWriter w(c.limit);
        TiffRun run = RunTiffWriter(fax, dir.File("in.dcx"), dir.File("out.tif"), w);
        EXPECT_EQ(run.result, c.result) << c.limit;
        EXPECT_EQ(run.error, c.result ? ExportError::None : ExportError::TooLarge) << c.limit;
        EXPECT_LE(run.tiff.size(), c.limit) << c.limit;
        if (c.result) {
            EXPECT_TRUE(run.tiff == whole.tiff);
        }
    }
}
