// RenderPage: the whole display path from file to grey surface, with damaged and hostile pages.
#include <gtest/gtest.h>

#include <cstring>

#include "render/page_surface.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;

struct Rendered {
    view::RenderOutcome outcome;
    view::PageSurface surface;
    std::vector<std::int64_t> bandTops;
};

Rendered RenderFile(const std::string& path, unsigned page, const view::Zoom& zoom) {
    Rendered r;
    fax::FaxReader reader;
    EXPECT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.ReadLayout(), fax::PageError::None);
    r.outcome = view::RenderPage(reader, page, zoom, r.surface,
                                 [&](const view::PageSurface::Tile& t) { r.bandTops.push_back(t.top); });
    return r;
}

// A header of our own: any width, and the long line index when asked.
Bytes Header(std::uint16_t bpl, std::uint32_t lineCount, bool longIndex) {
    Bytes h = PcxHeaderBytes(bpl, static_cast<std::uint16_t>(lineCount - 1));
    if (longIndex) {
        std::uint32_t v = lineCount - 1;
        for (int k = 0; k < 4; ++k) h[68 + k] = static_cast<std::uint8_t>(v >> (8 * k));
        h[72] = 0x21;
    }
    return h;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(RenderPage, ShortDataShowsWhatDecoded) {
    TempDir dir;
    Bytes pixels = PatternPage(216, 500, 2);
    std::string path = dir.File("short.pcx");
    WriteBytes(path, Concat(Header(216, 1000, false), EncodePage(pixels, 216)));
    Rendered r = RenderFile(path, 1, view::DefaultSizeAtStartup(1024));
    ASSERT_TRUE(r.outcome.ok());
    EXPECT_EQ(r.outcome.lines, 500u);
    EXPECT_EQ(r.outcome.height, view::BandHeight(500, 768));  // (250 - 62) * 1.6 = 300
    EXPECT_EQ(r.outcome.height, 300);
    EXPECT_GT(r.outcome.predictedHeight, r.outcome.height);
    EXPECT_EQ(r.surface.height(), 300);
    EXPECT_EQ(r.surface.width(), 1024);
    EXPECT_EQ(r.surface.displayWidth(), 1024);
}

TEST(RenderPage, WidthLimits) {
    struct Case {
        std::uint16_t bpl;
        fax::PageError error;
    };
    TempDir dir;
    for (Case c : {Case{296, fax::PageError::None}, Case{297, fax::PageError::TooWide},
                   Case{512, fax::PageError::TooWide}, Case{10, fax::PageError::None},
                   Case{9, fax::PageError::TooNarrow}}) {
        SCOPED_TRACE(c.bpl);
        std::string path = dir.File("w" + std::to_string(c.bpl) + ".pcx");
        WriteBytes(path, MakePcx(PatternPage(c.bpl, 40, 1), c.bpl));
        Rendered r = RenderFile(path, 1, view::DefaultSizeAtStartup(1024));
        EXPECT_EQ(r.outcome.error, c.error);
        if (c.error == fax::PageError::None) {
            EXPECT_EQ(r.outcome.height, view::BandHeight(40, 768));
            EXPECT_EQ(r.surface.height(), r.outcome.height);
        } else {
            EXPECT_TRUE(r.surface.tiles().empty());
            EXPECT_EQ(r.surface.height(), 0);
        }
    }
    Rendered wide = RenderFile(dir.File("w297.pcx"), 1, view::DefaultSizeAtStartup(1024));
    ASSERT_EQ(view::RenderFailureTexts(wide.outcome).size(), 1u);
    EXPECT_EQ(view::RenderFailureTexts(wide.outcome)[0],
              "Can not view file. It is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide.");
}

TEST(RenderPage, HostileLineCountAllocatesOnlyWhatDecodes) {
    TempDir dir;
    std::string path = dir.File("huge.pcx");
    Bytes data = EncodePage(Bytes(216 * 3, 0x00), 216);  // 3 black lines
    WriteBytes(path, Concat(Header(216, 16777216, true), data));
    Rendered r = RenderFile(path, 1, view::DefaultSizeAtStartup(1024));
    ASSERT_TRUE(r.outcome.ok());
    // The header claims 16,777,216 lines; the file cannot hold more than a few hundred.
    EXPECT_LT(r.outcome.predictedHeight, 1000);
    EXPECT_EQ(r.outcome.lines, 3u);
    EXPECT_EQ(r.outcome.height, 1);  // trunc((1 - 0) * 768 / 480)
    EXPECT_EQ(r.surface.height(), 1);
    EXPECT_LE(r.surface.bytes(), std::size_t(1024));
    EXPECT_EQ(r.surface.Row(0)[500], 0);
}

TEST(RenderPage, MissingPageShowsTheLastListedPage) {
    TempDir dir;
    std::vector<Bytes> pages;
    for (unsigned i = 0; i < 3; ++i) pages.push_back(MakePcx(PatternPage(216, 100 + 50 * i, i + 1), 216));
    std::string path = dir.File("three.dcx");
    WriteBytes(path, MakeDcx(pages));
    view::Zoom zoom = view::DefaultSizeAtStartup(1024);
    Rendered third = RenderFile(path, 3, zoom);
    Rendered fifth = RenderFile(path, 5, zoom);
    ASSERT_TRUE(fifth.outcome.ok());
    EXPECT_EQ(fifth.outcome.page, 3u);
    EXPECT_EQ(fifth.outcome.height, view::BandHeight(200, 768));
    ASSERT_EQ(fifth.surface.height(), third.surface.height());
    for (std::int64_t y = 0; y < third.surface.height(); ++y)
        ASSERT_EQ(std::memcmp(fifth.surface.Row(y), third.surface.Row(y), 1024), 0) << y;
    Rendered first = RenderFile(path, 1, zoom);
    EXPECT_EQ(first.outcome.page, 1u);
    EXPECT_EQ(first.outcome.height, 60);
}

TEST(RenderPage, DamagedFilesGiveTheirNumberedErrors) {
    TempDir dir;
    // A DCX whose first slot points past the end: the page header cannot be read (Error 3).
    Bytes dcx = MakeDcx({MakePcx(PatternPage(216, 10, 1), 216)});
    dcx[4] = 0xFF, dcx[5] = 0xFF, dcx[6] = 0x0F;
    WriteBytes(dir.File("past.dcx"), dcx);
    // A page whose Encoding is not run-length (Error 4).
    Bytes pcx = MakePcx(PatternPage(216, 10, 1), 216);
    pcx[2] = 0;
    WriteBytes(dir.File("enc.pcx"), pcx);
    // A DCX with no pages at all (Error 3).
    WriteBytes(dir.File("empty.dcx"), MakeDcx({}));
    struct Case {
        const char* name;
        const char* text;
    };
    for (Case c : {Case{"past.dcx", "UnZipFaxToScreen Error 3"}, Case{"enc.pcx", "UnZipFaxToScreen Error 4"},
                   Case{"empty.dcx", "UnZipFaxToScreen Error 3"}}) {
        SCOPED_TRACE(c.name);
        Rendered r = RenderFile(dir.File(c.name), 1, view::DefaultSizeAtStartup(1024));
        EXPECT_FALSE(r.outcome.ok());
        ASSERT_EQ(view::RenderFailureTexts(r.outcome).size(), 1u);
        EXPECT_EQ(view::RenderFailureTexts(r.outcome)[0], c.text);
        EXPECT_TRUE(r.surface.tiles().empty());
    }
}

TEST(RenderPage, BandsArriveInOrderAndTallPagesDoNotWrap) {
    TempDir dir;
    // 70,000 lines (beyond 16 bits) of a repeating pattern, so the file stays small.
    const std::uint32_t lines = 70000;
    Bytes stripe = PatternPage(216, 100, 5);
    Bytes coded = EncodePage(stripe, 216), data;
    for (std::uint32_t i = 0; i < lines / 100; ++i) data.insert(data.end(), coded.begin(), coded.end());
    std::string path = dir.File("long.pcx");
    WriteBytes(path, Concat(Header(216, lines, true), data));
    view::Zoom zoom;
    ASSERT_TRUE(view::ZoomForCommand(1024, 32786, zoom));  // 25%: Z 324
    Rendered r = RenderFile(path, 1, zoom);
    ASSERT_TRUE(r.outcome.ok());
    EXPECT_EQ(r.outcome.lines, lines);
    EXPECT_EQ(r.outcome.predictedHeight, view::PredictedHeight(lines, 324));
    EXPECT_GT(r.outcome.predictedHeight, 65535 * 324 / 1280);  // no 16-bit wrap of the line count
    // 25 full bands of 708 rows and one of 0 lines left over.
    EXPECT_EQ(r.bandTops.size(), 25u);
    for (std::size_t i = 0; i < r.bandTops.size(); ++i) EXPECT_EQ(r.bandTops[i], std::int64_t(i) * view::BandHeight(2800, 324));
    EXPECT_EQ(r.surface.height(), r.outcome.height);
    EXPECT_EQ(r.surface.width(), 432);
}

}  // namespace

// The surface has one cap; a page that would need more is refused before anything is
// allocated, with the display's memory message.
TEST(RenderPage, SurfaceBeyondItsCapGetsTheMemoryMessage) {
    struct Fit {
        std::int64_t height;
        int width;
        std::size_t cap;
        bool fits;
    } fits[] = {{10, 100, 1000, true}, {10, 100, 999, false}, {11, 100, 1000, false},
                {0, 100, 0, true},     {3, 0, 0, true},        {std::int64_t{1} << 40, 1728, std::size_t{1} << 30, false}};
    for (const Fit& f : fits) EXPECT_EQ(view::SurfaceFits(f.height, f.width, f.cap), f.fits) << f.height << "x" << f.width;
    EXPECT_GT(view::SurfaceByteCap(), 0u);
    EXPECT_LE(view::SurfaceByteCap(), std::size_t{1} << 30);

    TempDir dir;
    std::string path = dir.File("page.pcx");
    WriteBytes(path, MakePcx(PatternPage(10, 2000, 3), 10));
    const view::Zoom zoom = view::DefaultSizeAtStartup(1024);
    Rendered free = RenderFile(path, 1, zoom);
    ASSERT_TRUE(free.outcome.ok());
    const std::size_t need = static_cast<std::size_t>(free.outcome.predictedHeight) * free.surface.width();
    for (std::size_t cap : {need, need - 1}) {
        fax::FaxReader reader;
        ASSERT_TRUE(reader.Open(path));
        ASSERT_EQ(reader.ReadLayout(), fax::PageError::None);
        view::PageSurface surface;
        view::RenderOutcome o = view::RenderPage(reader, 1, zoom, surface, {}, cap);
        EXPECT_EQ(o.ok(), cap == need) << cap;
        EXPECT_EQ(surface.empty(), cap != need) << cap;
        if (cap != need) {
            EXPECT_EQ(view::RenderFailureTexts(o), (std::vector<std::string>{
                                                       "Can not view this file because of a memory problem.",
                                                       "UnZipFaxToScreen Error 7"}));
        }
    }
}
