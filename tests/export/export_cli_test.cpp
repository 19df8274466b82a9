#include <gtest/gtest.h>

#include <string>

#include "export_test_util.h"
#include "support/test_files.h"

using namespace testing_support;
using namespace exporttest;

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

TEST(ExportCli, WritesBothFilesOrReportsTheCode) {
    TempDir dir;
    std::vector<Bytes> pixels = {PatternPage(216, 400, 1), PatternPage(216, 90, 2)};
    WriteBytes(dir.File("fax.DCX"), MakeDcx({MakePcx(pixels[0], 216), MakePcx(pixels[1], 216)}));
    WriteBytes(dir.File("bad.pcx"), Bytes(200, 0x41));

    std::string out;
    EXPECT_EQ(RunCommand(Quote(CliPath()) + " export " + Quote(dir.File("fax.DCX")) + " " + Quote(dir.File("o.tif")) +
                             " " + Quote(dir.File("o.pdf")),
                         &out, true),
              0)
        << out;
    EXPECT_EQ(out, "pages 2\ntif " + dir.File("o.tif") + "\npdf " + dir.File("o.pdf") + "\n");
    bool ok = false;
    auto pages = DecodeTiff(dir.File("o.tif"), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(pages[1].rows == AsTiffRows(pixels[1], 216));
    out.clear();
    EXPECT_EQ(RunCommand("qpdf --check " + Quote(dir.File("o.pdf")), &out, true), 0) << out;

    struct Case {
        const char* name;
        std::string fax, tif, pdf;
        std::string message;
    };
    const Case cases[] = {
        {"not a fax", dir.File("bad.pcx"), dir.File("b.tif"), dir.File("b.pdf"),
         dir.File("bad.pcx") + "\nIs not a DCX or PCX fax file: it starts with neither a DCX page table nor a PCX page header.\n"},
        {"missing fax", dir.File("none.dcx"), dir.File("c.tif"), dir.File("c.pdf"),
         dir.File("none.dcx") + "\nCan not be accessed: No such file or directory.\n"},
        {"TIF folder missing", dir.File("fax.DCX"), dir.File("x/d.tif"), dir.File("d.pdf"),
         "Dcx-Pcx to TIF and PDF failed with error[2044]: the TIF file can not be created: No such file or directory.\n"},
        {"PDF folder missing", dir.File("fax.DCX"), dir.File("e.tif"), dir.File("x/e.pdf"),
         "Dcx-Pcx to TIF and PDF failed with error[2061]: the PDF file can not be written: No such file or directory.\n"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(RunCommand(Quote(CliPath()) + " export " + Quote(c.fax) + " " + Quote(c.tif) + " " + Quote(c.pdf) +
                                 " 2>&1 >/dev/null",
                             &err),
                  1)
            << c.name;
        EXPECT_EQ(err, c.message) << c.name;
    }
    EXPECT_EQ(RunCommand(Quote(CliPath()) + " export " + Quote(dir.File("fax.DCX")) + " 2>/dev/null"), 2);
}

}  // namespace
