// Colour and grey PCX pictures written by netpbm and GraphicsMagick: shown as the writer's own
// decoder sees them (each colour box-filtered), alone and inside a DCX; hostile picture
// headers are refused as damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "box_reference.h"
#include "render/page_surface.h"
#include "support/netpbm.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;

constexpr int kWidth = 301, kHeight = 203;  // odd sizes: padded lines, partial boxes

// A colourful picture: hue bands across, brightness down, a few flat blocks.
std::string ColourPpm() {
    std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int r = (x * 255) / kWidth, g = (y * 255) / kHeight, b = ((x + y) % 64) * 4;
            if ((x / 40 + y / 40) % 5 == 0) r = 250, g = 30, b = 60;
            ppm += char(r), ppm += char(g), ppm += char(b);
        }
    return ppm;
}

class PictureFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::FILE* f = std::fopen(dir_->File("src.ppm").c_str(), "wb");
        std::string ppm = ColourPpm();
        std::fwrite(ppm.data(), 1, ppm.size(), f);
        std::fclose(f);
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::string P(const std::string& name) { return dir_->File(name); }
    static std::string Q(const std::string& name) { return "'" + P(name) + "'"; }
    static TempDir* dir_;
};
TempDir* PictureFiles::dir_ = nullptr;

struct Writer {
    const char* name;
    const char* make;    // shell command writing the PCX from src.ppm ({S} source, {O} output)
    const char* decode;  // the writer's own decode to a PPM ({O} the PCX)
};

const Writer kWriters[] = {
    {"planes16", "pnmquant 16 {S} | ppmtopcx > {O}", "pcxtoppm {O}"},
    {"planes8", "pnmquant 8 {S} | ppmtopcx -planes 3 > {O}", "pcxtoppm {O}"},
    {"packed4", "pnmquant 4 {S} | ppmtopcx -packed > {O}", "pcxtoppm {O}"},
    {"packed16", "pnmquant 16 {S} | ppmtopcx -packed > {O}", "pcxtoppm {O}"},
    {"palette256", "pnmquant 200 {S} | ppmtopcx -8bit > {O}", "pcxtoppm {O}"},
    {"rgb24", "ppmtopcx -24bit {S} > {O}", "pcxtoppm {O}"},
    {"gm_colour", "gm convert {S} pcx:{O}", "gm convert pcx:{O} ppm:-"},
    {"gm_rgba", "gm convert {S} -matte pcx:{O}", "gm convert pcx:{O} ppm:-"},  // 8 bits x 4 planes
    {"gm_grey", "gm convert {S} -colorspace gray -type grayscale pcx:{O}", "gm convert pcx:{O} ppm:-"},
};

std::string Fill(std::string cmd, const std::string& src, const std::string& out) {
    for (std::size_t at; (at = cmd.find("{S}")) != std::string::npos;) cmd.replace(at, 3, "'" + src + "'");
    for (std::size_t at; (at = cmd.find("{O}")) != std::string::npos;) cmd.replace(at, 3, "'" + out + "'");
    return cmd;
}

// Renders one page and checks every surface pixel against the box-filtered reference.
void ExpectShownAs(const std::string& path, unsigned page, const Picture& ref, const view::Zoom& zoom) {
    fax::FaxReader reader;
    ASSERT_TRUE(reader.Open(path));
    ASSERT_EQ(reader.ReadLayout(), fax::PageError::None);
    view::PageSurface surface;
    view::RenderOutcome out = view::RenderPage(reader, page, zoom, surface);
    ASSERT_TRUE(out.ok()) << fax::PageErrorText(out.error);
    EXPECT_EQ(out.lines, std::uint32_t(ref.height));
    // Square pixels: the lines are scaled like the width.
    const int dw = zoom.displayWidth();
    const int h = ref.height * dw / ref.width;
    ASSERT_EQ(surface.height(), h);
    ASSERT_EQ(surface.channels(), 3);
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = surface.Row(y);
        for (int x = 0; x < surface.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                int want = x < dw ? int(std::lround(box_reference::ChannelPixel(ref.pixels, ref.width, 3, c, ref.height,
                                                                                dw, h, x, y)))
                                  : 255;
                worst = std::max(worst, std::abs(want - int(row[x * 3 + c])));
            }
    }
    // Box edges are kept to 1/256 of an input pixel across and down, as for fax pages: at a
    // full-contrast edge that moves an output value by 255 times the edge's share of its box.
    const double across = double(ref.width) / dw, down = double(ref.height) / h;
    const int tolerance = 1 + int(std::ceil(255.0 / 256.0 * (1.0 / across + 1.0 / down)));
    EXPECT_LE(worst, tolerance);
}

TEST_F(PictureFiles, EachWriterIsShownAsItsOwnDecoderSeesIt) {
    view::Zoom reduce, enlarge = view::DefaultSizeAtStartup(1024);
    ASSERT_TRUE(view::ZoomForCommand(1024, 32786, reduce));  // 25%: 432 across, lines reduced
    std::vector<Bytes> pages;
    std::vector<Picture> refs;
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.name);
        const std::string pcx = P(std::string(w.name) + ".pcx");
        ASSERT_EQ(RunCommand(Fill(w.make, P("src.ppm"), pcx) + " 2>/dev/null"), 0);
        std::string pgm;
        ASSERT_EQ(RunCommand(Fill(w.decode, "", pcx) + " 2>/dev/null", &pgm), 0);
        Picture ref;
        ASSERT_TRUE(ReadNetpbm(pgm, ref));
        ASSERT_EQ(ref.width, kWidth);
        ASSERT_EQ(ref.channels, 3);
        ExpectShownAs(pcx, 1, ref, reduce);
        ExpectShownAs(pcx, 1, ref, enlarge);
        pages.push_back(ReadBytes(pcx));
        refs.push_back(ref);
    }
    // The same pictures as the pages of one DCX, each shown on its own page.
    const std::string dcx = P("all.dcx");
    WriteBytes(dcx, MakeDcx(pages));
    for (std::size_t i = 0; i < refs.size(); ++i) {
        SCOPED_TRACE(kWriters[i].name);
        ExpectShownAs(dcx, unsigned(i + 1), refs[i], reduce);
    }
    std::string info;
    ASSERT_EQ(RunCommand("'" + CliPath() + "' info '" + dcx + "'", &info), 0);
    EXPECT_NE(info.find("page 8 offset"), std::string::npos);
    EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 2 + long(refs.size()));
    for (std::size_t at = 0; (at = info.find("page ", at)) != std::string::npos; ++at)
        if (at > 0) {
            EXPECT_EQ(info.compare(info.find('\n', at) - 8, 8, " picture"), 0) << info;
        }
}

// One 24-bit picture, 40 x 10, to damage field by field.
Bytes SmallRgb() { return RgbPicturePcx(40, 10, 0x80); }

TEST_F(PictureFiles, HostileHeadersAreDamaged) {
    struct Case {
        const char* name;
        std::size_t at;
        std::uint8_t value;
        bool damaged;
        std::uint8_t planes = 3;  // with `value` as BitsPerPixel (at 3): a fax page or a picture
        std::uint16_t bytesPerLine = 40;
        bool fax = false;
    } cases[] = {
        {"as written", 0, 0x0A, false},
        {"planes 0", 65, 0, true},
        {"planes 2", 65, 2, true},
        {"planes 5", 65, 5, true},
        {"bits 3", 3, 3, true},
        {"bits 16", 3, 16, true},
        {"width one past the line", 8, 40, true},        // Xmax 40: 41 pixels in 40 bytes
        {"line padded by three", 66, 43, false},
        {"line padded by four", 66, 44, true},
        {"Xmin beyond Xmax", 4, 50, true},
        {"1 bit, planes 0: a fax page", 3, 1, false, 0, 40, true},
        {"bits 0, planes 1: a fax page", 3, 0, false, 1, 40, true},
        {"bits 0, planes 0: a fax page", 3, 0, false, 0, 40, true},
        {"1 bit, 2 planes: a picture", 3, 1, false, 2, 5},
        {"2 bits, 1 plane: a picture", 3, 2, false, 1, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = SmallRgb();
        file[65] = c.planes, file[66] = std::uint8_t(c.bytesPerLine);
        file[c.at] = c.value;
        const std::string path = P("hostile.pcx");
        WriteBytes(path, file);
        fax::FaxReader reader;
        ASSERT_TRUE(reader.Open(path));
        ASSERT_EQ(reader.ReadLayout(), fax::PageError::None);
        fax::FaxReader::Page page;
        EXPECT_EQ(reader.LoadPage(1, page), c.damaged ? fax::PageError::Damaged : fax::PageError::None);
        if (!c.damaged) {
            EXPECT_EQ(page.picture, !c.fax);
        }
    }
}

// The widest and tallest picture a header can claim, over a few bytes of data: shown as what the
// data holds, with nothing reserved for the claim.
TEST_F(PictureFiles, HugeClaimOverLittleData) {
    Bytes file = PcxHeaderBytes(0xFFFF, 0xFFFF);
    file[3] = 8, file[65] = 3, file[8] = 0xFE, file[9] = 0xFF;  // 65,535 pixels of three planes
    for (std::uint8_t b : {0xFF, 0x00, 0xC1, 0x20}) file.push_back(b);
    WriteBytes(P("huge.pcx"), file);
    fax::FaxReader reader;
    ASSERT_TRUE(reader.Open(P("huge.pcx")));
    ASSERT_EQ(reader.ReadLayout(), fax::PageError::None);
    fax::FaxReader::Page page;
    ASSERT_EQ(reader.LoadPage(1, page), fax::PageError::None);
    EXPECT_EQ(page.format.width, 65535u);
    EXPECT_EQ(page.lines, 65536u);
    EXPECT_EQ(page.decodableLines, 1u);  // 4 bytes decode to at most 127 of a 196,605-byte line
    view::PageSurface surface;
    view::RenderOutcome out = view::RenderPage(reader, 1, view::DefaultSizeAtStartup(1024), surface);
    EXPECT_TRUE(out.ok());
    EXPECT_EQ(out.lines, 0u);
    EXPECT_EQ(surface.height(), 0);
}

// 8 bits in one plane without a palette block: grey only when PaletteInfo says so, and the
// long-line marker means bytes 68-71 are a line index, not PaletteInfo.
TEST_F(PictureFiles, GreyWithoutPaletteBlockNeedsPaletteInfo) {
    struct Case {
        const char* name;
        std::uint8_t info, marker;
        bool grey;
    } cases[] = {
        {"grey info", 2, 0, true},
        {"colour info", 1, 0, false},
        {"grey info under the long marker", 2, 0x21, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = PcxHeaderBytes(40, 9);
        file[3] = 8, file[8] = 39, file[9] = 0, file[68] = c.info, file[72] = c.marker;
        Bytes pixels(40 * 10);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint8_t(i * 7);
        Bytes data = EncodePage(pixels, 40);
        file.insert(file.end(), data.begin(), data.end());
        WriteBytes(P("grey.pcx"), file);
        fax::FaxReader reader;
        ASSERT_TRUE(reader.Open(P("grey.pcx")));
        ASSERT_EQ(reader.ReadLayout(), fax::PageError::None);
        fax::FaxReader::Page page;
        ASSERT_EQ(reader.LoadPage(1, page), c.grey ? fax::PageError::None : fax::PageError::Damaged);
        if (!c.grey) continue;
        // Each grey value becomes an equal triple.
        Bytes rgb(40 * 3);
        page.format.LineToRgb(pixels.data() + 40, rgb.data());
        for (std::size_t x = 0; x < 40; ++x)
            for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(rgb[x * 3 + c], pixels[40 + x]);
    }
}

TEST_F(PictureFiles, PaletteBlockCutShortIsDamaged) {
    const std::string pcx = P("pal.pcx");
    ASSERT_EQ(RunCommand(Fill("pnmquant 200 {S} | ppmtopcx -8bit > {O} 2>/dev/null", P("src.ppm"), pcx)), 0);
    Bytes whole = ReadBytes(pcx);
    ASSERT_EQ(whole[whole.size() - 769], 0x0C);
    for (std::size_t cut : {std::size_t(0), std::size_t(1), std::size_t(768)}) {
        SCOPED_TRACE(cut);
        Bytes file(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut));
        WriteBytes(P("cut.pcx"), file);
        fax::FaxReader reader;
        ASSERT_TRUE(reader.Open(P("cut.pcx")));
        ASSERT_EQ(reader.ReadLayout(), fax::PageError::None);
        fax::FaxReader::Page page;
        EXPECT_EQ(reader.LoadPage(1, page), cut == 0 ? fax::PageError::None : fax::PageError::Damaged);
    }
}

}  // namespace
