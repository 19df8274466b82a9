// Zoom geometry: display width, height factor and band heights for every zoom command.
#include <gtest/gtest.h>

#include "render/zoom.h"

namespace {

struct Expected {
    int command;
    int dw1024, z1024;  // on a 1,024-pixel desktop
    int dw2560, z2560;  // on a 2,560-pixel desktop
};

// Worked by hand from D = 1728 * p / 100: DW = W + trunc(D - W), Z = trunc(0.75 W) + trunc((D - W) / 1.333333).
const Expected kTable[] = {
    {32785, 1024, 768, 1728, 1296},  // Default Size: as wide as the desktop, at most 1,728
    {32786, 432, 324, 432, 324},     // 25%
    {32787, 640, 480, 640, 480},     // 37: D = 639.36
    {32788, 692, 519, 692, 519},     // 40%: D = 691.2
    {32789, 726, 545, 726, 545},     // 42%
    {32790, 761, 571, 761, 571},     // 44%
    {32791, 795, 597, 795, 597},     // 46%
    {32792, 864, 648, 864, 648},     // 50%
    {32793, 1036, 777, 1037, 778},   // 60%: D = 1036.8, truncation of D - W differs by sign
    {32794, 1296, 972, 1296, 972},   // 75%
    {32795, 1382, 1036, 1383, 1037}, // 80%: D = 1382.4
    {32796, 1555, 1166, 1556, 1167}, // 90%: D = 1555.2
    {32797, 1728, 1296, 1728, 1296}, // 100%
};

TEST(Zoom, EveryCommandOnTwoDesktops) {
    for (const Expected& e : kTable) {
        SCOPED_TRACE(e.command);
        view::Zoom z;
        ASSERT_TRUE(view::ZoomForCommand(1024, e.command, z));
        EXPECT_EQ(z.desktopWidth, 1024);
        EXPECT_EQ(z.displayWidth(), e.dw1024);
        EXPECT_EQ(z.heightFactor(), e.z1024);
        EXPECT_EQ(z.surfaceWidth(), e.dw1024 / 16 * 16);
        EXPECT_EQ(z.surfaceWidth() % 16, 0);
        EXPECT_LE(z.surfaceWidth(), z.displayWidth());
        ASSERT_TRUE(view::ZoomForCommand(2560, e.command, z));
        EXPECT_EQ(z.displayWidth(), e.dw2560);
        EXPECT_EQ(z.heightFactor(), e.z2560);
    }
}

TEST(Zoom, OffsetsAreSinglePrecision) {
    view::Zoom z;
    ASSERT_TRUE(view::ZoomForCommand(1024, 32787, z));
    EXPECT_EQ(z.widthOffset, 639.36f - 1024.0f);
    EXPECT_EQ(z.heightOffset, (639.36f - 1024.0f) / 1.3333330154f);
}

TEST(Zoom, UnknownCommandsAreRefused) {
    view::Zoom z = view::DefaultSizeAtStartup(1024);
    for (int id : {0, 32784, 32798, 65000}) {
        view::Zoom before = z;
        EXPECT_FALSE(view::ZoomForCommand(1024, id, z)) << id;
        EXPECT_EQ(z.widthOffset, before.widthOffset);
    }
}

TEST(Zoom, DefaultSizeAtStartupMatchesTheMenu) {
    for (int w : {800, 1024, 1280, 1366, 1728, 1920, 2560, 3840}) {
        SCOPED_TRACE(w);
        view::Zoom start = view::DefaultSizeAtStartup(w), menu;
        ASSERT_TRUE(view::ZoomForCommand(w, 32785, menu));
        EXPECT_EQ(start.displayWidth(), std::min(w, 1728));
        EXPECT_EQ(menu.displayWidth(), start.displayWidth());
        EXPECT_EQ(start.heightFactor(), menu.heightFactor());
        // The page is never taller per line than at 100%, never wider than a fax.
        EXPECT_LE(start.displayWidth(), 1728);
    }
    EXPECT_EQ(view::DefaultSizeAtStartup(1024).heightFactor(), 768);
    EXPECT_EQ(view::DefaultSizeAtStartup(1366).heightFactor(), 1024);  // 0.75 x 1,366 = 1,024.5, cut
    EXPECT_EQ(view::DefaultSizeAtStartup(2560).heightFactor(), 1296);
    EXPECT_EQ(view::DefaultSizeAtStartup(2560).heightOffset, -832.0f * 0.7500001788f);
}

TEST(Zoom, BandAndPageHeights) {
    struct Case {
        std::uint32_t lines;
        int z;
        std::int64_t band;
        std::int64_t page;
    };
    const Case cases[] = {
        {2800, 1296, 2835, 2835},    // a full band at 100%
        {2800, 768, 1680, 1680},     // a full band at Default Size on 1,024 pixels
        {100, 768, 60, 60},          // (50 - 12) * 768 / 480
        {1, 768, 0, 0},
        {7, 768, 4, 4},              // (3 - 0) * 1.6
        {9, 480, 3, 3},              // (4 - 1): n / 8 and (n / 2) / 4 agree
        {88000, 768, 52800, 52800},  // taller than 65,535 lines: no 16-bit wrap
        {131072, 1296, 132710, 132710},
        {16777216, 1296, 16986931, 16986931},
        {1000, 0, 0, 0},
        {1000, -5, 0, 0},            // a nonsense factor never gives a negative height
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lines << " lines, Z " << c.z);
        EXPECT_EQ(view::BandHeight(c.lines, c.z), c.band);
        EXPECT_EQ(view::PredictedHeight(c.lines, c.z), c.page);
    }
    // Whole bands add up to the prediction; the last band's rounding only ever loses rows.
    for (std::uint32_t lines : {2801u, 5599u, 8400u, 88000u}) {
        std::int64_t sum = 0;
        for (std::uint32_t left = lines; left; left -= std::min(left, 2800u))
            sum += view::BandHeight(std::min(left, 2800u), 1036);
        EXPECT_LE(sum, view::PredictedHeight(lines, 1036)) << lines;
        EXPECT_GE(sum + static_cast<std::int64_t>(lines / 2800 + 1), view::PredictedHeight(lines, 1036)) << lines;
    }
}

}  // namespace
