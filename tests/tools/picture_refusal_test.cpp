// The tools that rework fax pages refuse a colour or grey picture page before writing anything;
// Build Fax copies any page as it is.
#include <gtest/gtest.h>

#include "export/fax_export.h"
#include "formats/fax_reader.h"
#include "print/print_engine.h"
#include "support/test_files.h"
#include "tools/build_fax.h"
#include "tools/fax_accumulator.h"
#include "tools/long_fax.h"
#include "zoomedit/bitmap_file.h"

namespace {

using namespace testing_support;

constexpr const char* kRefusal = "is a colour (or grey) picture, not a fax page.";

// Wider than any fax line, so the refusal must come before the fax width checks.
Bytes RgbPicture() { return RgbPicturePcx(300, 10, 0x80); }

class PictureRefusal : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(pcx_ = dir_.File("picture.pcx"), RgbPicture());
        // Page 1 a fax page, page 2 the picture.
        WriteBytes(dcx_ = dir_.File("mixed.dcx"), MakeDcx({MakePcx(PatternPage(216, 40, 1), 216), RgbPicture()}));
    }
    bool Exists(const std::string& name) const { return fax::FileExists(dir_.File(name)); }
    static bool Says(const fax::ToolMessages& messages, const std::string& path, unsigned page) {
        for (const auto& m : messages)
            if (m.text == "Page " + std::to_string(page) + " of:\n" + path + "\n" + kRefusal + "\nNothing was built.")
                return true;
        return false;
    }
    TempDir dir_;
    std::string pcx_, dcx_;
};

TEST_F(PictureRefusal, FindsTheFirstPicturePage) {
    EXPECT_EQ(fax::FaxPictureRefusal(dcx_), "Page 2 of:\n" + dcx_ + "\n" + kRefusal);
    EXPECT_EQ(fax::FaxPictureRefusal(dcx_, 1), "");
    EXPECT_EQ(fax::FaxPictureRefusal(dcx_, 2), fax::FaxPictureRefusal(dcx_));
    EXPECT_EQ(fax::FaxPictureRefusal(pcx_), "Page 1 of:\n" + pcx_ + "\n" + kRefusal);
}

TEST_F(PictureRefusal, LongFaxAndConvertBuildNothing) {
    fax::LongFaxResult longFax = fax::BuildLongFax(dcx_, dir_.File("long.dcx"));
    EXPECT_FALSE(longFax.ok);
    EXPECT_TRUE(Says(longFax.messages, dcx_, 2));
    EXPECT_FALSE(Exists("long.dcx"));

    const std::string accum = dir_.File("accum");
    ASSERT_EQ(RunCommand("mkdir '" + accum + "'"), 0);
    WriteBytes(fax::AccumulatorPagePath(accum, 1), MakePcx(PatternPage(216, 40, 2), 216));
    WriteBytes(fax::AccumulatorPagePath(accum, 2), RgbPicture());
    fax::AccumulatorConvertResult convert = fax::AccumulatorBuild(accum, dir_.File("new.dcx"));
    EXPECT_TRUE(convert.attempted);
    EXPECT_NE(convert.build.outcome, fax::BuildFaxResult::Outcome::Built);
    EXPECT_TRUE(Says(convert.build.messages, fax::AccumulatorPagePath(accum, 2), 1));
    EXPECT_FALSE(Exists("new.dcx"));
    EXPECT_EQ(fax::AccumulatorCount(accum), 2u);  // both pages stay
}

TEST_F(PictureRefusal, ExportPrintAndBitmapRefuse) {
    fax::ExportResult exported = fax::ConvertFaxToTifPdf(dcx_, dir_.File("out.tif"), dir_.File("out.pdf"));
    EXPECT_FALSE(exported.ok());
    EXPECT_EQ(exported.refusal, "Page 2 of:\n" + dcx_ + "\n" + kRefusal + "\nNothing was written.");
    EXPECT_FALSE(Exists("out.tif"));
    EXPECT_FALSE(Exists("out.pdf"));

    fax::print::PrintFile print;
    fax::print::PrintFile::Opened opened = print.Open(dcx_);
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.message, "Page 2 of:\n" + dcx_ + "\n" + kRefusal);

    fax::ConversionResult bmp = fax::PageToBitmap(pcx_, dir_.File("z.bmp"));
    EXPECT_FALSE(bmp.ok);
    ASSERT_EQ(bmp.messages.size(), 1u);
    EXPECT_EQ(bmp.messages[0].text, "Page 1 of:\n" + pcx_ + "\n" + kRefusal);
    EXPECT_FALSE(Exists("z.bmp"));
}

TEST_F(PictureRefusal, BuildFaxCopiesAPictureAsItIs) {
    const std::string out = dir_.File("built.dcx");
    fax::BuildFaxResult built = fax::BuildFax(out, {pcx_});
    ASSERT_EQ(built.outcome, fax::BuildFaxResult::Outcome::Built);
    Bytes file = ReadBytes(out), page = RgbPicture();
    ASSERT_EQ(file.size(), 4096 + page.size());
    EXPECT_TRUE(std::equal(page.begin(), page.end(), file.begin() + 4096));
}

}  // namespace
