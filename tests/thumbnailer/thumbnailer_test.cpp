// tarvex-thumbnailer: the PNG is the render command's picture of page 1 at the fitting desktop
// width (both read back by netpbm); broken and hostile faxes give exit 1 and no file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/netpbm.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;

std::string Q(const std::string& s) { return "'" + s + "'"; }

class Thumbnailer : public testing::Test {
protected:
    void SetUp() override {
        if (RunCommand("command -v pngtopnm >/dev/null") != 0) GTEST_SKIP() << "netpbm's pngtopnm is not installed";
    }
    int Thumb(const std::string& args, std::string* out = nullptr) {
        std::string ignored;
        return RunCommand(Q(VANTOREL_THUMBNAILER) + " " + args, out ? out : &ignored, true);
    }
    TempDir dir;
};

TEST_F(Thumbnailer, IsTheRenderedPageAtTheWidthThatFits) {
    // Widths and heights worked out by hand: Z = trunc(0.75 W), H = trunc((L/2 - L/8) * Z / 480).
    struct Case {
        int bytesPerLine, lines, size;
        int width, height;  // of the thumbnail
        const char* why;
        const char* file = "page.dcx";
    };
    const Case cases[] = {
        {216, 2200, 256, 192, 247, "a letter page: 208 wide would be 268 high"},
        {216, 2200, 128, 96, 123, "112 wide would be 144 high"},
        {216, 2200, 2000, 1552, 2000, "exactly at the limit: 1568 wide would be 2021 high"},
        {216, 2200, 16384, 1728, 2227, "never wider than Default Size on a wide desktop"},
        {296, 300, 256, 256, 45, "a short wide page fills the width"},
        {120, 333, 100, 96, 18, "a size that is no multiple of 16"},
        {216, 9000, 256, 128, 256, "a long page keeps half the size across and shows its top"},
        {216, 2200, 16, 16, 16, "the smallest size"},
        {216, 2200, 256, 192, 247, "a file manager's copy without extension: known by its content",
         "copy-of-page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string fax = dir.File(c.file), thumb = dir.File("thumb.png"), full = dir.File("full.png");
        WriteBytes(fax, MakeDcx({MakePcx(PatternPage(c.bytesPerLine, c.lines, 7), c.bytesPerLine),
                                 MakePcx(PatternPage(216, 50, 8), 216)}));
        std::string out;
        ASSERT_EQ(Thumb("-s " + std::to_string(c.size) + " " + Q(fax) + " " + Q(thumb), &out), 0) << out;
        EXPECT_EQ(out, "");
        ASSERT_EQ(RunCommand(Q(CliPath()) + " render " + Q(fax) + " 1 " + Q(full) + " --desktop-width " +
                             std::to_string(c.width), &out, true), 0) << out;
        Picture t, r;
        ASSERT_TRUE(ReadPng(thumb, t));
        ASSERT_TRUE(ReadPng(full, r));
        EXPECT_EQ(t.width, c.width);
        EXPECT_EQ(t.height, c.height);
        ASSERT_EQ(r.width, c.width);
        ASSERT_GE(r.height, t.height);
        EXPECT_TRUE(std::equal(t.pixels.begin(), t.pixels.end(), r.pixels.begin())) << "pixels differ from render";
    }
}

TEST_F(Thumbnailer, BadFaxesGiveExitOneAndNoFile) {
    auto header = [](std::uint16_t bpl, std::uint16_t ymax) { return PcxHeaderBytes(bpl, ymax); };
    Bytes beyond(4096, 0);  // DCX whose only page lies past the end of the file
    beyond[0] = 0xB1, beyond[1] = 0x68, beyond[2] = 0xDE, beyond[3] = 0x3A;
    Bytes noPages = beyond;
    beyond[4] = 0xF0, beyond[5] = beyond[6] = beyond[7] = 0xFF;
    Bytes wrongMaker = MakePcx(PatternPage(216, 20, 1), 216);
    wrongMaker[0] = 11;
    Bytes huge = header(216, 0xFFFF);  // 16,777,216 lines claimed, 3 present
    huge[68] = huge[69] = huge[70] = 0xFF;
    huge[72] = 0x21;
    Bytes three = EncodePage(Bytes(216 * 3, 0x00), 216);
    huge.insert(huge.end(), three.begin(), three.end());
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;  // the start of it
    };
    const Case cases[] = {
        {"empty.pcx", {}, "UnZipFaxToScreen Error 1"},
        {"short.pcx", Bytes(100, 0x0A), "UnZipFaxToScreen Error 1"},
        {"nopages.dcx", noPages, "UnZipFaxToScreen Error 3"},
        {"beyond.dcx", beyond, "UnZipFaxToScreen Error 3"},
        {"maker.pcx", wrongMaker, "UnZipFaxToScreen Error 4"},
        {"wide.pcx", MakePcx(PatternPage(297, 20, 1), 297), "Can not view file. It is too Wide"},
        {"narrow.pcx", MakePcx(PatternPage(9, 20, 1), 9), "UnZipFaxToScreen Error 6"},
        {"nolines.pcx", header(216, 2000), "Nothing to write"},
        {"huge.pcx", huge, "Nothing to write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), c.bytes);
        std::string out, png = dir.File(std::string(c.name) + ".png");
        EXPECT_EQ(Thumb("-s 256 " + Q(dir.File(c.name)) + " " + Q(png), &out), 1);
        EXPECT_EQ(out.rfind(c.message, 0), 0u) << out;
        EXPECT_FALSE(Exists(png));
    }

    // Not regular files, a missing one, an unwritable place, and the fax itself as output.
    ASSERT_EQ(::mkfifo(dir.File("pipe.dcx").c_str(), 0600), 0);
    const std::string good = dir.File("good.pcx");
    const Bytes goodBytes = MakePcx(PatternPage(216, 400, 2), 216);
    WriteBytes(good, goodBytes);
    struct Place {
        std::string input, output, message;
    };
    const Place places[] = {
        {dir.File("pipe.dcx"), dir.File("p.png"), "Can not access"},
        {dir.path(), dir.File("d.png"), "Can not access"},
        {dir.File("none.dcx"), dir.File("n.png"), "Can not access"},
        {good, dir.File("no/such/folder.png"), "Can not Create"},
        {good, good, "The thumbnail would replace the fax itself"},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.input + " -> " + p.output);
        std::string out;
        EXPECT_EQ(Thumb("-s 256 " + Q(p.input) + " " + Q(p.output), &out), 1);
        EXPECT_EQ(out.rfind(p.message, 0), 0u) << out;
        if (p.output != good) {
            EXPECT_FALSE(Exists(p.output));
        }
    }
    EXPECT_EQ(ReadBytes(good), goodBytes);
}

TEST_F(Thumbnailer, UsageErrors) {
    const std::string fax = dir.File("one.pcx");
    WriteBytes(fax, MakePcx(PatternPage(216, 200, 1), 216));
    struct Case {
        const char* args;
        int status;
    };
    for (Case c : {Case{"-s 16 F O", 0}, Case{"-s 15 F O", 2}, Case{"-s 16384 F O", 0}, Case{"-s 16385 F O", 2},
                   Case{"-s abc F O", 2}, Case{"-x 256 F O", 2}, Case{"-s 256 F", 2}, Case{"", 2}}) {
        SCOPED_TRACE(c.args);
        std::string a = c.args;
        if (auto f = a.find(" F "); f != std::string::npos) a.replace(f, 3, " " + Q(fax) + " ");
        if (auto o = a.find(" O"); o != std::string::npos) a.replace(o, 2, " " + Q(dir.File("o.png")));
        EXPECT_EQ(Thumb(a), c.status);
    }
}

}  // namespace
