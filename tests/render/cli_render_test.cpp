// tarvex-cli render: the PNG is read back by netpbm's pngtopnm and compared with the page as
// `tarvex-cli pbm` decodes it, reduced by the tests' own box filter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "box_reference.h"
#include "render/zoom.h"
#include "support/netpbm.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;

std::string Cli() { return CliPath(); }

// Runs the render command; returns its exit status, standard output and the decoded PNG.
int Render(const std::string& args, std::string& output, Picture* png, const std::string& pngPath) {
    int rc = RunCommand(Cli() + " render " + args, &output, true);
    if (rc == 0 && png) {
        EXPECT_TRUE(ReadPng(pngPath, *png));
    }
    return rc;
}

class CliRender : public testing::Test {
protected:
    void SetUp() override {
        if (RunCommand("command -v pngtopnm >/dev/null") != 0) GTEST_SKIP() << "netpbm's pngtopnm is not installed";
    }
    TempDir dir;
};

TEST_F(CliRender, PngMatchesTheBoxFilteredPage) {
    struct Case {
        const char* options;
        int desktop, command;
    };
    std::vector<Bytes> pages = {MakePcx(PatternPage(216, 700, 4), 216), MakePcx(PatternPage(120, 333, 9), 120)};
    std::string fax = dir.File("two.dcx");
    WriteBytes(fax, MakeDcx(pages));
    for (unsigned page = 1; page <= 2; ++page) {
        std::string pbm = dir.File("p.pbm");
        ASSERT_EQ(RunCommand(Cli() + " pbm '" + fax + "' " + std::to_string(page) + " '" + pbm + "'"), 0);
        Picture bits;
        Bytes pbmBytes = ReadBytes(pbm);
        ASSERT_TRUE(ReadNetpbm(std::string(pbmBytes.begin(), pbmBytes.end()), bits));
        const std::size_t bpl = std::size_t(bits.width) / 8;
        for (Case c : {Case{"", 1024, 0}, Case{"--zoom 25", 1024, 32786}, Case{"--zoom 100", 1024, 32797},
                       Case{"--desktop-width 2560", 2560, 0}, Case{"--desktop-width 1366 --zoom 60", 1366, 32793}}) {
            SCOPED_TRACE(testing::Message() << "page " << page << " options '" << c.options << "'");
            view::Zoom zoom = view::DefaultSizeAtStartup(c.desktop);
            if (c.command) {
                ASSERT_TRUE(view::ZoomForCommand(c.desktop, c.command, zoom));
            }
            std::string png = dir.File("out.png"), out;
            Picture pic;
            ASSERT_EQ(Render("'" + fax + "' " + std::to_string(page) + " '" + png + "' " + c.options, out, &pic, png), 0)
                << out;
            const int h = int(view::BandHeight(std::uint32_t(bits.height), zoom.heightFactor()));
            ASSERT_EQ(pic.width, zoom.surfaceWidth());
            ASSERT_EQ(pic.height, h);
            EXPECT_NE(out.find("height " + std::to_string(h)), std::string::npos) << out;
            int worst = 0;
            for (int y = 0; y < pic.height; ++y)
                for (int x = 0; x < pic.width; ++x) {
                    double want = box_reference::Pixel(bits.pixels, bpl, std::size_t(bits.height),
                                                       zoom.displayWidth(), h, x, y);
                    worst = std::max(worst, std::abs(int(pic.pixels[std::size_t(y) * pic.width + x]) - int(std::lround(want))));
                }
            EXPECT_LE(worst, 2);
        }
    }
}

TEST_F(CliRender, RefusalsNameTheFileAndTheReason) {
    WriteBytes(dir.File("wide.pcx"), MakePcx(PatternPage(297, 20, 1), 297));
    Bytes bad = MakePcx(PatternPage(216, 20, 1), 216);
    bad[0] = 11;
    WriteBytes(dir.File("bad.pcx"), bad);
    WriteBytes(dir.File("short.pcx"), Bytes(100, 0x0A));
    struct Case {
        const char* file;
        std::string message;
    };
    for (Case c : {Case{"wide.pcx", "Page 1 of:\n%\nis too wide: more than 296 bytes (2368 pixels) a line.\n"},
                   Case{"bad.pcx", "%\nIs not a DCX or PCX fax file: it starts with neither a DCX page table nor a PCX page header.\n"},
                   Case{"short.pcx", "%\nIs not a DCX or PCX fax file: it holds fewer than 128 bytes.\n"}}) {
        SCOPED_TRACE(c.file);
        std::string out, png = dir.File(std::string(c.file) + ".png");
        EXPECT_EQ(Render("'" + dir.File(c.file) + "' 1 '" + png + "'", out, nullptr, png), 1);
        EXPECT_EQ(out, c.message.replace(c.message.find('%'), 1, dir.File(c.file)));
        EXPECT_FALSE(Exists(png));
    }
}

TEST_F(CliRender, MissingPageShowsTheLastAndHostileHeadersStaySmall) {
    std::string fax = dir.File("three.dcx");
    WriteBytes(fax, MakeDcx({MakePcx(PatternPage(216, 50, 1), 216), MakePcx(PatternPage(216, 60, 2), 216),
                             MakePcx(PatternPage(216, 80, 3), 216)}));
    std::string out, png = dir.File("p.png");
    Picture pic;
    ASSERT_EQ(Render("'" + fax + "' 9 '" + png + "'", out, &pic, png), 0);
    EXPECT_EQ(out.substr(0, 12), "page 3 of 3\n");
    EXPECT_EQ(pic.height, 48);  // (40 - 10) * 768 / 480

    // 16,777,216 lines claimed, 3 lines present.
    Bytes huge = PcxHeaderBytes(216, 0xFFFF);
    huge[68] = huge[69] = huge[70] = 0xFF;
    huge[72] = 0x21;
    Bytes data = EncodePage(Bytes(216 * 3, 0x00), 216);
    huge.insert(huge.end(), data.begin(), data.end());
    WriteBytes(dir.File("huge.pcx"), huge);
    out.clear();
    ASSERT_EQ(Render("'" + dir.File("huge.pcx") + "' 1 '" + png + "'", out, &pic, png), 0) << out;
    EXPECT_EQ(pic.width, 1024);
    EXPECT_EQ(pic.height, 1);
    EXPECT_EQ(pic.pixels[100], 0);
}

TEST_F(CliRender, UsageErrors) {
    std::string fax = dir.File("one.pcx");
    WriteBytes(fax, MakePcx(PatternPage(216, 20, 1), 216));
    for (const char* args : {"", "X 1", "X 0 out.png", "X 1 out.png --zoom 33", "X 1 out.png --zoom",
                             "X 1 out.png --desktop-width 0", "X 1 out.png --desktop-width wide", "X 1 out.png --fast"}) {
        SCOPED_TRACE(args);
        std::string out, a = args;
        if (a.size() > 1) a.replace(0, 1, "'" + fax + "'");
        EXPECT_EQ(RunCommand(Cli() + " render " + a, &out, true), 2);
    }
}

}  // namespace
