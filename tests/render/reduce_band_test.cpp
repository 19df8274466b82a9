// Band reduction (area averaging into grey) and the tiled page surface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "box_reference.h"
#include "render/page_surface.h"
#include "support/test_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using box_reference::White;

// Output with guard bytes around and between the rows, so stray writes show.
struct Canvas {
    static constexpr std::uint8_t kGuard = 0xA5;
    int width, height;
    std::size_t stride;
    Bytes bytes;
    Canvas(int w, int h) : width(w), height(h), stride(std::size_t(w) + 7), bytes(stride * (h + 2), kGuard) {}
    std::uint8_t* rows() { return bytes.data() + stride; }
    std::uint8_t at(int x, int y) const { return bytes[stride * (y + 1) + x]; }
    bool GuardsIntact() const {
        for (std::size_t i = 0; i < stride; ++i)
            if (bytes[i] != kGuard || bytes[stride * (height + 1) + i] != kGuard) return false;
        for (int y = 0; y < height; ++y)
            for (std::size_t x = std::size_t(width); x < stride; ++x)
                if (bytes[stride * (y + 1) + x] != kGuard) return false;
        return true;
    }
};

TEST(ReduceBand, PlainBandsStayPlain) {
    struct Case {
        std::uint8_t fill;
        std::uint8_t grey;
    };
    for (Case c : {Case{0xFF, 255}, Case{0x00, 0}}) {
        for (int dw : {432, 1024, 1728, 2000}) {
            SCOPED_TRACE(testing::Message() << "fill " << int(c.fill) << " DW " << dw);
            Bytes band(216 * 100, c.fill);
            int h = int(view::BandHeight(100, 768));
            Canvas out(dw / 16 * 16, h);
            view::ReduceBand(band.data(), 216, 100, dw, h, out.rows(), out.width, out.stride);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < out.width; ++x) ASSERT_EQ(out.at(x, y), c.grey) << x << "," << y;
            EXPECT_TRUE(out.GuardsIntact());
        }
    }
}

TEST(ReduceBand, CheckerboardTurnsMidGrey) {
    // Alternate pixels across and down: half the paper is white.
    Bytes band(216 * 400);
    for (std::size_t y = 0; y < 400; ++y)
        for (std::size_t i = 0; i < 216; ++i) band[y * 216 + i] = (y % 2) ? 0x55 : 0xAA;
    struct Case { int dw, h; int tolerance; };
    // Whole ratios give exactly half; at other ratios a box straddles partial pixels, which
    // moves it by at most a quarter pixel of area (about 9 levels for 25%).
    for (Case c : {Case{864, 200, 1}, Case{1024, 240, 8}, Case{432, 81, 10}, Case{691, 134, 10}}) {
        SCOPED_TRACE(testing::Message() << "DW " << c.dw << " h " << c.h);
        Canvas out(c.dw, c.h);
        view::ReduceBand(band.data(), 216, 400, c.dw, c.h, out.rows(), out.width, out.stride);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.dw; ++x) ASSERT_NEAR(out.at(x, y), 128, c.tolerance) << x << "," << y;
        EXPECT_TRUE(out.GuardsIntact());
    }
}

TEST(ReduceBand, OneBlackPixelInTwoByTwo) {
    Bytes band(10 * 4, 0xFF);
    band[10 * 1 + 3] = 0xFF & ~0x04;  // pixel (29, 1)
    Canvas out(40, 2);
    view::ReduceBand(band.data(), 10, 4, 40, 2, out.rows(), out.width, out.stride);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 40; ++x) EXPECT_EQ(out.at(x, y), (x == 14 && y == 0) ? 191 : 255) << x << "," << y;
}

TEST(ReduceBand, EnlargingCopiesPixels) {
    // An 80-pixel page stretched to 160 x twice its lines: every pixel becomes a 2 x 2 block.
    Bytes band = testing_support::PatternPage(10, 30, 7);
    Canvas out(160, 60);
    view::ReduceBand(band.data(), 10, 30, 160, 60, out.rows(), out.width, out.stride);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 160; ++x)
            ASSERT_EQ(out.at(x, y), White(band, 10, x / 2, y / 2) ? 255 : 0) << x << "," << y;
    EXPECT_TRUE(out.GuardsIntact());
    // Same size: an exact copy.
    Canvas same(80, 30);
    view::ReduceBand(band.data(), 10, 30, 80, 30, same.rows(), same.width, same.stride);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) ASSERT_EQ(same.at(x, y), White(band, 10, x, y) ? 255 : 0);
}

TEST(ReduceBand, MatchesTheSlowBoxFilter) {
    const std::size_t bpl = 216, lines = 300;
    Bytes band = testing_support::PatternPage(bpl, lines, 3);
    struct Case { int dw, h; };
    // Default Size on 1,024, 25%, 37, 100% (vertical enlargement), and a page wider than DW.
    for (Case c : {Case{1024, int(view::BandHeight(300, 768))}, Case{432, int(view::BandHeight(300, 324))},
                   Case{640, int(view::BandHeight(300, 480))}, Case{1728, int(view::BandHeight(300, 1296))},
                   Case{1500, 77}}) {
        SCOPED_TRACE(testing::Message() << "DW " << c.dw << " h " << c.h);
        int outWidth = c.dw / 16 * 16;
        Canvas out(outWidth, c.h);
        view::ReduceBand(band.data(), bpl, lines, c.dw, c.h, out.rows(), out.width, out.stride);
        int worst = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < outWidth; ++x)
                worst = std::max(worst, std::abs(out.at(x, y) -
                                                 int(std::lround(box_reference::Pixel(band, bpl, lines, c.dw, c.h, x, y)))));
        EXPECT_LE(worst, 2);  // positions are kept to 1/256 of a pixel
        EXPECT_TRUE(out.GuardsIntact());
    }
}

TEST(ReduceBand, ColumnsPastTheDisplayWidthAreWhiteAndRowRangesAreCut) {
    Bytes band(10 * 8, 0x00);
    Canvas out(96, 3);
    view::ReduceBand(band.data(), 10, 8, 64, 3, out.rows(), out.width, out.stride);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 96; ++x) ASSERT_EQ(out.at(x, y), x < 64 ? 0 : 255);
    // Only rows 1 and 2 of 4, written from the start of the buffer.
    Bytes tall(10 * 8, 0xFF);
    for (std::size_t i = 10 * 4; i < 10 * 6; ++i) tall[i] = 0x00;  // lines 4 and 5 black: output row 2
    Canvas part(80, 2);
    view::ReduceBandRows(tall.data(), 10, 8, 80, 4, 1, 2, part.rows(), part.width, part.stride);
    EXPECT_EQ(part.at(5, 0), 255);
    EXPECT_EQ(part.at(5, 1), 0);
    EXPECT_TRUE(part.GuardsIntact());
}

TEST(PageSurface, CopyRowsAcrossTilesAndPastTheEnd) {
    view::PageSurface s;
    s.Reset(32, 40);
    for (int t = 0; t < 3; ++t) {
        auto& tile = s.AppendTile(5 + t);
        for (int r = 0; r < tile.height; ++r)
            std::fill_n(tile.grey.data() + r * 32, 32, std::uint8_t(tile.top + r));
    }
    EXPECT_EQ(s.height(), 5 + 6 + 7);
    EXPECT_EQ(s.tiles()[2].top, 11);
    EXPECT_EQ(s.bytes(), std::size_t(18 * 32));
    Bytes dst(32 * 12, 0);
    s.CopyRows(9, 12, dst.data(), 32);  // rows 9..20: 9 of them on the surface, 3 past its end
    for (int i = 0; i < 12; ++i) {
        std::uint8_t want = 9 + i < 18 ? std::uint8_t(9 + i) : 255;
        EXPECT_EQ(dst[i * 32], want) << i;
        EXPECT_EQ(dst[i * 32 + 31], want) << i;
    }
    ASSERT_NE(s.Row(17), nullptr);
    EXPECT_EQ(s.Row(17)[0], 17);
    EXPECT_EQ(s.Row(18), nullptr);
    EXPECT_EQ(s.Row(-1), nullptr);
    s.Clear();
    EXPECT_EQ(s.height(), 0);
    EXPECT_TRUE(s.tiles().empty());
}

}  // namespace
