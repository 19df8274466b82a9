// The page printing engine against a recording device: band sizes and rectangles, the
// row cap, the blank rule, the 3/2 stretch with both dithers (checked against a
// pixel-by-pixel reference), early ends, placement and the page loop.
#include <gtest/gtest.h>

#include <vector>

#include "print/print_engine.h"
#include "support/test_files.h"

using namespace testing_support;
using fax::print::Blit;
using fax::print::DeviceGeometry;
using fax::print::PageResult;
using fax::print::PrintOptions;
using fax::print::Rect;
using fax::print::Scaling;

namespace {

// Every draw with a copy of its whole bitmap (1 = white, one byte per pixel).
struct Recorder : fax::print::PrintDevice {
    struct DrawCall {
        int width, height;
        std::vector<std::uint8_t> pixels;
        Rect src, dst;
        Blit blit;
        bool White(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)] != 0; }
    };
    std::vector<DrawCall> draws;
    std::vector<char> events;  // 'S' start page, 'E' end page, 'D' draw
    void StartPage() override { events.push_back('S'); }
    void EndPage() override { events.push_back('E'); }
    void Draw(const fax::print::MonoBitmap& b, const Rect& src, const Rect& dst, Blit blit) override {
        events.push_back('D');
        DrawCall c{b.width, b.height, {}, src, dst, blit};
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) c.pixels.push_back(b.White(x, y) ? 1 : 0);
        draws.push_back(std::move(c));
    }
    int SourceRows() const {
        int n = 0;
        for (const auto& d : draws) n += d.height;
        return n;
    }
};

// 300 dpi Letter with a quarter-inch margin each side: 8.5 in = 2550, printable 2400.
const DeviceGeometry kLetter300{2400, 3150, 300, 300};

PrintOptions Options(Scaling scaling, bool scale, bool light = false, bool blank = false) {
    PrintOptions o;
    o.scaling = scaling;
    o.scaleToPrinter = scale;
    o.lightDither = light;
    o.printBlankPages = blank;
    return o;
}

// Pixels of a page: bit = 1 white. `pixel(x, y)` says black.
template <class F>
Bytes Page(std::size_t bpl, std::size_t rows, F black) {
    Bytes b(bpl * rows, 0xFF);
    for (std::size_t y = 0; y < rows; ++y)
        for (std::size_t x = 0; x < bpl * 8; ++x)
            if (black(x, y)) b[y * bpl + x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
    return b;
}

bool PixelWhite(const Bytes& page, std::size_t bpl, std::size_t x, std::size_t y) {
    return (page[y * bpl + x / 8] >> (7 - x % 8)) & 1u;
}

struct Printed {
    PageResult result;
    std::string message;
    Recorder device;
};

Printed PrintFile(const Bytes& file, const PrintOptions& o, const DeviceGeometry& g = kLetter300, unsigned page = 1) {
    TempDir dir;
    WriteBytes(dir.File("f.pcx"), file);
    fax::print::PrintFile pf;
    EXPECT_TRUE(pf.Open(dir.File("f.pcx")).ok);
    Printed p;
    auto outcome = fax::print::PrintPage(pf, page, o, g, p.device);
    p.result = outcome.result;
    p.message = outcome.message;
    return p;
}

Bytes Stripes(std::size_t bpl, std::size_t rows) {
    return Page(bpl, rows, [](std::size_t x, std::size_t y) { return (x / 3 + y) % 5 == 0; });
}

// The 3/2 stretch worked pixel by pixel from its description: pixels p, q become p, q, q
// (Normal) or p, p OR q, q with white = 1 (Light).
std::vector<std::uint8_t> StretchPixels(const std::vector<std::uint8_t>& in, bool light) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        std::uint8_t p = in[i], q = in[i + 1];
        out.insert(out.end(), {p, light ? static_cast<std::uint8_t>(p | q) : q, q});
    }
    return out;
}

std::vector<std::uint8_t> RowPixels(const Bytes& page, std::size_t bpl, std::size_t y) {
    std::vector<std::uint8_t> v;
    for (std::size_t x = 0; x < bpl * 8; ++x) v.push_back(PixelWhite(page, bpl, x, y));
    return v;
}

}  // namespace

// Band sizes and where each band goes, for each scaling with actual size.
TEST(PrintEngine, BandsPerScaling) {
    struct Case {
        Scaling scaling;
        int bitmapWidth, bandRows;
        Blit blit;
        Rect firstDst;
    };
    // Unprintable width 2550 - 2400 = 150, half 75; band height 11 * 300 / 135 = 24.
    const Case cases[] = {
        {Scaling::Api, 1728, 16, Blit::Stretch, {0, 0, 2400, 24}},
        {Scaling::Pre300, 2592, 24, Blit::Stretch, {0, 0, 2400, 24}},
        {Scaling::Hp300, 2592, 24, Blit::Copy, {0, 0, 2592 - 150, 24}},
    };
    const Bytes page = Stripes(216, 64);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.scaling));
        Printed p = PrintFile(MakePcx(page, 216), Options(c.scaling, false));
        EXPECT_EQ(p.result, PageResult::Printed);
        ASSERT_EQ(p.device.draws.size(), 4u) << "64 lines are four bands";
        for (std::size_t i = 0; i < 4; ++i) {
            const auto& d = p.device.draws[i];
            EXPECT_EQ(d.width, c.bitmapWidth);
            EXPECT_EQ(d.height, c.bandRows);
            EXPECT_EQ(d.blit, c.blit);
            EXPECT_EQ(d.src, (Rect{75, 0, c.bitmapWidth - 150, c.bandRows}));
            Rect dst = c.firstDst;
            dst.y = static_cast<int>(24 * i);
            EXPECT_EQ(d.dst, dst);
        }
    }
}

// The last band of a page that is not a whole number of bands.
TEST(PrintEngine, ShortLastBand) {
    const Bytes page = Stripes(216, 16 + 5);
    struct Case {
        Scaling scaling;
        int rows;        // bitmap rows of the short band
        Rect dst;
    };
    const Case cases[] = {
        {Scaling::Api, 5, {0, 24, 2400, 24 * 5 / 16}},
        {Scaling::Pre300, 5 + 2, {0, 24, 2400, 24 * 7 / 24}},  // lines 1 and 3 get an inserted row
        {Scaling::Hp300, 7, {0, 24, 2442, 7}},
    };
    for (const Case& c : cases) {
        Printed p = PrintFile(MakePcx(page, 216), Options(c.scaling, false, false, true));
        ASSERT_EQ(p.device.draws.size(), 2u);
        EXPECT_EQ(p.device.draws[1].height, c.rows);
        EXPECT_EQ(p.device.draws[1].dst, c.dst);
    }
}

TEST(PrintEngine, RowsAndBlankRule) {
    struct Case {
        std::uint16_t ymin, ymax;
        bool blankOn;
        PageResult result;
        int rowsDrawn;  // Scale to Printer: the one page bitmap's height
    };
    const Case cases[] = {
        {0, 20, false, PageResult::Printed, 21},
        {0, 19, false, PageResult::Blank, 0},
        {0, 19, true, PageResult::Printed, 20},
        {0, 4999, false, PageResult::Printed, 3000},  // cut after 3000 lines
        {0, 2999, false, PageResult::Printed, 3000},
        {10, 40, false, PageResult::Printed, 31},     // Ymin counts
        {41, 40, true, PageResult::Printed, 0},       // no rows: nothing drawn
        {41, 40, false, PageResult::Blank, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ymin) + ".." + std::to_string(c.ymax));
        Bytes file = MakePcx(Stripes(216, 5000), 216);
        file[6] = c.ymin & 0xFF;
        file[7] = c.ymin >> 8;
        file[10] = c.ymax & 0xFF;
        file[11] = c.ymax >> 8;
        Printed p = PrintFile(file, Options(Scaling::Api, true, false, c.blankOn));
        EXPECT_EQ(p.result, c.result);
        EXPECT_EQ(p.device.SourceRows(), c.rowsDrawn);
        // The same rows in bands.
        Printed b = PrintFile(file, Options(Scaling::Api, false, false, c.blankOn));
        EXPECT_EQ(b.device.SourceRows(), c.rowsDrawn);
    }
}

// Each stretched line against the reference; odd lines are followed by a copy (Normal)
// or a white row (Light).
TEST(PrintEngine, StretchAndDither) {
    // Every pair kind on every line: black-black, black-white, white-black, white-white.
    const Bytes page = Page(216, 16, [](std::size_t x, std::size_t y) {
        static const bool kPairs[8] = {true, true, true, false, false, true, false, false};
        return kPairs[(x + 2 * y) % 8];
    });
    for (bool light : {false, true}) {
        SCOPED_TRACE(light ? "light" : "normal");
        Printed p = PrintFile(MakePcx(page, 216), Options(Scaling::Hp300, false, light, true));
        ASSERT_EQ(p.device.draws.size(), 1u);
        const auto& d = p.device.draws[0];
        ASSERT_EQ(d.height, 24);
        int row = 0;
        for (std::size_t line = 0; line < 16; ++line) {
            auto expected = StretchPixels(RowPixels(page, 216, line), light);
            for (int copy = 0; copy < (line % 2 ? 2 : 1); ++copy, ++row)
                for (int x = 0; x < 2592; ++x) {
                    bool white = copy == 1 && light ? true : expected[static_cast<std::size_t>(x)] != 0;
                    ASSERT_EQ(d.White(x, row), white) << "line " << line << " row " << row << " x " << x;
                }
        }
    }
    // The rule in words: black pair keeps a black middle; white-black gets white (Light).
    auto light = StretchPixels({0, 0, 1, 0, 0, 1}, true);
    EXPECT_EQ(light, (std::vector<std::uint8_t>{0, 0, 0, 1, 1, 0, 0, 1, 1}));
}

// Odd widths carry the byte pairing into the next line: a line that starts on the second
// byte of a pair begins with the four pixels held from the previous line, and what would
// pass the row's end is dropped. Rows are cut from the stretched stream of all the lines.
TEST(PrintEngine, OddWidthKeepsThePairing) {
    const std::size_t bpl = 3;  // 24 pixels in, 36 out per line, rows of 4 bytes
    const Bytes page = Page(bpl, 16, [](std::size_t x, std::size_t y) { return (x * 7 + y * 3) % 5 < 2; });
    std::vector<std::uint8_t> all;
    for (std::size_t y = 0; y < 16; ++y) {
        auto r = RowPixels(page, bpl, y);
        all.insert(all.end(), r.begin(), r.end());
    }
    const auto stream = StretchPixels(all, false);
    Printed p = PrintFile(MakePcx(page, bpl), Options(Scaling::Hp300, false, false, true), DeviceGeometry{8, 10, 1, 135});
    ASSERT_EQ(p.device.draws.size(), 1u);
    const auto& d = p.device.draws[0];
    ASSERT_EQ(d.width, 32);
    int row = 0;
    for (std::size_t line = 0; line < 16; ++line) {
        const std::size_t start = 72 * (line / 2) + 32 * (line % 2);
        for (int copy = 0; copy < (line % 2 ? 2 : 1); ++copy, ++row)
            for (int x = 0; x < 32; ++x)
                ASSERT_EQ(d.White(x, row), stream[start + static_cast<std::size_t>(x)] != 0) << line << "," << x;
    }
}

// A run that passes the end of a line goes on at the start of the next.
TEST(PrintEngine, RunAcrossLineEnd) {
    Bytes file = PcxHeaderBytes(16, 21);  // 16 bytes, 22 rows
    Bytes data = {0xC0 | 20, 0x00};       // 20 black bytes: line 0 and 4 bytes of line 1
    for (int i = 0; i < 12; ++i) data.push_back(0x0F);
    for (int i = 0; i < 20 * 16; ++i) data.push_back(0x55);
    file.insert(file.end(), data.begin(), data.end());
    Printed p = PrintFile(file, Options(Scaling::Api, true));
    ASSERT_EQ(p.device.draws.size(), 1u);
    const auto& d = p.device.draws[0];
    for (int x = 0; x < 128; ++x) EXPECT_FALSE(d.White(x, 0));
    for (int x = 0; x < 32; ++x) EXPECT_FALSE(d.White(x, 1));
    EXPECT_EQ(d.White(32, 1), false);
    EXPECT_EQ(d.White(36, 1), true);
    EXPECT_EQ(d.White(0, 2), false);
    EXPECT_EQ(d.White(1, 2), true);
}

TEST(PrintEngine, ScaleToPrinterPlacement) {
    struct Case {
        std::size_t bpl, rows;
        DeviceGeometry g;
        Rect dst;
    };
    const Case cases[] = {
        {216, 1100, {2700, 3150, 300, 300}, {0, 0, 2592, 1650}},  // small page: 200 dpi size, not enlarged
        {216, 1100, {5400, 6300, 600, 600}, {0, 0, 5184, 3300}},
        {216, 1100, kLetter300, {0, 0, 2400, 1527}},              // 8.64 in on 8 in: shrunk to the width
        {216, 3000, {2400, 2250, 300, 300}, {0, 0, 1296, 2250}},  // height limits: half size
        {200, 1100, {1200, 3150, 300, 300}, {0, 0, 1200, 825}},   // width limits: half size
        {200, 400, {1600, 400, 200, 100}, {0, 0, 1600, 200}},     // across and down differ
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fax::print::ScaledPagePlacement(c.bpl, static_cast<std::uint32_t>(c.rows), c.g), c.dst);
        Printed p = PrintFile(MakePcx(Stripes(c.bpl, c.rows), c.bpl), Options(Scaling::Hp300, true), c.g);
        ASSERT_EQ(p.device.draws.size(), 1u);
        EXPECT_EQ(p.device.draws[0].dst, c.dst);
        EXPECT_EQ(p.device.draws[0].src, (Rect{0, 0, static_cast<int>(c.bpl * 8), static_cast<int>(c.rows)}));
    }
}

// The data ends inside the second band: bands print only when complete; a whole page
// keeps the rows it got and the rest is white.
TEST(PrintEngine, EarlyEnd) {
    const Bytes page = Page(216, 40, [](std::size_t, std::size_t) { return true; });
    Bytes file = MakePcx(page, 216);
    // All-black lines code as four runs (63 + 63 + 63 + 27) of 2 bytes: keep 20 lines and a half.
    file.resize(128 + 20 * 8 + 4);
    Printed bands = PrintFile(file, Options(Scaling::Api, false));
    EXPECT_EQ(bands.result, PageResult::Printed);
    ASSERT_EQ(bands.device.draws.size(), 1u);
    EXPECT_EQ(bands.device.draws[0].height, 16);

    Printed whole = PrintFile(file, Options(Scaling::Api, true));
    ASSERT_EQ(whole.device.draws.size(), 1u);
    const auto& d = whole.device.draws[0];
    EXPECT_EQ(d.height, 40);
    EXPECT_FALSE(d.White(100, 15));
    EXPECT_TRUE(d.White(100, 16)) << "the partly filled band is not stored";
    EXPECT_TRUE(d.White(100, 39));
}

TEST(PrintEngine, BadPages) {
    struct Case {
        Bytes file;
        PageResult result;
        std::string message;
    };
    Bytes notPcx = MakePcx(Stripes(216, 30), 216);
    notPcx[2] = 0;
    Bytes wide = MakePcx(Stripes(297, 30), 297);
    Bytes noWidth = PcxHeaderBytes(0, 29);  // no bytes per line: nothing to draw
    noWidth.resize(200, 0x55);
    const Case cases[] = {
        {notPcx, PageResult::Stop, ""},
        {noWidth, PageResult::Printed, ""},
        {wide, PageResult::Stop, "Can not print\nFILE\nIt is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide."},
    };
    for (const Case& c : cases) {
        // The dialog's own checks would refuse these as the first page, so they are page 2.
        TempDir dir;
        WriteBytes(dir.File("f.dcx"), MakeDcx({MakePcx(Stripes(216, 30), 216), c.file}));
        fax::print::PrintFile pf;
        ASSERT_TRUE(pf.Open(dir.File("f.dcx")).ok);
        Recorder device;
        auto o = fax::print::PrintPage(pf, 2, Options(Scaling::Api, true), kLetter300, device);
        EXPECT_EQ(o.result, c.result);
        std::string expected = c.message;
        if (auto at = expected.find("FILE"); at != std::string::npos) expected.replace(at, 4, dir.File("f.dcx"));
        EXPECT_EQ(o.message, expected);
        EXPECT_TRUE(device.draws.empty());
    }
}

TEST(PrintFile, OpeningChecks) {
    struct Case {
        const char* what;
        Bytes file;
        bool ok;
        unsigned pages;
        std::string message;
    };
    Bytes page = MakePcx(Stripes(216, 30), 216);
    Bytes notPcx = page;
    notPcx[0] = 11;
    Bytes at296 = MakePcx(Stripes(296, 3), 296), at297 = MakePcx(Stripes(297, 3), 297);
    const Case cases[] = {
        {"pcx", page, true, 1, ""},
        {"dcx", MakeDcx({page, page, page}), true, 3, ""},
        {"127 bytes", Bytes(page.begin(), page.begin() + 127), false, 0,
         "Can not print this file because it is not a valid dcx or pcx."},
        {"128 bytes", Bytes(page.begin(), page.begin() + 128), true, 1, ""},
        {"not pcx", notPcx, false, 0, ""},
        {"296", at296, true, 1, ""},
        {"297", at297, false, 0, "Cannot Print FILE.\nIt is too Wide (297).\n296 Bytes is the Max."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteBytes(dir.File("f"), c.file);
        fax::print::PrintFile pf;
        auto r = pf.Open(dir.File("f"));
        EXPECT_EQ(r.ok, c.ok);
        std::string expected = c.message;
        if (auto at = expected.find("FILE"); at != std::string::npos) expected.replace(at, 4, dir.File("f"));
        EXPECT_EQ(r.message, expected);
        if (c.ok) {
            EXPECT_EQ(pf.pageCount(), c.pages);
        }
    }
    fax::print::PrintFile missing;
    EXPECT_FALSE(missing.Open("/nonexistent/fax.dcx").ok);
    EXPECT_TRUE(missing.Open("/nonexistent/fax.dcx").message.empty());
}

// The page loop: a blank page leaves the started page open for the next page; abort is
// looked at after each page, the last too; a PCX prints one page.
TEST(PrintPages, LoopRules) {
    const Bytes full = MakePcx(Stripes(216, 40), 216), blank = MakePcx(Stripes(216, 12), 216);
    struct Case {
        const char* what;
        std::vector<Bytes> pages;  // empty: a PCX of `full`
        unsigned first, last;
        int abortAfter;            // pages after which the abort flag is set (-1 never)
        std::string events;
        unsigned printed, skipped;
    };
    const Case cases[] = {
        {"middle blank", {full, blank, full}, 1, 3, -1, "SDESDE", 2, 1},
        {"last blank", {full, full, blank}, 1, 3, -1, "SDESDES", 2, 1},
        {"range", {full, full, full}, 2, 3, -1, "SDESDE", 2, 0},
        {"abort after one", {full, full, full}, 1, 3, 1, "SDE", 1, 0},
        {"abort on the last", {full, full}, 1, 2, 2, "SDESDE", 2, 0},
        {"pcx", {}, 1, 3, -1, "SDE", 1, 0},
        {"pcx aborted", {}, 1, 1, 1, "SDE", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteBytes(dir.File("f"), c.pages.empty() ? full : MakeDcx(c.pages));
        fax::print::PrintFile pf;
        ASSERT_TRUE(pf.Open(dir.File("f")).ok);
        Recorder device;
        fax::print::PrintHooks hooks;
        std::vector<unsigned> shown;
        hooks.progress = [&](unsigned cur, unsigned first, unsigned last) {
            EXPECT_EQ(first, c.first);
            EXPECT_EQ(last, c.last);
            shown.push_back(cur);
        };
        hooks.aborted = [&] { return c.abortAfter >= 0 && shown.size() >= static_cast<unsigned>(c.abortAfter); };
        auto run = fax::print::PrintPages(pf, c.first, c.last, Options(Scaling::Api, true), kLetter300, device, hooks);
        EXPECT_EQ(std::string(device.events.begin(), device.events.end()), c.events);
        EXPECT_EQ(run.printed, c.printed);
        EXPECT_EQ(run.skipped, c.skipped);
        EXPECT_EQ(run.aborted, c.abortAfter >= 0);
        EXPECT_EQ(shown.front(), c.first);
    }
}

TEST(PrintOptions, FromSettingsAndGeometry) {
    struct Case {
        unsigned scaling, aspect, dither, blank;
        Scaling s;
        bool scale, light, blankOn, stretching;
    };
    const Case cases[] = {
        {1, 1, 2, 0, Scaling::Api, true, false, false, false},
        {2, 0, 1, 1, Scaling::Pre300, false, true, true, true},
        {3, 0, 2, 0, Scaling::Hp300, false, false, false, true},
        {7, 5, 0, 0, Scaling::Hp300, false, true, false, true},  // anything else: HP, actual, Light
        {1, 0, 2, 0, Scaling::Api, false, false, false, false},
    };
    for (const Case& c : cases) {
        auto o = PrintOptions::FromSettings(c.scaling, c.aspect, c.dither, c.blank);
        EXPECT_EQ(o.scaling, c.s);
        EXPECT_EQ(o.scaleToPrinter, c.scale);
        EXPECT_EQ(o.lightDither, c.light);
        EXPECT_EQ(o.printBlankPages, c.blankOn);
        EXPECT_EQ(o.Stretching(), c.stretching);
    }
    // 600 dpi across, 300 down, 4,900 printable: 8.5 in = 300 + 4800 = 5100.
    DeviceGeometry g{4900, 3000, 600, 300};
    EXPECT_EQ(g.Height11Inches(), 3300);
    EXPECT_EQ(g.Width85Inches(), 5100);
    EXPECT_EQ(g.UnprintableWidth(), 200);
    EXPECT_EQ(g.HalfUnprintable(), 100);
    EXPECT_EQ(g.BandHeight(), 24);
    EXPECT_EQ((DeviceGeometry{2551, 3000, 300, 300}).HalfUnprintable(), 0);  // -1 / 2 truncates
    EXPECT_EQ((DeviceGeometry{2400, 3000, 600, 600}).BandHeight(), 48);
    EXPECT_FALSE((DeviceGeometry{2400, 3000, 0, 300}).Valid());
    EXPECT_FALSE((DeviceGeometry{0, 3000, 300, 300}).Valid());
}
