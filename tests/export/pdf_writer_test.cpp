#include <gtest/gtest.h>

#include <sstream>
#include <tiffio.h>

#include <cctype>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <string>

#include "export/fax_export.h"
#include "export/mh_codes.h"
#include "export/pdf_writer.h"
#include "export/tiff_writer.h"
#include "export_test_util.h"
#include "support/test_files.h"

using namespace testing_support;
using namespace exporttest;

namespace {

constexpr std::size_t kW = 216;

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A fax of the given pages (216 bytes wide) turned into our TIFF, then into a PDF.
struct Converted {
    std::vector<Bytes> pixels;
    std::string tif, pdf;
    Bytes bytes;
    int result = -1;
};

Converted ConvertPixels(const TempDir& dir, const std::vector<Bytes>& pixels) {
    Converted c;
    c.pixels = pixels;
    std::vector<Bytes> pcx;
    for (const Bytes& p : pixels) pcx.push_back(MakePcx(p, kW));
    c.tif = dir.File("fax.tif");
    c.pdf = dir.File("fax.pdf");
    fax::TiffWriter writer;
    TiffRun run = RunTiffWriter(MakeDcx(pcx), dir.File("fax.dcx"), c.tif, writer);
    EXPECT_EQ(run.result, 1);
    c.result = fax::TiffToPdf(c.tif, c.pdf);
    c.bytes = ReadBytes(c.pdf);
    return c;
}

Converted Convert(const TempDir& dir, const std::vector<std::size_t>& heights) {
    std::vector<Bytes> pixels;
    for (std::size_t i = 0; i < heights.size(); ++i)
        pixels.push_back(PatternPage(kW, heights[i], static_cast<unsigned>(i + 11)));
    return ConvertPixels(dir, pixels);
}

// The cross-reference table: offsets of objects 1..n, checked to be 20-byte lines.
std::vector<std::size_t> XrefOffsets(const std::string& pdf) {
    std::vector<std::size_t> offsets;
    std::size_t sx = pdf.rfind("startxref\r");
    EXPECT_NE(sx, std::string::npos);
    std::size_t xref = std::stoul(pdf.substr(sx + 10));
    EXPECT_EQ(pdf.compare(xref, 7, "xref\r0 "), 0);
    std::size_t count = std::stoul(pdf.substr(xref + 7));
    std::size_t line = pdf.find(" \r", xref + 7) + 2;
    EXPECT_EQ(pdf.substr(line, 20), "0000000000 65535 f\r\n");
    for (std::size_t i = 1; i < count; ++i) {
        std::string l = pdf.substr(line + 20 * i, 20);
        EXPECT_TRUE(std::regex_match(l, std::regex("[0-9]{10} 00000 n\r\n"))) << i << ": " << l;
        offsets.push_back(std::stoul(l.substr(0, 10)));
    }
    EXPECT_EQ(pdf.compare(line + 20 * count, 8, "trailer\r"), 0);
    return offsets;
}

// PBM (P4) pixels, 1 = black, as netpbm writes them.
Bytes PbmPixels(const std::string& path, unsigned& w, unsigned& h) {
    Bytes b = ReadBytes(path);
    w = h = 0;
    std::size_t at = 0;
    auto field = [&]() -> std::string {
        while (at < b.size() && std::isspace(b[at])) ++at;
        std::string f;
        while (at < b.size() && !std::isspace(b[at])) f += static_cast<char>(b[at++]);
        return f;
    };
    if (field() != "P4") return {};
    w = static_cast<unsigned>(std::stoul(field()));
    h = static_cast<unsigned>(std::stoul(field()));
    ++at;  // the single whitespace before the data
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.end());
}

TEST(PdfLayout, OnePageOffsetsAndObjects) {
    // Written where numbers have a decimal comma (the viewer runs in the desktop's locale).
    TempDir dir, locales;
    ASSERT_EQ(RunCommand("localedef -i de_DE -f ISO-8859-1 '" + locales.File("de_DE") + "'"), 0);
    ::setenv("LOCPATH", locales.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE"), nullptr);
    Converted c = Convert(dir, {2200});
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_EQ(c.result, 0);
    const std::string pdf = Text(c.bytes);

    // Header: version 1.1 and a space, then the binary marker comment.
    EXPECT_EQ(pdf.substr(0, 17), std::string("%PDF-1.1 \r%\xE2\xE3\xCF\xD3\r\n"));
    EXPECT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\r");

    std::vector<std::size_t> offsets = XrefOffsets(pdf);
    ASSERT_EQ(offsets.size(), 8u);
    const std::size_t expected[] = {17, 69, 199, 263, 439, 558, 576};
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(offsets[i], expected[i]) << "object " << i + 1;
    // Every line points at its object's number.
    for (std::size_t i = 0; i < offsets.size(); ++i)
        EXPECT_EQ(pdf.substr(offsets[i], std::to_string(i + 1).size() + 7), std::to_string(i + 1) + " 0 obj\r");

    EXPECT_EQ(pdf.substr(17, 52), "1 0 obj\r<< \r/Type /Catalog \r/Pages 3 0 R \r>>\rendobj\r");
    std::regex info("2 0 obj\r<< \r/CreationDate \\((D:[0-9]{14})\\)\r/ModDate \\((D:[0-9]{14})\\)\r"
                    "/Producer \\(libtiff / tiff2pdf - 20031226 / d\\)\r>> \rendobj\r");
    std::smatch m;
    std::string infoText = pdf.substr(69, 130);
    ASSERT_TRUE(std::regex_match(infoText, m, info)) << infoText;
    EXPECT_EQ(m[1], m[2]);
    EXPECT_EQ(pdf.substr(199, 64), "3 0 obj\r<< \r/Type /Pages \r/Kids [ 4 0 R ] \r/Count 1 \r>> \rendobj\r");
    EXPECT_EQ(pdf.substr(263, 176),
              "4 0 obj\r<<\r/Type /Page \r/Parent 3 0 R \r/MediaBox [0.0000 0.0000 609.8823 808.1633] \r"
              "/Contents 5 0 R \r/Resources << \r/XObject <<\r/Im1 7 0 R >>\r/ProcSet [ /ImageB ]\r>>\r>>\rendobj\r");
    const std::string content = "q  609.8823 0.0000 0.0000 808.1633 0.0000 0.0000 cm /Im1 Do Q\r";
    ASSERT_EQ(content.size(), 62u);
    EXPECT_EQ(pdf.substr(439, 119), "5 0 obj\r<< \r/Length 6 0 R \r >>\rstream\r\n" + content + "\rendstream\rendobj\r");
    EXPECT_EQ(pdf.substr(558, 18), "6 0 obj\r62\rendobj\r");
    const std::string image =
        "7 0 obj\r<< \r/Length 8 0 R \r/Type /XObject \r/Subtype /Image \r/Name /Im1\r/Width 1728\r/Height 2200\r"
        "/BitsPerComponent 1\r/ColorSpace /DeviceGray \r/Filter /CCITTFaxDecode /DecodeParms "
        "<< /K -1 /Columns 1728 /Rows 2200>>\r >>\rstream\r\n";
    ASSERT_EQ(image.size(), 802u - 576u);
    EXPECT_EQ(pdf.substr(576, image.size()), image);
    EXPECT_EQ(pdf.find("/BlackIs1"), std::string::npos);
    EXPECT_EQ(pdf.find("/Decode "), std::string::npos);

    // The image stream's length object tells where the stream ends.
    std::size_t streamEnd = pdf.find("\rendstream\rendobj\r8 0 obj\r", 802);
    ASSERT_NE(streamEnd, std::string::npos);
    EXPECT_EQ(offsets[7], streamEnd + 18);
    const std::string lengthObject = "8 0 obj\r" + std::to_string(streamEnd - 802) + "\rendobj\rxref\r0 9 \r";
    EXPECT_EQ(pdf.substr(offsets[7], lengthObject.size()), lengthObject);
    // The file identifier, twice, and the trailer.
    EXPECT_NE(pdf.find("trailer\r<<\r/Size 9\r/Root 1 0 R \r/Info 2 0 R \r/ID[<2900000023480000BE18000084670000>"
                       "<2900000023480000BE18000084670000>]\r>>\rstartxref\r"),
              std::string::npos);
}

TEST(PdfLayout, NinePagesBreakThePageTreeAfterTheEighthKid) {
    TempDir dir;
    Converted c = Convert(dir, {30, 31, 32, 33, 34, 35, 36, 37, 38});
    ASSERT_EQ(c.result, 0);
    const std::string pdf = Text(c.bytes);
    EXPECT_NE(pdf.find("3 0 obj\r<< \r/Type /Pages \r/Kids [ 4 0 R 9 0 R 14 0 R 19 0 R 24 0 R 29 0 R 34 0 R 39 0 R "
                       "\r44 0 R ] \r/Count 9 \r>> \rendobj\r"),
              std::string::npos);
    std::vector<std::size_t> offsets = XrefOffsets(pdf);
    ASSERT_EQ(offsets.size(), 48u);
    for (std::size_t i = 0; i < offsets.size(); ++i)
        EXPECT_EQ(pdf.substr(offsets[i], std::to_string(i + 1).size() + 7), std::to_string(i + 1) + " 0 obj\r") << i;
    EXPECT_NE(pdf.find("/Size 49\r"), std::string::npos);
    // Page k's image is object 4 + 5k + 3, named /Im(k+1).
    EXPECT_NE(pdf.find("/Im9 47 0 R >>"), std::string::npos);
    EXPECT_NE(pdf.find("/Name /Im9\r/Width 1728\r/Height 38\r"), std::string::npos);
}

TEST(PdfReaders, IndependentToolsAgree) {
    TempDir dir;
    Converted c = Convert(dir, {2200, 700, 1});
    ASSERT_EQ(c.result, 0);
    std::string out;
    EXPECT_EQ(RunCommand("qpdf --check '" + c.pdf + "'", &out, true), 0) << out;
    EXPECT_NE(out.find("No syntax or stream encoding errors"), std::string::npos) << out;

    out.clear();
    ASSERT_EQ(RunCommand("pdfinfo '" + c.pdf + "'", &out, true), 0);
    EXPECT_NE(out.find("PDF version:     1.1"), std::string::npos) << out;
    EXPECT_NE(out.find("Pages:           3"), std::string::npos) << out;
    EXPECT_NE(out.find("Producer:        libtiff / tiff2pdf - 20031226 / d"), std::string::npos) << out;
    out.clear();
    ASSERT_EQ(RunCommand("pdfinfo -f 1 -l 1 '" + c.pdf + "'", &out, true), 0);
    EXPECT_NE(out.find("Page    1 size:  609.882 x 808.163 pts"), std::string::npos) << out;

    // The images, extracted by poppler, are exactly the fax's pixels.
    out.clear();
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && pdfimages '" + c.pdf + "' img", &out, true), 0) << out;
    for (std::size_t i = 0; i < c.pixels.size(); ++i) {
        unsigned w = 0, h = 0;
        Bytes px = PbmPixels(dir.File("img-00" + std::to_string(i) + ".pbm"), w, h);
        EXPECT_EQ(w, 1728u) << i;
        ASSERT_EQ(h, c.pixels[i].size() / kW) << i;
        Bytes want = c.pixels[i];
        for (auto& b : want) b = static_cast<std::uint8_t>(~b);
        EXPECT_TRUE(px == want) << "page " << i;
    }
    // Rendered at the fax's own resolution the page is the fax again, give or take the
    // renderer's rounding at edges (it gives one more row than the 2,200). Squares of
    // 64 pixels, so that edges are few.
    TempDir squares;
    Bytes board(kW * 2200, 0xFF);
    for (std::size_t y = 0; y < 2200; ++y)
        for (std::size_t x = 0; x < kW; ++x)
            if (((y / 64) + (x / 8)) % 3 == 0) board[y * kW + x] = 0x00;
    Converted b = ConvertPixels(squares, {board});
    ASSERT_EQ(b.result, 0);
    out.clear();
    ASSERT_EQ(RunCommand("pdftoppm -mono -rx 204 -ry 196 '" + b.pdf + "' '" + squares.File("page") + "'", &out, true), 0)
        << out;
    unsigned w = 0, h = 0;
    Bytes page = PbmPixels(squares.File("page-1.pbm"), w, h);
    ASSERT_EQ(w, 1728u);
    ASSERT_GE(h, 2200u);
    std::size_t differ = 0, black = 0;
    for (std::size_t i = 0; i < board.size(); ++i) {
        std::uint8_t want = static_cast<std::uint8_t>(~board[i]);
        differ += static_cast<std::size_t>(__builtin_popcount(page[i] ^ want));
        black += static_cast<std::size_t>(__builtin_popcount(want));
    }
    EXPECT_GT(black, board.size());  // the page has ink: more than one pixel in eight
    EXPECT_LT(differ * 50, black) << differ << " of " << black;
}

// A TIFF written by libtiff itself, for content our writer never makes.
void WriteLibtiffImage(const std::string& path, std::uint16_t bits, std::uint16_t photometric, bool tiled,
                       const Bytes& rows, std::uint32_t width, std::uint32_t height, float xres, std::uint16_t unit) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (xres > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, xres);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, xres);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, unit);
    }
    if (tiled) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
        Bytes tile(static_cast<std::size_t>(TIFFTileSize(t)), 0);
        for (std::uint32_t y = 0; y < height; y += 16)
            for (std::uint32_t x = 0; x < width; x += 16) TIFFWriteTile(t, tile.data(), x, y, 0, 0);
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 7);  // several strips
        tmsize_t line = TIFFScanlineSize(t);
        for (std::uint32_t y = 0; y < height; ++y)
            TIFFWriteScanline(t, const_cast<std::uint8_t*>(rows.data()) + line * y, y, 0);
    }
    TIFFClose(t);
}

TEST(PdfReaders, BlackIsZeroPagesAndResolutionDefaults) {
    // 64 x 40, BlackIsZero (1 = white), several uncompressed strips, 80 dots per cm.
    const std::uint32_t w = 64, h = 40;
    Bytes rows(8 * h);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i * 37 + (i >> 3));
    struct Case {
        const char* name;
        float res;
        std::uint16_t unit;
        const char* mediaBox;
    };
    const Case cases[] = {
        {"80 dots per cm", 80.f, RESUNIT_CENTIMETER, "/MediaBox [0.0000 0.0000 22.6772 14.1732]"},
        {"no resolution: 300 dpi", 0.f, RESUNIT_INCH, "/MediaBox [0.0000 0.0000 15.3600 9.6000]"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteLibtiffImage(dir.File("b.tif"), 1, PHOTOMETRIC_MINISBLACK, false, rows, w, h, c.res, c.unit);
        ASSERT_EQ(fax::TiffToPdf(dir.File("b.tif"), dir.File("b.pdf")), 0) << c.name;
        std::string pdf = Text(ReadBytes(dir.File("b.pdf")));
        EXPECT_NE(pdf.find(c.mediaBox), std::string::npos) << c.name << "\n" << pdf.substr(0, 600);
        EXPECT_NE(pdf.find("/Columns 64 /Rows 40 /BlackIs1 true >>"), std::string::npos) << c.name;
        std::string out;
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && pdfimages b.pdf img", &out, true), 0) << out;
        unsigned pw = 0, ph = 0;
        Bytes px = PbmPixels(dir.File("img-000.pbm"), pw, ph);
        Bytes want = rows;  // PBM black is 1; here black is 0
        for (auto& b : want) b = static_cast<std::uint8_t>(~b);
        EXPECT_TRUE(px == want) << c.name;
    }
}

TEST(PdfReaders, PagesInPageNumberOrder) {
    // Directories numbered 2, 0, 1 and one without a number, told apart by their heights.
    TempDir dir;
    TIFF* t = TIFFOpen(dir.File("p.tif").c_str(), "w");
    ASSERT_NE(t, nullptr);
    for (auto [number, height] : {std::pair{2, 30u}, {0, 10u}, {1, 20u}, {-1, 40u}}) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 64u);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        if (number >= 0) TIFFSetField(t, TIFFTAG_PAGENUMBER, std::uint16_t(number), std::uint16_t(3));
        Bytes row(8, 0x0F);
        for (std::uint32_t y = 0; y < height; ++y) TIFFWriteScanline(t, row.data(), y, 0);
        TIFFWriteDirectory(t);
    }
    TIFFClose(t);
    ASSERT_EQ(fax::TiffToPdf(dir.File("p.tif"), dir.File("p.pdf")), 0);
    std::string out;
    ASSERT_EQ(RunCommand("pdfimages -list '" + dir.File("p.pdf") + "' | tail -n +3", &out, true), 0);
    std::istringstream list(out);
    std::vector<unsigned> heights;
    for (std::string page, num, type, width, height, rest; list >> page >> num >> type >> width >> height && std::getline(list, rest);)
        heights.push_back(unsigned(std::stoul(height)));
    EXPECT_EQ(heights, (std::vector<unsigned>{10, 20, 30, 40}));
}

TEST(PdfErrors, ContentItDoesNotHandleFailsCleanly) {
    TempDir dir;
    Bytes grey(32 * 16, 0x80);
    WriteLibtiffImage(dir.File("grey.tif"), 8, PHOTOMETRIC_MINISBLACK, false, grey, 32, 16, 0, 0);
    WriteLibtiffImage(dir.File("tiled.tif"), 1, PHOTOMETRIC_MINISWHITE, true, {}, 32, 32, 0, 0);
    WriteBytes(dir.File("junk.tif"), Bytes(500, 0x41));
    const char* cases[] = {"grey.tif", "tiled.tif", "junk.tif", "missing.tif"};
    for (const char* name : cases) {
        std::string pdf = dir.File(std::string(name) + ".pdf");
        EXPECT_EQ(fax::TiffToPdf(dir.File(name), pdf), 1) << name;
        EXPECT_FALSE(fax::TiffToPdfBusy()) << name;
    }
    // No failure leaves a PDF behind, not even an empty one.
    for (const char* name : cases) EXPECT_FALSE(Exists(dir.File(std::string(name) + ".pdf"))) << name;
    // A PDF that cannot be created.
    TempDir ok;
    Converted c = Convert(ok, {10});
    EXPECT_EQ(fax::TiffToPdf(c.tif, ok.File("no/such/folder.pdf")), 1);
}

// A page may be as wide as the widest PCX line (65,535 bytes), not one pixel wider: the
// coders' buffers grow with the width, and a damaged TIFF may claim any.
TEST(PdfErrors, PageWidthUpToTheWidestFaxLine) {
    struct Case {
        std::uint32_t width;
        int result;
    } cases[] = {{65535u * 8u, 0}, {65535u * 8u + 1u, 1}};
    TempDir dir;
    for (const auto& c : cases) {
        const std::string tif = dir.File(std::to_string(c.width) + ".tif");
        WriteLibtiffImage(tif, 1, PHOTOMETRIC_MINISWHITE, false, Bytes((c.width + 7) / 8 * 2, 0), c.width, 2, 0, 0);
        EXPECT_EQ(fax::TiffToPdf(tif, tif + ".pdf"), c.result) << c.width;
        EXPECT_EQ(Exists(tif + ".pdf"), c.result == 0) << c.width;
    }
}

// Every image is, byte for byte, the one libtiff's decoder and Group 4 coder make of the page
// (the writer's way before it had coders of its own): from our TIFFs, other writers' in every
// compression, bit order and strip layout, and damaged ones, which libtiff mends or refuses
// and the writer with it. libtiff's own tiff2pdf agrees on our TIFF.
TEST(PdfImages, SameBytesAsLibtiffsCoder) {
    const TIFFErrorHandler errors = TIFFSetErrorHandler(nullptr), warnings = TIFFSetWarningHandler(nullptr);
    TempDir dir;
    Bytes noisy = PatternPage(kW, 150, 7);
    for (std::size_t i = kW * 60; i < kW * 90; ++i) noisy[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    const Converted ours = ConvertPixels(dir, {noisy, PatternPage(kW, 40, 8)});
    fax::TiffWriter writer;
    RunTiffWriter(ReadBytes(SourceDir() + "/resources/samples/sample.dcx"), dir.File("s.dcx"), dir.File("s.tif"), writer);
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && '" + CliPath() + "' pbm fax.dcx 1 p.pbm >/dev/null && gm convert p.pbm -compress Fax gm3.tif && gm convert p.pbm -compress Group4 "
                         "gm4.tif && pamtotiff -g3 -rowsperstrip=40 p.pbm >nb3.tif && pamtotiff -g3 -2d -fill p.pbm >nb2.tif && "
                         "pamtotiff -g3 -lsb2msb p.pbm >nbl.tif && pamtotiff -g4 p.pbm >nb4.tif && pamtotiff -none p.pbm >raw.tif && "
                         "tiff2pdf -o t2p.pdf '" + ours.tif + "'"),
              0);
    EXPECT_TRUE(PdfImageStreams(ReadBytes(dir.File("t2p.pdf"))) == PdfImageStreams(ours.bytes));
    std::vector<std::string> tiffs = {ours.tif, dir.File("s.tif")};
    for (const char* name : {"gm3", "gm4", "nb3", "nb2", "nbl", "nb4", "raw"}) tiffs.push_back(dir.File(name + std::string(".tif")));

    // Damaged copies of the Group 3 ones, in their strips: bits flipped, bytes changed,
    // spans of zeros or ones; our TIFF also with any strip length, 0 and past the end too.
    std::mt19937 random(5);
    for (const std::string& base : {ours.tif, dir.File("gm3.tif"), dir.File("nb3.tif")}) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> strips;
        TIFF* t = TIFFOpen(base.c_str(), "r");
        for (std::uint32_t s = 0; s < TIFFNumberOfStrips(t); ++s) strips.emplace_back(TIFFGetStrileOffset(t, s), TIFFGetStrileByteCount(t, s));
        TIFFClose(t);
        const Bytes good = ReadBytes(base);
        for (int i = 0; i < 80; ++i) {
            Bytes bad = good;
            const auto [at, size] = strips[random() % strips.size()];
            const std::size_t pos = at + random() % size, span = 1 + random() % 40;
            switch (random() % (base == ours.tif ? 4 : 3)) {
                case 0: bad[pos] ^= static_cast<std::uint8_t>(1u << random() % 8); break;
                case 1: bad[pos] = static_cast<std::uint8_t>(random()); break;
                case 2: std::fill_n(bad.begin() + pos, std::min(span, at + size - pos), random() % 2 ? 0x00 : 0xFF); break;
                default: {  // the first page's StripByteCounts, in its directory block
                    const std::size_t entry = Le32(bad, 4) + 2 + 12 * 9 + 8;
                    const std::uint32_t length = static_cast<std::uint32_t>(random() % (2 * bad.size()));
                    for (int k = 0; k < 4; ++k) bad[entry + k] = static_cast<std::uint8_t>(length >> (8 * k));
                }
            }
            tiffs.push_back(dir.File("bad" + std::to_string(tiffs.size()) + ".tif"));
            WriteBytes(tiffs.back(), bad);
        }
    }
    int mended = 0;
    for (const std::string& tif : tiffs) {
        bool ok = false;
        const std::vector<Bytes> want = LibtiffG4Pages(tif, ok);
        const int result = fax::TiffToPdf(tif, tif + ".pdf");
        ASSERT_EQ(result == 0, ok) << tif;
        if (result == 0) { EXPECT_TRUE(PdfImageStreams(ReadBytes(tif + ".pdf")) == want) << tif; }
        mended += result == 0 && tif.find("bad") != std::string::npos;
    }
    EXPECT_GT(mended, 40);  // many damaged pages are mended, not refused
    TIFFSetErrorHandler(errors);
    TIFFSetWarningHandler(warnings);
}

// The export codes each page's image from the rows it writes into the TIFF, on a second
// thread: the images are libtiff's coding of that TIFF, for faxes of every kind, and also
// where no temporary file can be had for them or the temporary folder fills up.
TEST(PdfImages, TheExportsImagesAreLibtiffsCodingOfItsTiff) {
    TempDir dir;
    Bytes noisy = PatternPage(kW, 150, 7);
    for (std::size_t i = kW * 60; i < kW * 90; ++i) noisy[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    WriteBytes(dir.File("noisy.dcx"), MakeDcx({MakePcx(noisy, kW), MakePcx(PatternPage(kW, 40, 8), kW)}));
    Bytes cut = MakeDcx({MakePcx(PatternPage(kW, 90, 2), kW), MakePcx(PatternPage(kW, 300, 3), kW)});
    cut.resize(cut.size() - 2000);  // the last page's rows end early
    WriteBytes(dir.File("cut.dcx"), cut);
    Bytes over = MakePcx(PatternPage(kW, 60, 4), kW);  // runs that cross the ends of rows
    over.resize(128);
    for (int i = 0; i < 400; ++i) over.insert(over.end(), {0xFF, 0x55, 0xC5, 0x00, 0x3C});
    WriteBytes(dir.File("over.pcx"), over);
    WriteBytes(dir.File("narrow.pcx"), MakePcx(PatternPage(100, 80, 5), 100));
    WriteBytes(dir.File("tall.pcx"), MakePcx(Bytes(kW * 65536, 0xFF), kW));  // one strip past 65,535 rows
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && cp '" + SourceDir() + "/resources/samples/sample.dcx' . && '" +
                         CliPath() + "' pbm sample.dcx 2 p.pbm >/dev/null && gm convert p.pbm gm.pcx && ppmtopcx p.pbm >nb.pcx 2>/dev/null && '" +
                         CliPath() + "' --yes breakup sample.dcx . >/dev/null && '" + CliPath() +
                         "' build nine.dcx 0001.pcx 0002.pcx 0003.pcx 0001.pcx 0002.pcx 0003.pcx 0001.pcx 0002.pcx 0003.pcx >/dev/null"),
              0);
    std::vector<std::pair<std::string, std::string>> faxes = {
        {"sample.dcx", ""}, {"noisy.dcx", ""}, {"cut.dcx", ""}, {"over.pcx", ""},
        {"narrow.pcx", ""}, {"tall.pcx", ""},  {"gm.pcx", ""},  {"nb.pcx", ""},  {"sample.dcx", "TMPDIR=/nonexistent "}};
    SmallDisk small(dir.File("small"));  // the nine pages' images need more than it holds
    if (small.mounted()) faxes.push_back({"nine.dcx", "TMPDIR=" + dir.File("small") + " "});
    for (const auto& [fax, env] : faxes) {
        SCOPED_TRACE(env + fax);
        const std::string tif = dir.File(fax + ".tif"), pdf = dir.File(fax + ".pdf");
        ASSERT_EQ(RunCommand(env + "'" + CliPath() + "' export '" + dir.File(fax) + "' '" + tif + "' '" + pdf + "' >/dev/null"), 0);
        bool ok = false;
        const std::vector<Bytes> want = LibtiffG4Pages(tif, ok);
        ASSERT_TRUE(ok);
        EXPECT_TRUE(PdfImageStreams(ReadBytes(pdf)) == want);
    }
}

// A strip of over 1 MiB that libtiff reads in part (past ten times its rows' size and 4 KiB).
TEST(PdfImages, LargeStripsAsLibtiffReadsThem) {
    const std::uint32_t rows = 484, limit = 2160 * rows + 4105;  // past 1 MiB
    Bytes strip, line(fax::MhLineBytesMax(1728));
    line.resize(fax::CodeMhLine(nullptr, 0, 1728, line.data()));  // a white row
    for (std::uint32_t y = 0; y < rows; ++y) strip.insert(strip.end(), line.begin(), line.end());
    TempDir dir;
    for (std::uint32_t size : {limit, limit + 1}) {
        Bytes data = strip;
        data.insert(data.end() - 6, size - strip.size(), 0x00);  // zero fill before the last row's EOL
        const std::string tif = CodedTiff(dir, std::to_string(size) + ".tif", 1728, rows, COMPRESSION_CCITTFAX3, 2, data);
        bool ok = false;
        const std::vector<Bytes> want = LibtiffG4Pages(tif, ok);
        EXPECT_EQ(ok, size == limit);
        EXPECT_EQ(fax::TiffToPdf(tif, tif + ".pdf"), ok ? 0 : 1);
        if (ok) { EXPECT_TRUE(PdfImageStreams(ReadBytes(tif + ".pdf")) == want); }
    }
}

TEST(PdfText, StringsAndIdentifier) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"D:20240131235959", "(D:20240131235959)"},
        {"a(b)c\\d", "(a\\(b\\)c\\\\d)"},
        {std::string("\x01\x1F\x7F\x80\xFF ~", 7), "(\\001\\037\\177\\200\\377 ~)"},
        {"", "()"},
    };
    for (const Case& c : cases) EXPECT_EQ(fax::PdfString(c.in), c.out);
}

// The identifier generator runs once per program: two PDFs of one run get the next
// identifiers in its sequence, never the same one.
TEST(PdfText, IdentifierContinuesAcrossConversions) {
    // The classic generator from state 1 gives 41, 18467, 6334, 26500, 19169, ...; four
    // values make one identifier, each as 8 hexadecimal digits, low byte first.
    std::vector<std::string> sequence;
    std::uint32_t state = 1;
    for (int id = 0; id < 4096; ++id) {
        std::string text;
        for (int v = 0; v < 4; ++v) {
            state = state * 214013u + 2531011u;
            unsigned value = (state >> 16) & 0x7FFF;
            char hex[9];
            std::snprintf(hex, sizeof hex, "%02X%02X0000", value & 0xFF, value >> 8);
            text += hex;
        }
        sequence.push_back(text);
    }
    EXPECT_EQ(sequence[0], "29000000" "23480000" "BE180000" "84670000");

    TempDir a, b;
    std::vector<std::string> ids;
    for (const TempDir* dir : {&a, &b}) {
        Converted c = Convert(*dir, {20});
        std::string pdf = Text(c.bytes);
        std::size_t at = pdf.find("/ID[<");
        ASSERT_NE(at, std::string::npos);
        ids.push_back(pdf.substr(at + 5, 32));
        EXPECT_EQ(pdf.substr(at + 37, 3), "><" + ids.back().substr(0, 1));
    }
    ids.push_back(fax::PdfFileId());
    auto first = std::find(sequence.begin(), sequence.end(), ids[0]);
    ASSERT_LT(first + 2, sequence.end()) << ids[0];
    EXPECT_EQ(ids[1], *(first + 1));
    EXPECT_EQ(ids[2], *(first + 2));
}

TEST(ExportDriver, ConvertFaxToTifPdf) {
    TempDir dir;
    Bytes page = PatternPage(kW, 300, 4);
    WriteBytes(dir.File("in.pcx"), MakePcx(page, kW));
    WriteBytes(dir.File("bad.pcx"), Bytes(100, 0x0A));

    // Success; an existing PDF is replaced.
    WriteBytes(dir.File("in.pdf"), Bytes(10, 'x'));
    fax::ExportResult r = fax::ConvertFaxToTifPdf(dir.File("in.pcx"), dir.File("in.tif"), dir.File("in.pdf"));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.error, fax::ExportError::None);
    EXPECT_EQ(Text(ReadBytes(dir.File("in.pdf"))).substr(0, 8), "%PDF-1.1");
    bool decoded = false;
    auto pages = DecodeTiff(dir.File("in.tif"), decoded);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(pages[0].rows == AsTiffRows(page, kW));

    struct Case {
        const char* name;
        std::string fax, tif, pdf;
        fax::ExportError error;
        bool tifKept;
    };
    const Case cases[] = {
        {"fax cannot be opened: code 0", dir.File("none.pcx"), dir.File("a.tif"), dir.File("a.pdf"),
         fax::ExportError::None, false},
        {"TIF cannot be created", dir.File("in.pcx"), dir.File("no/dir/b.tif"), dir.File("b.pdf"),
         fax::ExportError::TifCreateFailed, false},
        {"TIFF step fails: its code, no TIF left", dir.File("bad.pcx"), dir.File("c.tif"), dir.File("c.pdf"),
         fax::ExportError::ShortFile, false},
        {"PDF step fails: 2061, TIF complete", dir.File("in.pcx"), dir.File("d.tif"), dir.File("no/dir/d.pdf"),
         fax::ExportError::PdfFailed, true},
    };
    for (const Case& c : cases) {
        fax::ExportResult e = fax::ConvertFaxToTifPdf(c.fax, c.tif, c.pdf);
        EXPECT_EQ(e.result, 0) << c.name;
        EXPECT_EQ(e.error, c.error) << c.name;
        EXPECT_EQ(Exists(c.tif), c.tifKept) << c.name;
        EXPECT_FALSE(Exists(c.pdf)) << c.name;
        EXPECT_EQ(fax::ExportFailureText(e.error),
                  "Dcx-Pcx to TIF and PDF failed with error[" + std::to_string(unsigned(e.error)) + "]");
    }
    EXPECT_EQ(ReadBytes(dir.File("d.tif")), ReadBytes(dir.File("in.tif")));
}

}  // namespace

// An output that is the fax itself (or both outputs one file) is refused before writing.
TEST(ExportDriver, OutputsThatAreTheFaxAreRefused) {
    TempDir dir;
    const Bytes fax = MakePcx(PatternPage(kW, 40, 3), kW);
    WriteBytes(dir.File("g.pdf"), fax);
    std::filesystem::create_symlink("g.pdf", dir.File("link.tif"));
    struct Case {
        std::string tif, pdf;
        const char* reason;  // empty: converts
    } cases[] = {
        {dir.File("g.tif"), dir.File("g.pdf"), "It is the fax file itself"},
        {dir.File("link.tif"), dir.File("x.pdf"), "It is the fax file itself"},
        {dir.File("sub/../g.pdf"), dir.File("y.pdf"), "It is the fax file itself"},
        {dir.File("same"), dir.File("same"), "can not be one file"},
        {dir.File("ok.tif"), dir.File("ok.pdf"), ""},
    };
    for (const Case& c : cases) {
        std::filesystem::create_directories(dir.File("sub"));
        fax::ExportResult r = fax::ConvertFaxToTifPdf(dir.File("g.pdf"), c.tif, c.pdf);
        EXPECT_EQ(r.ok(), *c.reason == 0) << c.tif;
        EXPECT_NE(r.refusal.find(c.reason), std::string::npos) << r.refusal;
        EXPECT_TRUE(ReadBytes(dir.File("g.pdf")) == fax) << c.tif;
    }
    EXPECT_FALSE(Exists(dir.File("g.tif")));
    EXPECT_FALSE(Exists(dir.File("same")));
}
