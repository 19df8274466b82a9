#include <gtest/gtest.h>

#include "formats/fax_reader.h"
#include "support/test_files.h"

using namespace testing_support;
using fax::PageError;

namespace {

struct Loaded {
    PageError layout = PageError::None;
    PageError page = PageError::None;
    fax::FaxReader::Page info;
    unsigned pageCount = 0;
};

Loaded Load(const Bytes& file, unsigned number = 1) {
    TempDir dir;
    std::string path = dir.File("x.dcx");
    WriteBytes(path, file);
    fax::FaxReader r;
    Loaded l;
    if (!r.Open(path)) {
        ADD_FAILURE() << "cannot open";
        return l;
    }
    l.layout = r.ReadLayout();
    l.pageCount = r.pageCount();
    if (l.layout == PageError::None) l.page = r.LoadPage(number, l.info);
    return l;
}

// Decodes every line of the page with bands of `band` lines.
Bytes DecodeAll(const Bytes& file, std::size_t band, unsigned number = 1) {
    TempDir dir;
    std::string path = dir.File("x.pcx");
    WriteBytes(path, file);
    fax::FaxReader r;
    EXPECT_TRUE(r.Open(path));
    EXPECT_EQ(r.ReadLayout(), PageError::None);
    fax::FaxReader::Page page;
    EXPECT_EQ(r.LoadPage(number, page), PageError::None);
    fax::PageLineReader lines(r.file(), page);
    Bytes out, buf(band * page.bytesPerLine);
    for (;;) {
        auto b = lines.Next(buf.data(), band);
        out.insert(out.end(), buf.begin(), buf.begin() + b.lines * page.bytesPerLine);
        if (b.end || b.lines == 0) break;
    }
    return out;
}

Bytes WithBytesPerLine(std::uint16_t bpl) {
    Bytes f = PcxHeaderBytes(bpl, 9);
    f.resize(400, 0xFF);
    return f;
}

}  // namespace

TEST(FaxReader, HeaderLimitsAndMessages) {
    struct Case {
        std::uint16_t bpl;
        PageError error;
    } cases[] = {{296, PageError::None}, {297, PageError::TooWide}, {512, PageError::TooWide},
                 {65535, PageError::TooWide}, {10, PageError::None}, {9, PageError::TooNarrow},
                 {0, PageError::TooNarrow}};
    for (const auto& c : cases) EXPECT_EQ(Load(WithBytesPerLine(c.bpl)).page, c.error) << c.bpl;
    EXPECT_EQ(fax::PageErrorText(PageError::TooWide),
              "Can not view file. It is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide.");
    EXPECT_EQ(fax::PageErrorText(PageError::TooNarrow), "UnZipFaxToScreen Error 6");
    EXPECT_EQ(fax::PageErrorText(PageError::ShortFile), "UnZipFaxToScreen Error 1");
}

TEST(FaxReader, ShortAndDamagedFiles) {
    EXPECT_EQ(Load({}).layout, PageError::ShortFile);
    EXPECT_EQ(Load(Bytes(127, 0x0A)).layout, PageError::ShortFile);

    Bytes bad = PcxHeaderBytes(216, 9);
    bad[2] = 0;
    EXPECT_EQ(Load(bad).page, PageError::NotRunLength);

    // DCX with a first slot of zero: no page to show.
    Bytes dcx = MakeDcx({});
    EXPECT_EQ(Load(dcx).pageCount, 0u);
    EXPECT_EQ(Load(dcx).page, PageError::ShortHeader);

    // A page offset past the end of the file.
    Bytes past = MakeDcx({MakePcx(PatternPage(216, 5, 1), 216)});
    fax::WriteLe32(&past[4], 1u << 30);
    EXPECT_EQ(Load(past).page, PageError::ShortHeader);
}

TEST(FaxReader, PageLocationFallsBackToLastPage) {
    std::vector<Bytes> pages;
    for (unsigned i = 0; i < 3; ++i) pages.push_back(MakePcx(PatternPage(216, 10 + i, i), 216));
    Loaded l = Load(MakeDcx(pages), 5);
    EXPECT_EQ(l.pageCount, 3u);
    EXPECT_EQ(l.page, PageError::None);
    EXPECT_EQ(l.info.number, 3u);
    EXPECT_EQ(l.info.lines, 12u);
}

TEST(FaxReader, HostileLineCountIsBoundedByTheData) {
    Bytes f = PcxHeaderBytes(216, 0);
    f[72] = 0x21;
    fax::WriteLe32(&f[68], 16777215);  // claims 16,777,216 lines
    Bytes data = EncodePage(PatternPage(216, 3, 4), 216);
    f.insert(f.end(), data.begin(), data.end());
    Loaded l = Load(f);
    ASSERT_EQ(l.page, PageError::None);
    EXPECT_EQ(l.info.lines, 16777216u);
    // The data can hold at most 63 bytes per two input bytes.
    EXPECT_LE(l.info.decodableLines, (data.size() / 2 + 1) * 63 / 216 + 1);
    EXPECT_EQ(DecodeAll(f, 2800), PatternPage(216, 3, 4));
}

TEST(FaxReader, DecodesForeignPagesWhateverTheBandSize) {
    // Another writer's page: runs span line ends and the 2,048-byte read pieces.
    const std::size_t bpl = 216, lines = 400;
    Bytes pixels(bpl * lines, 0xFF);
    for (std::size_t y = 0; y < lines; y += 3)
        for (std::size_t x = 200; x < 216 + 30 && y * bpl + x < pixels.size(); ++x) pixels[y * bpl + x] = 0x00;
    Bytes f = PcxHeaderBytes(bpl, lines - 1);
    for (std::size_t i = 0; i < pixels.size();) {
        std::size_t run = 1;
        while (i + run < pixels.size() && run < 63 && pixels[i + run] == pixels[i]) ++run;
        f.push_back(static_cast<std::uint8_t>(0xC0 | run));
        f.push_back(pixels[i]);
        i += run;
    }
    for (std::size_t band : {1u, 7u, 2800u}) EXPECT_EQ(DecodeAll(f, band), pixels) << band;
}

TEST(FaxReader, DataEndingEarlyGivesTheLinesItHolds) {
    Bytes f = PcxHeaderBytes(216, 999);  // promises 1,000 lines
    Bytes pixels = PatternPage(216, 500, 9);
    Bytes data = EncodePage(pixels, 216);
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(0x00);  // half a line more
    EXPECT_EQ(DecodeAll(f, 2800), pixels);
}
