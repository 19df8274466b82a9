// Page to bitmap file and back, checked byte by byte against the file layouts.
#include <gtest/gtest.h>

#include <filesystem>

#include "zoomedit/bitmap_file.h"
#include "zoomedit/bmp_fixtures.h"

using namespace testing_support;
using namespace bmpfix;

namespace {

struct Paths {
    TempDir dir;
    std::string pcx = dir.File("page.pcx");
    std::string bmp = dir.File("zoomedit.bmp");
    std::string out = dir.File("out.pcx");
};

std::vector<std::string> Texts(const fax::ConversionResult& r) {
    std::vector<std::string> t;
    for (const auto& m : r.messages) t.push_back(m.text);
    return t;
}

}  // namespace

TEST(PageToBitmap, WritesTheOneBitLayoutInStrips) {
    struct Case {
        std::size_t bpl, lines;
    };
    // A fax page; an odd width whose rows are padded; the widest page; three strips.
    for (Case c : {Case{216, 2200}, Case{13, 5}, Case{296, 3}, Case{20, 6001}}) {
        SCOPED_TRACE(std::to_string(c.bpl) + "x" + std::to_string(c.lines));
        Paths p;
        Bytes pixels = PatternPage(c.bpl, c.lines, 3);
        WriteBytes(p.pcx, MakePcx(pixels, c.bpl));
        auto r = fax::PageToBitmap(p.pcx, p.bmp);
        ASSERT_TRUE(r.ok) << ::testing::PrintToString(Texts(r));
        EXPECT_EQ(r.status, fax::BitmapStatus::Done);
        EXPECT_TRUE(r.messages.empty());
        Bytes f = ReadBytes(p.bmp);
        const std::size_t row = (c.bpl + 3) / 4 * 4;
        ASSERT_EQ(f.size(), 62 + row * c.lines);
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(Le32(f, 2), f.size());
        EXPECT_EQ(Le32(f, 6), 0u);
        EXPECT_EQ(Le32(f, 10), 62u);
        EXPECT_EQ(Le32(f, 14), 40u);
        EXPECT_EQ(Le32(f, 18), c.bpl * 8);
        EXPECT_EQ(Le32(f, 22), c.lines);
        EXPECT_EQ(Le16(f, 26), 1);
        EXPECT_EQ(Le16(f, 28), 1);
        EXPECT_EQ(Le32(f, 30), 0u);
        EXPECT_EQ(Le32(f, 34), row * c.lines);
        for (std::size_t at = 38; at < 54; ++at) EXPECT_EQ(f[at], 0) << at;
        EXPECT_EQ(Bytes(f.begin() + 54, f.begin() + 62), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
        EXPECT_EQ(PixelsOfOurBmp(f, c.bpl, c.lines), pixels);
        for (std::size_t y = 0; y < c.lines; ++y)
            for (std::size_t pad = c.bpl; pad < row; ++pad) ASSERT_EQ(f[62 + y * row + pad], 0);
    }
    Paths p;
    WriteBytes(p.pcx, MakePcx(PatternPage(216, 2200, 1), 216));
    ASSERT_TRUE(fax::PageToBitmap(p.pcx, p.bmp).ok);
    EXPECT_EQ(ReadBytes(p.bmp).size(), 475262u);
}

TEST(PageToBitmap, FailuresSayWhyAndWriteNothing) {
    auto page = [](std::uint16_t bpl, std::uint16_t ymax, std::size_t dataLines) {
        Bytes f = PcxHeaderBytes(bpl, ymax);
        Bytes data = bpl ? EncodePage(Bytes(bpl * dataLines, 0xFF), bpl) : Bytes(10, 0xFF);
        f.insert(f.end(), data.begin(), data.end());
        return f;
    };
    auto longClaim = [&](std::uint16_t bpl) {
        Bytes f = page(bpl, 0, 4);
        f[68] = 0xFF, f[69] = 0xFF, f[70] = 0xFF, f[71] = 0x00, f[72] = 0x21;  // 16,777,216 lines
        return f;
    };
    Bytes wrongMaker = page(216, 9, 10);
    wrongMaker[0] = 0x0B;
    Bytes notRle = page(216, 9, 10);
    notRle[2] = 0;
    struct Case {
        const char* name;
        Bytes file;
        fax::BitmapStatus status;
        std::vector<std::string> messages;  // "%s" stands for the page's path
    };
    const std::string satus = "Creating Bitmap Error Satus<";
    const std::string wide = "Cannot View %s.\nIt is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide.";
    const Case cases[] = {
        {"empty file", {}, fax::BitmapStatus::Failed, {satus + "0>"}},
        {"short header", Bytes(50, 0x0A), fax::BitmapStatus::NotPcx, {"%s\nis not dcx or PCX_ZE.", satus + "7>"}},
        {"not a PCX maker", wrongMaker, fax::BitmapStatus::NotPcx, {"%s\nis not dcx or PCX_ZE.", satus + "7>"}},
        {"not run-length", notRle, fax::BitmapStatus::NotPcx, {"%s\nis not dcx or PCX_ZE.", satus + "7>"}},
        {"297 bytes wide", page(297, 9, 10), fax::BitmapStatus::Failed, {wide, satus + "0>"}},
        {"no width", page(0, 9, 0), fax::BitmapStatus::NoBitmap, {satus + "15>"}},
        {"data ends early", page(216, 99, 98), fax::BitmapStatus::Failed, {satus + "0>"}},
        {"claim the data cannot hold, largest bitmap", longClaim(252), fax::BitmapStatus::Failed, {satus + "0>"}},
        {"too large for a bitmap file", longClaim(253), fax::BitmapStatus::NoMemory,
         {"Not enough memory to run Zoom/Edit Fax.", satus + "13>"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Paths p;
        WriteBytes(p.pcx, c.file);
        auto r = fax::PageToBitmap(p.pcx, p.bmp);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, c.status);
        std::vector<std::string> expected;
        for (std::string m : c.messages) {
            if (auto at = m.find("%s"); at != std::string::npos) m.replace(at, 2, p.pcx);
            expected.push_back(m);
        }
        EXPECT_EQ(Texts(r), expected);
        EXPECT_FALSE(Exists(p.bmp));
        for (const auto& m : r.messages) {
            EXPECT_EQ(m.title, m.text.ends_with("PCX_ZE.") ? "Vantorel" : "Vantorel Zoom/Edit Fax");
            EXPECT_EQ(m.icon, fax::MessageIcon::Error);
        }
    }
    Paths p;
    auto r = fax::PageToBitmap(p.dir.File("missing.pcx"), p.bmp);
    EXPECT_EQ(Texts(r), std::vector<std::string>{"Can not Open:\n" + p.dir.File("missing.pcx")});
    EXPECT_FALSE(Exists(p.bmp));
    WriteBytes(p.pcx, page(296, 9, 10));  // the widest page still converts
    EXPECT_TRUE(fax::PageToBitmap(p.pcx, p.bmp).ok);
}

TEST(BitmapToPage, OurBitmapComesBackAsTheSamePage) {
    Paths p;
    Bytes pixels = PatternPage(216, 2200, 5);
    std::fill_n(pixels.begin(), 216, 0xFF);  // a row of 216 equal bytes
    pixels[216] = 0xC5;                       // a lone byte that needs a count
    pixels[217] = 0x00;
    WriteBytes(p.pcx, MakePcx(pixels, 216));
    ASSERT_TRUE(fax::PageToBitmap(p.pcx, p.bmp).ok);
    WriteBytes(p.out, {});
    std::filesystem::permissions(p.out, std::filesystem::perms(0604));  // a replaced page keeps its mode
    auto r = fax::BitmapToPage(p.bmp, p.out);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.messages.empty());
    Bytes f = ReadBytes(p.out);
    Bytes expectedHeader(128, 0);
    expectedHeader[0] = 0x0A, expectedHeader[1] = 2, expectedHeader[2] = 1, expectedHeader[3] = 1;
    expectedHeader[8] = 1727 & 0xFF, expectedHeader[9] = 1727 >> 8;    // Xmax
    expectedHeader[10] = 2199 & 0xFF, expectedHeader[11] = 2199 >> 8;  // Ymax
    expectedHeader[12] = 200, expectedHeader[14] = 200;
    expectedHeader[65] = 1;
    expectedHeader[66] = 216;
    expectedHeader[68] = 2199 & 0xFF, expectedHeader[69] = 2199 >> 8;  // LongLineIndex
    expectedHeader[72] = 0x21;
    ASSERT_GE(f.size(), 138u);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 128), expectedHeader);
    EXPECT_EQ(Bytes(f.begin() + 128, f.begin() + 138), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDB, 0xFF, 0xC1, 0xC5}));
    EXPECT_EQ(Bytes(f.begin() + 128, f.end()), EncodePage(pixels, 216));
    EXPECT_EQ(std::filesystem::status(p.out).permissions(), std::filesystem::perms(0604));
}

namespace {

// Colours with a known side of the half-luminance threshold.
struct Colour {
    Rgb rgb;
    bool white;
};
const Colour kColours[] = {
    {{0, 0, 0}, false},     {{255, 255, 255}, true}, {{255, 0, 0}, false},     {{0, 255, 0}, true},
    {{0, 0, 255}, false},   {{255, 255, 0}, true},   {{128, 128, 128}, true},  {{127, 127, 127}, false},
};
constexpr int kWidth = 37;  // four whole bytes; the last five pixels are dropped
constexpr int kHeight = 5;
int ColourAt(int x, int y) { return (x / 3 + 2 * y) % 8; }

Bytes ExpectedPixels(const std::function<bool(int x, int y)>& white) {
    Bytes page(4 * kHeight, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < 32; ++x)
            if (white(x, y)) page[y * 4 + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    return page;
}

std::uint32_t Packed(const Rgb& c, int rBits, int gBits, int bBits) {
    return (std::uint32_t(c.r >> (8 - rBits)) << (gBits + bBits)) | (std::uint32_t(c.g >> (8 - gBits)) << bBits) |
           std::uint32_t(c.b >> (8 - bBits));
}

}  // namespace

TEST(BitmapToPage, ColoursBecomeBlackOrWhiteByLuminance) {
    std::vector<Rgb> eight;
    for (const Colour& c : kColours) eight.push_back(c.rgb);
    std::vector<Rgb> scattered(256, Rgb{0, 0, 0});  // the colours at indices 200..207
    for (int i = 0; i < 8; ++i) scattered[200 + i] = kColours[i].rgb;
    auto byColour = [](int x, int y) { return kColours[ColourAt(x, y)].white; };
    auto index = [](int x, int y) { return std::uint32_t(ColourAt(x, y)); };
    auto rgb = [](int x, int y) { return Packed(kColours[ColourAt(x, y)].rgb, 8, 8, 8); };
    // 5-5-5: 128 keeps 16 of 31 steps (white), 127 only 15 (black); the answers stand.
    auto rgb555 = [](int x, int y) { return Packed(kColours[ColourAt(x, y)].rgb, 5, 5, 5); };
    auto rgb565 = [](int x, int y) { return Packed(kColours[ColourAt(x, y)].rgb, 5, 6, 5); };
    auto checker = [](int x, int y) { return std::uint32_t((x + y) % 2); };
    struct Case {
        const char* name;
        BmpPicture bitmap;
        std::function<bool(int, int)> white;
    };
    auto picture = [](std::uint32_t header, unsigned bpp, std::uint32_t compression, std::vector<Rgb> palette,
                   std::function<std::uint32_t(int, int)> value) {
        BmpPicture s;
        s.headerSize = header, s.width = kWidth, s.height = kHeight, s.bpp = bpp, s.compression = compression;
        s.palette = std::move(palette), s.value = std::move(value);
        return s;
    };
    BmpPicture topDown = picture(40, 24, 0, {}, rgb);
    topDown.height = -kHeight;
    BmpPicture noFileHeader = picture(40, 8, 0, scattered, [](int x, int y) { return 200u + ColourAt(x, y); });
    noFileHeader.fileHeader = false;
    BmpPicture fields565 = picture(40, 16, 3, {}, rgb565);
    fields565.masks = {0xF800, 0x07E0, 0x001F};
    BmpPicture v5 = picture(124, 32, 3, {}, [rgb](int x, int y) { return rgb(x, y) << 8; });  // R G B A in the top bytes
    v5.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    BmpPicture v4 = picture(108, 32, 0, {}, rgb);
    BmpPicture core = picture(12, 1, 0, {{0, 0, 0}, {255, 255, 255}}, checker);
    const Case cases[] = {
        {"1-bit, black then white", picture(40, 1, 0, {{0, 0, 0}, {255, 255, 255}}, checker),
         [](int x, int y) { return (x + y) % 2 == 1; }},
        {"1-bit, white then black", picture(40, 1, 0, {{255, 255, 255}, {0, 0, 0}}, checker),
         [](int x, int y) { return (x + y) % 2 == 0; }},
        {"1-bit, two light colours", picture(40, 1, 0, {{255, 255, 0}, {0, 255, 0}}, checker), [](int, int) { return true; }},
        {"1-bit, core header", core, [](int x, int y) { return (x + y) % 2 == 1; }},
        {"4-bit palette", picture(40, 4, 0, eight, index), byColour},
        {"8-bit palette, scattered, no file header", noFileHeader, byColour},
        {"16-bit 5-5-5", picture(40, 16, 0, {}, rgb555), byColour},
        {"16-bit 5-6-5 bit fields", fields565, byColour},
        {"24-bit", picture(40, 24, 0, {}, rgb), byColour},
        {"24-bit top-down", topDown, byColour},
        {"32-bit", picture(40, 32, 0, {}, rgb), byColour},
        {"32-bit, later header", v4, byColour},
        {"32-bit bit fields, latest header", v5, byColour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Paths p;
        WriteBytes(p.bmp, MakeBmp(c.bitmap));
        auto r = fax::BitmapToPage(p.bmp, p.out);
        ASSERT_TRUE(r.ok) << ::testing::PrintToString(Texts(r));
        PcxPage page = ReadPcx(p.out);
        EXPECT_EQ(page.bytesPerLine, 4u);
        EXPECT_EQ(page.lines, std::size_t(kHeight));
        EXPECT_EQ(Le16(page.header, 8), kWidth - 1);
        EXPECT_EQ(page.pixels, ExpectedPixels(c.white));
    }
}

TEST(BitmapToPage, WidthsRowsAndRefusals) {
    // 1700 pixels: 216-byte stored rows, of which 212 bytes are kept.
    BmpPicture narrow;
    narrow.width = 1700, narrow.height = 3, narrow.palette = {{0, 0, 0}, {255, 255, 255}};
    narrow.value = [](int x, int y) { return std::uint32_t((x / 8 + y) % 3 == 0); };
    {
        Paths p;
        Bytes f = MakeBmp(narrow);
        for (std::size_t row = 0; row < 3; ++row)
            for (std::size_t pad = 212; pad < 216; ++pad) f[62 + row * 216 + pad] = 0x5A;  // bits 1696.. and padding
        WriteBytes(p.bmp, f);
        ASSERT_TRUE(fax::BitmapToPage(p.bmp, p.out).ok);
        PcxPage page = ReadPcx(p.out);
        EXPECT_EQ(page.bytesPerLine, 212u);
        EXPECT_EQ(Le16(page.header, 8), 1699);
        Bytes expected(212 * 3);
        for (std::size_t y = 0; y < 3; ++y)
            for (std::size_t i = 0; i < 212; ++i) expected[y * 212 + i] = (i + y) % 3 == 0 ? 0xFF : 0x00;
        EXPECT_EQ(page.pixels, expected);
    }
    auto with = [&](std::function<void(BmpPicture&)> change) {
        BmpPicture s = narrow;
        s.width = 64;
        change(s);
        return MakeBmp(s);
    };
    Bytes truncated = with([](BmpPicture&) {});
    truncated.resize(truncated.size() - 1);
    Bytes hugeClaim = with([](BmpPicture& s) { s.height = 2; });
    hugeClaim[22] = 0xFF, hugeClaim[23] = 0xFF, hugeClaim[24] = 0xFF, hugeClaim[25] = 0x00;  // 16,777,215 rows
    Bytes notBmp(200, 0x41);
    struct Case {
        const char* name;
        Bytes file;
        const char* message;  // nullptr: converts
    };
    const Case cases[] = {
        {"2,375 pixels (296 bytes)", with([](BmpPicture& s) { s.width = 2375; }), nullptr},
        {"2,376 pixels (297 bytes)", with([](BmpPicture& s) { s.width = 2376; }), "Bitmap is too wide"},
        {"8 pixels", with([](BmpPicture& s) { s.width = 8; }), nullptr},
        {"7 pixels", with([](BmpPicture& s) { s.width = 7; }), "ReadDibBitmapInfo failed"},
        {"run-length 8-bit", with([](BmpPicture& s) { s.bpp = 8, s.compression = 1; }), "ReadDibBitmapInfo failed"},
        {"run-length 4-bit", with([](BmpPicture& s) { s.bpp = 4, s.compression = 2; }), "ReadDibBitmapInfo failed"},
        {"bit fields at 24 bits", with([](BmpPicture& s) { s.bpp = 24, s.compression = 3; }), "ReadDibBitmapInfo failed"},
        {"2 bits per pixel", with([](BmpPicture& s) { s.bpp = 2; }), "ReadDibBitmapInfo failed"},
        {"64-byte header", with([](BmpPicture& s) { s.headerSize = 64; }), "ReadDibBitmapInfo failed"},
        {"no rows", with([](BmpPicture& s) { s.height = 0; }), "ReadDibBitmapInfo failed"},
        {"one byte short", truncated, "ReadDibBitmapInfo failed"},
        {"rows the file does not hold", hugeClaim, "ReadDibBitmapInfo failed"},
        {"not a bitmap", notBmp, "ReadDibBitmapInfo failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Paths p;
        WriteBytes(p.bmp, c.file);
        WriteBytes(p.out, {1, 2, 3});  // an older file stays when the conversion fails
        auto r = fax::BitmapToPage(p.bmp, p.out);
        EXPECT_EQ(r.ok, c.message == nullptr);
        if (c.message) {
            EXPECT_EQ(Texts(r), std::vector<std::string>{c.message});
            EXPECT_EQ(r.messages[0].title, "Vantorel Zoom/Edit Fax");
            EXPECT_EQ(ReadBytes(p.out), (Bytes{1, 2, 3}));
        }
    }
    Paths p;
    EXPECT_EQ(Texts(fax::BitmapToPage(p.bmp, p.out)), std::vector<std::string>{"OpenFile failed"});
    WriteBytes(p.bmp, with([](BmpPicture&) {}));
    const std::string noFolder = p.dir.File("none/out.pcx");
    EXPECT_EQ(Texts(fax::BitmapToPage(p.bmp, noFolder)), std::vector<std::string>{"Dib to Pcx can not Create:\n" + noFolder});
}
