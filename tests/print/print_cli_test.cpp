// tarvex-cli print: sheets as netpbm sees them, where an all-black page lands for each
// setting, and the command's refusals.
#include <gtest/gtest.h>

#include "print_test_util.h"
#include "support/test_files.h"

using namespace testing_support;

namespace {

struct Box {
    int width = 0, height = 0;  // of the sheet
    int x0 = -1, y0 = -1, x1 = -1, y1 = -1;  // black pixels' bounding box (inclusive)
    int blackRows = 0;
};

// A sheet as netpbm accepts it, and where its black pixels are.
Box Measure(const std::string& path) {
    std::string info;
    EXPECT_EQ(RunCommand("pnmfile '" + path + "'", &info), 0);
    EXPECT_NE(info.find("PBM raw"), std::string::npos) << info;
    const printtest::Pixels p = printtest::ReadPnm(path);
    Box box;
    box.width = p.width;
    box.height = p.height;
    for (int y = 0; y < p.height; ++y) {
        bool any = false;
        for (int x = 0; x < p.width; ++x)
            if (p.Black(x, y)) {
                any = true;
                box.x0 = box.x0 < 0 ? x : std::min(box.x0, x);
                box.x1 = std::max(box.x1, x);
                box.y0 = box.y0 < 0 ? y : box.y0;
                box.y1 = y;
            }
        box.blackRows += any;
    }
    return box;
}

std::string Cli(const std::string& args, int* status = nullptr) {
    std::string out;
    int s = RunCommand(CliPath() + " print " + args, &out, true);
    if (status) *status = s;
    return out;
}

}  // namespace

// An all-black 1728 x 40 page: its ink shows where and how large each setting prints it.
TEST(PrintCli, WhereAnAllBlackPageLands) {
    TempDir dir;
    Bytes black(216 * 40, 0x00);
    WriteBytes(dir.File("black.pcx"), MakePcx(black, 216));
    struct Case {
        const char* options;
        int width, height, blackRows;
    };
    // 300 dpi, 8 x 10.5 in printable: unprintable width 150; bands of 24 printer rows.
    const Case cases[] = {
        {"--scaling hp300 --aspect actual", 2592 - 150, 40 + 20, 60},       // 3/2 both ways, copied 1:1
        {"--scaling hp300 --aspect actual --dither light", 2442, 59, 40},   // inserted rows are white
        {"--scaling pre300 --aspect actual", 2400, 24 + 24 + 24 * 12 / 24, 60},
        {"--scaling api --aspect actual", 2400, 24 + 24 + 24 * 8 / 16, 60},
        {"--scaling api --aspect scale", 2400, 55, 55},  // 8.64 in wide: shrunk by 8 / 8.64
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string out = dir.File(std::to_string(&c - cases));
        ASSERT_EQ(RunCommand("mkdir " + out), 0);
        int status = 0;
        EXPECT_EQ(Cli(dir.File("black.pcx") + " " + out + " --dpi 300 --printable 2400x3150 --blank " + c.options, &status),
                  "wrote " + out + "/sheet0001.pbm\nsheets 1\n");
        EXPECT_EQ(status, 0);
        Box box = Measure(out + "/sheet0001.pbm");
        EXPECT_EQ(box.width, 2400);
        EXPECT_EQ(box.height, 3150);
        EXPECT_EQ(box.x0, 0);
        EXPECT_EQ(box.y0, 0);
        EXPECT_EQ(box.x1 + 1, std::min(c.width, 2400));
        EXPECT_EQ(box.y1 + 1, c.height);
        EXPECT_EQ(box.blackRows, c.blackRows);
        EXPECT_FALSE(Exists(out + "/sheet0002.pbm"));
    }
}

// 10 bytes a line, Ymax 31: 30 lines CA 00, then D4 00 (the last run crosses a line end).
TEST(PrintCli, LastRunOverTheLastLineEnd) {
    TempDir dir;
    Bytes pcx(128, 0);
    for (auto [at, v] : {std::pair{0, 10}, {1, 5}, {2, 1}, {3, 1}, {8, 79}, {10, 31}, {65, 1}, {66, 10}}) pcx[at] = v;
    for (int i = 0; i < 31; ++i) pcx.insert(pcx.end(), {static_cast<std::uint8_t>(i < 30 ? 0xCA : 0xD4), 0});
    WriteBytes(dir.File("run.pcx"), pcx);
    for (auto [scaling, width] : {std::pair{"hp300 --aspect actual", 120}, {"api", 120}, {"pre300 --aspect actual", 2550}}) {
        Cli(dir.File("run.pcx") + " " + dir.path() + " --dpi 300 --printable 2550x3300 --scaling " + scaling);
        const Box b = Measure(dir.File("sheet0001.pbm"));  // rows 0-47 black: all 32 lines
        EXPECT_EQ(std::tuple(b.y0, b.y1, b.blackRows, b.x1 + 1), std::tuple(0, 47, 48, width)) << scaling;
    }
}

TEST(PrintCli, RangesBlankPagesAndRefusals) {
    TempDir dir;
    std::vector<Bytes> pages;
    for (std::size_t rows : {40, 12, 40, 40}) pages.push_back(MakePcx(PatternPage(216, rows, 3), 216));
    WriteBytes(dir.File("f.dcx"), MakeDcx(pages));
    const std::string fax = dir.File("f.dcx"), out = dir.path();
    const std::string geometry = " --dpi 200x100 --printable 1600x1000";
    struct Case {
        std::string args;
        int status;
        std::string output;
    };
    // Each sheet is named as it is written, then the count.
    auto sheets = [](const std::string& folder, int n) {
        std::string text;
        for (int i = 1; i <= n; ++i) text += "wrote " + folder + "/sheet000" + std::to_string(i) + ".pbm\n";
        return text + "sheets " + std::to_string(n) + "\n";
    };
    const Case cases[] = {
        {fax + " " + out + geometry, 0, sheets(out, 3)},  // page 2 is blank
        {fax + " " + out + geometry + " --blank", 0, sheets(out, 4)},
        {fax + " " + out + geometry + " --first 2 --last 3", 0, sheets(out, 1)},
        {fax + " " + out + geometry + " --first 4", 0, sheets(out, 1)},
        {fax + " " + out + geometry + " --first 3 --last 2", 1, "The Page Number(s) are invalid.\n"},
        {fax + " " + out + geometry + " --last 5", 1, "The Page Number(s) are invalid.\n"},
        {fax + " " + out + "/new" + geometry, 0, sheets(out + "/new", 3)},  // the folder is made
        {dir.File("missing.dcx") + " " + out + geometry, 1,
         dir.File("missing.dcx") + "\nCan not be accessed: No such file or directory.\n"},
        {fax + " " + out + " --printable 1600x1000", 2, ""},
        {fax + " " + out + geometry + " --scaling hp600", 2, ""},
        {fax + " " + out + " --dpi 2401 --printable 100x100", 2, ""},
        {fax + " " + out + " --dpi 300 --printable 20001x100", 2, ""},
        {fax + " " + out + " --dpi 300 --printable 1600", 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        int status = 0;
        std::string output = Cli(c.args, &status);
        EXPECT_EQ(status, c.status);
        if (c.status != 2) {
            EXPECT_EQ(output, c.output);
        }
    }
    // 200 x 100 dpi: the sheet is the printable area.
    Box box = Measure(out + "/sheet0001.pbm");
    EXPECT_EQ(box.width, 1600);
    EXPECT_EQ(box.height, 1000);
}
