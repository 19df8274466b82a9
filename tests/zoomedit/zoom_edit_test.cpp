// Taking a page out of a DCX and putting the edited one back; tarvex-cli's tobmp,
// frombmp and replace; what netpbm and GraphicsMagick make of our bitmaps and we of theirs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tools/tool_fixtures.h"
#include "zoomedit/bitmap_file.h"
#include "zoomedit/bmp_fixtures.h"
#include "zoomedit/zoom_edit.h"

using namespace testing_support;
using namespace bmpfix;

namespace {

struct ThreePages {
    TempDir dir;
    std::vector<Bytes> pages = {MakePcx(PatternPage(216, 40, 1), 216), MakePcx(PatternPage(216, 70, 2), 216),
                                MakePcx(PatternPage(216, 30, 3), 216)};
    Bytes original = MakeDcx(pages);
    std::string fax = dir.File("fax.dcx");
    std::string pcx = dir.File("zoomedit.pcx");
    fax::EditCopyBuffer buffer;
    ThreePages() { WriteBytes(fax, original); }
};

std::vector<std::string> Texts(const fax::ToolMessages& messages) {
    std::vector<std::string> t;
    for (const auto& m : messages) t.push_back(m.text);
    return t;
}

std::string Cli(const std::string& args, std::string* out = nullptr) {
    std::string text;
    int status = RunCommand("'" + CliPath() + "' " + args, &text, true);
    if (out) *out = text;
    return std::to_string(status);
}

}  // namespace

TEST(DcxPageEdit, EditedPageReplacesOnlyItsOwnBytes) {
    Bytes edited = MakePcx(PatternPage(216, 99, 9), 216);
    for (unsigned page = 1; page <= 3; ++page) {
        SCOPED_TRACE(page);
        ThreePages f;
        ASSERT_TRUE(f.buffer.ok());
        auto out = fax::ExtractDcxPage(f.fax, page, f.pcx, f.buffer);
        ASSERT_TRUE(out.ok) << ::testing::PrintToString(Texts(out.messages));
        EXPECT_EQ(ReadBytes(f.pcx), f.pages[page - 1]);
        WriteBytes(f.pcx, edited);
        std::filesystem::permissions(f.fax, std::filesystem::perms(0640));
        auto back = fax::ReplaceDcxPage(f.fax, page, f.pcx, f.buffer);
        ASSERT_TRUE(back.ok) << ::testing::PrintToString(Texts(back.messages));
        Bytes now = ReadBytes(f.fax);
        std::vector<Bytes> expected = f.pages;
        expected[page - 1] = edited;
        EXPECT_EQ(now, MakeDcx(expected));  // table offsets follow the new page's length
        EXPECT_EQ(std::filesystem::status(f.fax).permissions(), std::filesystem::perms(0640));
        for (unsigned n = 1; n <= 3; ++n) EXPECT_EQ(DcxPage(now, n), expected[n - 1]) << n;
        EXPECT_EQ(toolfix::FilesIn(f.dir.path()), (std::vector<std::string>{"fax.dcx", "zoomedit.pcx"}));
    }
}

TEST(DcxPageEdit, FailuresLeaveTheFaxAsItWas) {
    ThreePages f;
    const std::string missing = f.dir.File("gone.dcx");
    const std::string notDcx = f.dir.File("page.dcx");
    WriteBytes(notDcx, f.pages[0]);
    const std::string damaged = f.dir.File("damaged.dcx");
    WriteBytes(damaged, toolfix::DcxWithOffsets({4096, 900000}, f.pages[0]));
    // Extraction.
    EXPECT_EQ(Texts(fax::ExtractDcxPage(missing, 1, f.pcx, f.buffer).messages),
              std::vector<std::string>{"ZE4, File Path\\Name:\n" + missing + "\ndoes not exist."});
    EXPECT_EQ(Texts(fax::ExtractDcxPage(notDcx, 1, f.pcx, f.buffer).messages),
              std::vector<std::string>{"ZE7, " + notDcx + "\nis not a valid dcx file"});
    auto bad = fax::ExtractDcxPage(damaged, 1, f.pcx, f.buffer);
    ASSERT_EQ(bad.messages.size(), 1u);
    EXPECT_NE(bad.messages[0].text.find("damaged page table"), std::string::npos);
    EXPECT_EQ(Texts(fax::ExtractDcxPage(f.fax, 4, f.pcx, f.buffer).messages),
              std::vector<std::string>{"The fax:\n" + f.fax + "\nhas no page 4."});
    const std::string noFolder = f.dir.File("none/zoomedit.pcx");
    EXPECT_EQ(Texts(fax::ExtractDcxPage(f.fax, 1, noFolder, f.buffer).messages),
              std::vector<std::string>{"Can not Create:\n" + noFolder});
    // A disk that is full: ZE1 for a page with a successor, ZE2 for the last page.
    EXPECT_EQ(Texts(fax::ExtractDcxPage(f.fax, 2, "/dev/full", f.buffer).messages),
              std::vector<std::string>{"ZE1, Could not write:\n/dev/full\nDisk may be full..."});
    EXPECT_EQ(Texts(fax::ExtractDcxPage(f.fax, 3, "/dev/full", f.buffer).messages),
              std::vector<std::string>{"ZE2, Could not write:\n/dev/full\nDisk may be full..."});
    EXPECT_FALSE(fax::ExtractDcxPage(f.fax, 1, f.pcx, f.buffer).messages.size());

    // Rebuilding.
    EXPECT_EQ(Texts(fax::ReplaceDcxPage(missing, 1, f.pcx, f.buffer).messages),
              std::vector<std::string>{"ZE5, File Path\\Name:\n" + missing + "\ndoes not exist."});
    EXPECT_EQ(Texts(fax::ReplaceDcxPage(notDcx, 1, f.pcx, f.buffer).messages),
              std::vector<std::string>{"ZE6, " + notDcx + "\nis not a valid dcx file"});
    EXPECT_EQ(Texts(fax::ReplaceDcxPage(f.fax, 1, f.dir.File("none.pcx"), f.buffer).messages),
              std::vector<std::string>{"Can not Open:\n" + f.dir.File("none.pcx")});
    EXPECT_EQ(ReadBytes(f.fax), f.original);
    EXPECT_EQ(ReadBytes(notDcx), f.pages[0]);
}

TEST(ZoomEditCli, RoundTripThroughBitmapAndReplace) {
    ThreePages f;
    const std::string bmp = f.dir.File("page 2.bmp");
    std::string out;
    ASSERT_EQ(Cli("tobmp '" + f.fax + "' 2 '" + bmp + "'", &out), "0") << out;
    // netpbm and GraphicsMagick see the page's pixels.
    const Bytes pixels = PatternPage(216, 70, 2);
    ASSERT_EQ(std::to_string(RunCommand("bmptopnm '" + bmp + "' > '" + f.dir.File("np.pbm") + "' 2>/dev/null")), "0");
    toolfix::Pbm np = toolfix::ReadPbm(f.dir.File("np.pbm"));
    EXPECT_EQ(np.width, 1728u);
    EXPECT_EQ(np.height, 70u);
    EXPECT_EQ(np.pixels, pixels);
    EXPECT_EQ(toolfix::GmDecode(bmp, 0, f.dir.path()).pixels, pixels);

    // Edited: a black bar; back to a page and into the fax.
    Bytes edited = ReadBytes(bmp);
    for (std::size_t y = 10; y < 20; ++y) std::fill_n(edited.begin() + 62 + (69 - y) * 216 + 5, 30, 0x00);
    WriteBytes(bmp, edited);
    const std::string pcx = f.dir.File("new.pcx");
    ASSERT_EQ(Cli("frombmp '" + bmp + "' '" + pcx + "'", &out), "0") << out;
    ASSERT_EQ(Cli("replace '" + f.fax + "' 2 '" + pcx + "'", &out), "0") << out;
    Bytes expected = pixels;
    for (std::size_t y = 10; y < 20; ++y) std::fill_n(expected.begin() + y * 216 + 5, 30, 0x00);
    EXPECT_EQ(toolfix::GmDecode(f.fax, 1, f.dir.path()).pixels, expected);
    Bytes now = ReadBytes(f.fax);
    EXPECT_EQ(DcxPage(now, 1), f.pages[0]);
    EXPECT_EQ(DcxPage(now, 3), f.pages[2]);
    EXPECT_EQ(DcxPage(now, 2), ReadBytes(pcx));

    // A single-page PCX fax has only page 1.
    WriteBytes(f.dir.File("one.pcx"), f.pages[1]);
    EXPECT_EQ(Cli("tobmp '" + f.dir.File("one.pcx") + "' 1 '" + f.dir.File("one.bmp") + "'"), "0");
    EXPECT_EQ(PixelsOfOurBmp(ReadBytes(f.dir.File("one.bmp")), 216, 70), pixels);
}

TEST(ZoomEditCli, RefusalsChangeNothing) {
    ThreePages f;
    WriteBytes(f.pcx, f.pages[0]);
    WriteBytes(f.dir.File("junk.pcx"), Bytes(300, 0x41));
    struct Case {
        std::string args;
        std::string status;
        std::string message;
    };
    const Case cases[] = {
        {"tobmp '" + f.fax + "' 4 '" + f.dir.File("x.bmp") + "'", "1", "has no page 4."},
        {"tobmp '" + f.pcx + "' 2 '" + f.dir.File("x.bmp") + "'", "1", "has no page 2."},
        {"tobmp '" + f.fax + "' 0 '" + f.dir.File("x.bmp") + "'", "2", ""},
        {"tobmp '" + f.pcx + "' 1 '" + f.pcx + "'", "1", "It is also the file being read."},
        {"frombmp '" + f.pcx + "' '" + f.pcx + "'", "1", "It is also the file being read."},
        {"frombmp '" + f.pcx + "' '" + f.dir.File("x.pcx") + "'", "1", "ReadDibBitmapInfo failed"},
        {"replace '" + f.fax + "' 4 '" + f.pcx + "'", "1", "has no page 4."},
        {"replace '" + f.fax + "' 1 '" + f.dir.File("junk.pcx") + "'", "1", "is not dcx or PCX_ZE."},
        {"replace '" + f.fax + "' 1 '" + f.fax + "'", "1", "It is also the file being read."},
        // A write that fails during the rebuild (a file size limit) leaves the old fax.
        {"replace '" + f.fax + "' 1 '" + f.pcx + "' #limit", "1", "ZE3, Could not write:\n" + f.fax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out;
        std::string command = c.args;
        if (command.ends_with("#limit"))
            command = "replace '" + f.fax + "' 1 '" + f.pcx + "'";
        std::string status = c.args.ends_with("#limit")
                                 ? std::to_string(RunCommand("sh -c \"trap '' XFSZ; ulimit -f 8; exec '" + CliPath() +
                                                                 "' " + command + "\"",
                                                             &out, true))
                                 : Cli(command, &out);
        EXPECT_EQ(status, c.status) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_EQ(ReadBytes(f.fax), f.original);
        EXPECT_EQ(ReadBytes(f.pcx), f.pages[0]);
        EXPECT_FALSE(Exists(f.dir.File("x.bmp")) || Exists(f.dir.File("x.pcx")));
    }
    EXPECT_EQ(toolfix::FilesIn(f.dir.path()), (std::vector<std::string>{"fax.dcx", "junk.pcx", "zoomedit.pcx"}));
}

TEST(ZoomEditInterop, OtherWritersBitmapsImportToTheirPixels) {
    TempDir dir;
    // A page-like picture: 1728 wide, bars and a checker, as PBM (1 = black there).
    const std::size_t w = 1728, h = 40;
    Bytes fax(216 * h, 0xFF);
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t i = 0; i < 216; ++i)
            if ((y / 4 + i / 9) % 3 == 0) fax[y * 216 + i] = static_cast<std::uint8_t>(y % 2 ? 0x55 : 0x00);
    Bytes pbm;
    std::string head = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
    pbm.assign(head.begin(), head.end());
    for (auto b : fax) pbm.push_back(static_cast<std::uint8_t>(~b));
    WriteBytes(dir.File("in.pbm"), pbm);
    const std::string in = "'" + dir.File("in.pbm") + "'";
    struct Case {
        const char* name;
        std::string command;  // writes out.bmp
    };
    const std::string out = "'" + dir.File("out.bmp") + "'";
    const Case cases[] = {
        {"ppmtobmp 1-bit", "ppmtobmp -bpp 1 " + in + " > " + out},
        {"ppmtobmp 24-bit", "ppmtobmp -bpp 24 " + in + " > " + out},
        {"ppmtobmp core header", "ppmtobmp -os2 -bpp 1 " + in + " > " + out},
        {"gm 1-bit", "gm convert " + in + " " + out},
        {"gm 24-bit", "gm convert " + in + " -type TrueColor " + out},
        {"gm 32-bit bit fields", "gm convert " + in + " -type TrueColorMatte " + out},
        {"gm core header", "gm convert " + in + " bmp2:" + out},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir.File("out.bmp"));
        ASSERT_EQ(RunCommand(c.command + " 2>/dev/null"), 0);
        std::string text;
        ASSERT_EQ(Cli("frombmp " + out + " '" + dir.File("out.pcx") + "'", &text), "0") << text;
        PcxPage page = ReadPcx(dir.File("out.pcx"));
        EXPECT_EQ(page.bytesPerLine, 216u);
        EXPECT_EQ(page.lines, h);
        EXPECT_EQ(page.pixels, fax);
        // netpbm reads the page we wrote the same way.
        ASSERT_EQ(RunCommand("pcxtoppm '" + dir.File("out.pcx") + "' 2>/dev/null | ppmtopgm | pgmtopbm -threshold > '" +
                             dir.File("back.pbm") + "'"),
                  0);
        EXPECT_EQ(toolfix::ReadPbm(dir.File("back.pbm")).pixels, fax);
    }
}
