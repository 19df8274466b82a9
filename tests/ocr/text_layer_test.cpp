// Recognised text: the recogniser's libraries loaded only to recognise, the PDF text layer
// read back by poppler, tarvex-cli text, the messages for missing language data or recogniser,
// and the recogniser's API on pages rendered from known text.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "ocr/engine.h"
#include "ocr/fax_text.h"
#include "support/test_files.h"

using namespace testing_support;

namespace {

constexpr std::size_t kW = 216;

std::string Q(const std::string& s) { return "'" + s + "'"; }
std::string Cli(const std::string& args) { return Q(CliPath()) + " " + args; }

std::vector<std::string> Words(const std::vector<std::string>& lines) {
    std::vector<std::string> words;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        for (std::string w; in >> w;) words.push_back(w);
    }
    return words;
}

struct PdfWord {
    std::string text;
    double x0, y0, x1, y1;
};

// One page as poppler's pdftotext -bbox reads it, and the page's size in points.
std::vector<PdfWord> PopplerWords(const std::string& pdf, int page, double& width, double& height) {
    std::string out;
    const std::string n = std::to_string(page);
    RunCommand("pdftotext -bbox -f " + n + " -l " + n + " " + Q(pdf) + " - 2>/dev/null", &out);
    std::smatch m;
    std::regex_search(out, m, std::regex("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\""));
    width = m.empty() ? 0 : std::stod(m[1]), height = m.empty() ? 0 : std::stod(m[2]);
    std::vector<PdfWord> words;
    std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    for (std::sregex_iterator it(out.begin(), out.end(), word), end; it != end; ++it)
        words.push_back({(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
    return words;
}

bool Black(const Bytes& pixels, long x, long y) { return !(pixels[y * kW + x / 8] & (0x80 >> (x % 8))); }

// Every word's box holds ink, and every inked pixel of the page lies in a word's box.
void ExpectBoxesOverInk(const std::vector<PdfWord>& words, double width, double height, const Bytes& pixels,
                        const char* name) {
    const long rows = static_cast<long>(pixels.size() / kW);
    const double sx = kW * 8 / width, sy = rows / height;
    std::vector<bool> covered(pixels.size() * 8, false);
    for (const PdfWord& w : words) {
        long ink = 0;
        for (long y = std::lround(w.y0 * sy); y < std::lround(w.y1 * sy) && y < rows; ++y)
            for (long x = std::lround(w.x0 * sx); x < std::lround(w.x1 * sx) && x < long(kW * 8); ++x) {
                ink += Black(pixels, x, y);
                covered[y * kW * 8 + x] = true;
            }
        EXPECT_GT(ink, 0) << name << ": no ink under " << w.text;
    }
    long uncovered = 0;
    for (long y = 0; y < rows; ++y)
        for (long x = 0; x < long(kW * 8); ++x) uncovered += Black(pixels, x, y) && !covered[y * kW * 8 + x];
    EXPECT_EQ(uncovered, 0) << name << ": ink outside every word";
}

// The image objects of a PDF, each whole from its dictionary to "endstream".
std::vector<std::string> ImageObjects(const std::string& pdf) {
    std::vector<std::string> images;
    for (std::size_t at = pdf.find("/Subtype /Image"); at != std::string::npos; at = pdf.find("/Subtype /Image", at + 1))
        images.push_back(pdf.substr(pdf.rfind(" obj\r", at), pdf.find("endstream", at) - pdf.rfind(" obj\r", at)));
    return images;
}

std::string Text(const std::string& path) {
    Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

// First in this file: the process has not recognised anything yet.
TEST(Recognizer, LibtesseractIsLoadedOnlyToRecognise) {
    auto mapped = [] {
        std::stringstream maps;
        maps << std::ifstream("/proc/self/maps").rdbuf();
        return maps.str().find("/libtesseract.so") != std::string::npos;
    };
    EXPECT_FALSE(mapped());
    ocr::Recognizer recognizer;
    ASSERT_TRUE(recognizer.Open().ok());
    EXPECT_TRUE(mapped());
    for (const std::string& program : {CliPath(), std::string(VANTOREL_VIEWER)}) {
        std::string libraries;
        if (program.empty()) continue;
        EXPECT_EQ(RunCommand("ldd " + Q(program), &libraries), 0) << program;
        EXPECT_NE(libraries.find("libtiff.so"), std::string::npos) << program;
        EXPECT_EQ(libraries.find("libtesseract"), std::string::npos) << program;
    }
}

TEST(TextLayer, PopplerReadsTheWordsOverTheirInkAndTheImagesStayTheSame) {
    TempDir dir;
    const std::vector<std::string> english = {"Invoice 4711 for Harbour Row", "Shipping rollers and service kits"};
    const std::vector<std::string> german = {"Größe und Gewicht, Straße"};
    const Bytes a = RenderTextPage(dir, english, 140), blank(kW * 120, 0xFF), g = RenderTextPage(dir, german, 100);
    ASSERT_FALSE(a.empty() || g.empty());
    WriteBytes(dir.File("a.dcx"), MakeDcx({MakePcx(a, kW), MakePcx(blank, kW)}));
    WriteBytes(dir.File("g.pcx"), MakePcx(g, kW));
    // The batch's workers and the single export, each with and without the layer.
    ASSERT_EQ(RunCommand(Cli("export --to-dir " + Q(dir.File("ocr")) + " --ocr --jobs 2 " + Q(dir.File("a.dcx"))) +
                         ">/dev/null"), 0);
    ASSERT_EQ(RunCommand(Cli("export --to-dir " + Q(dir.File("plain")) + " " + Q(dir.File("a.dcx"))) + ">/dev/null"), 0);
    ASSERT_EQ(RunCommand(Cli("export " + Q(dir.File("g.pcx")) + " " + Q(dir.File("g.tif")) + " " +
                             Q(dir.File("g.pdf")) + " --ocr --lang eng+deu >/dev/null")), 0);
    ASSERT_EQ(RunCommand(Cli("export " + Q(dir.File("g.pcx")) + " " + Q(dir.File("p.tif")) + " " + Q(dir.File("p.pdf"))) +
                         ">/dev/null"), 0);

    struct Case {
        const char* name;
        std::string pdf, plain;
        int page;
        std::vector<std::string> lines;
        const Bytes* pixels;
    } cases[] = {
        {"English, from the batch", dir.File("ocr/a.pdf"), dir.File("plain/a.pdf"), 1, english, &a},
        {"a blank page: an empty layer", dir.File("ocr/a.pdf"), dir.File("plain/a.pdf"), 2, {}, &blank},
        {"German letters through the ToUnicode map", dir.File("g.pdf"), dir.File("p.pdf"), 1, german, &g},
    };
    for (const Case& c : cases) {
        double width = 0, height = 0;
        std::vector<PdfWord> words = PopplerWords(c.pdf, c.page, width, height);
        std::vector<std::string> texts;
        for (const PdfWord& w : words) texts.push_back(w.text);
        EXPECT_EQ(texts, Words(c.lines)) << c.name;
        ExpectBoxesOverInk(words, width, height, *c.pixels, c.name);
        const std::string pdf = Text(c.pdf), plain = Text(c.plain);
        EXPECT_EQ(ImageObjects(pdf), ImageObjects(plain)) << c.name;
        EXPECT_EQ(pdf.substr(0, 8) + plain.substr(0, 8), "%PDF-1.2%PDF-1.1") << c.name;
        EXPECT_EQ(plain.find("/Font"), std::string::npos) << c.name;
        EXPECT_EQ(RunCommand("qpdf --check " + Q(c.pdf) + " >/dev/null"), 0) << c.name;
    }
    // The blank page's object is as it is without the layer.
    EXPECT_NE(Text(dir.File("ocr/a.pdf")).find("9 0 obj\r<<\r/Type /Page \r/Parent 3 0 R \r/MediaBox [0.0000 0.0000 "
                                               "609.8823 44.0816] \r/Contents 10 0 R \r"),
              std::string::npos);

    std::string text;
    EXPECT_EQ(RunCommand(Cli("text " + Q(dir.File("a.dcx"))), &text), 0);
    EXPECT_EQ(text, english[0] + "\n" + english[1] + "\n\f");
}

TEST(TextLayer, MissingLanguageDataOrRecogniserAndBadRequestsNameTheRemedyAndWriteNothing) {
    TempDir dir, lib;
    const std::string fax = dir.File("f.pcx"), none = dir.File("tessdata");
    WriteBytes(fax, MakePcx(PatternPage(kW, 40, 1), kW));
    std::filesystem::create_directory(none);
    const std::string noData = "TESSDATA_PREFIX=" + Q(none) + " ";
    auto missing = [&](const std::string& lang, const std::string& package) {
        return "No language data for \"" + lang + "\" in " + none + ".\nInstall the package " + package +
               " (apt-get install " + package + ") to recognise text in it.\n";
    };
    // The module as on a machine without libtesseract: it needs a library that is nowhere.
    Bytes module = ReadBytes(VANTOREL_OCR_ENGINE_MODULE);
    const std::string needed = "libtesseract.so.5", absent = "libtesseract.so.0";
    const auto at = std::search(module.begin(), module.end(), needed.begin(), needed.end());
    ASSERT_NE(at, module.end());
    std::copy(absent.begin(), absent.end(), at);
    WriteBytes(lib.File("alone.so"), module);
    auto engine = [](const std::string& path) { return "VANTOREL_OCR_ENGINE=" + Q(path) + " "; };
    const std::string unloaded = "The text recogniser could not be loaded: ", again = "\nInstall Vantorel again to recognise text.\n";
    struct Case {
        const char* name;
        std::string env, args;
        int exit;
        std::string message;
    } cases[] = {
        {"the default language", noData, "text " + Q(fax), 1, missing("eng", "tesseract-ocr-eng")},
        {"export names the package", noData, "export " + Q(fax) + " o.tif o.pdf --ocr --lang chi_sim", 1,
         missing("chi_sim", "tesseract-ocr-chi-sim")},
        {"the batch asks before any worker", noData, "export --to-dir " + Q(dir.File("out")) + " --ocr --lang eng+xyz " + Q(fax),
         1, missing("eng", "tesseract-ocr-eng")},
        {"no language name", "", "text " + Q(fax) + " --lang ../eng", 1,
         "\"../eng\" is no language: give names of language data joined by \"+\", such as eng+deu.\n"},
        {"--lang without --ocr", "", "export " + Q(fax) + " o.tif o.pdf --lang deu", 2,
         "export: --lang goes with --ocr\nusage: tarvex-cli export FAX OUT.tif OUT.pdf [--ocr [--lang L]]\n"},
        {"a page the fax lacks", "", "text " + Q(fax) + " --page 2", 1, "The fax " + fax + " has no page 2; it has 1.\n"},
        {"no libtesseract", engine(lib.File("alone.so")), "text " + Q(fax), 1, unloaded + absent +
         ": cannot open shared object file: No such file or directory\nInstall the package libtesseract5 (apt-get install "
         "libtesseract5) to recognise text.\n"},
        {"no module", engine(dir.File("none.so")), "export " + Q(fax) + " o.tif o.pdf --ocr", 1,
         unloaded + dir.File("none.so") + ": cannot open shared object file: No such file or directory" + again},
        {"a file that is no module", engine(fax), "export --to-dir " + Q(dir.File("out")) + " --ocr " + Q(fax), 1,
         unloaded + fax + ": invalid ELF header" + again},
        {"a module of another interface", engine(VANTOREL_STALE_ENGINE), "text " + Q(fax), 1,
         "The text recogniser " VANTOREL_STALE_ENGINE " does not fit this program: it was built for interface " +
             std::to_string(ocr::kEngineInterface + 1) + ", this program needs " + std::to_string(ocr::kEngineInterface) +
             "." + again},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(RunCommand("cd " + Q(dir.path()) + " && " + c.env + Cli(c.args) + " 2>&1 >/dev/null", &err), c.exit)
            << c.name;
        EXPECT_EQ(err, c.message) << c.name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "only the fax and tessdata";
}

TEST(Recognizer, WordsInPagePixelsAlsoForHalfHeightPixelsAndCancel) {
    TempDir dir;
    const Bytes full = RenderTextPage(dir, {"Harbour Row 4711"}, 100);
    ASSERT_FALSE(full.empty());
    Bytes half;  // every other line, as a fax in standard resolution (204 x 98 dpi) has it
    for (std::size_t y = 0; y < full.size() / kW; y += 2) half.insert(half.end(), &full[y * kW], &full[y * kW + kW]);
    Bytes halfPcx = MakePcx(half, kW);
    halfPcx[12] = 204, halfPcx[14] = 98;
    WriteBytes(dir.File("full.pcx"), MakePcx(full, kW));
    WriteBytes(dir.File("half.pcx"), halfPcx);

    ocr::Recognizer recognizer;
    ASSERT_TRUE(recognizer.Open().ok());
    std::vector<ocr::Word> fullWords, halfWords;
    ASSERT_TRUE(ocr::RecognizeFaxPage(recognizer, dir.File("full.pcx"), 1, fullWords).ok());
    ASSERT_TRUE(ocr::RecognizeFaxPage(recognizer, dir.File("half.pcx"), 1, halfWords).ok());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}), 1) << "no helper threads";
    EXPECT_EQ(ocr::PageText(fullWords), "Harbour Row 4711\n");
    ASSERT_EQ(ocr::PageText(halfWords), "Harbour Row 4711\n");
    for (std::size_t i = 0; i < fullWords.size(); ++i) {
        const ocr::Word &f = fullWords[i], &h = halfWords[i];
        EXPECT_NEAR(h.x0, f.x0, 2) << f.utf8;
        EXPECT_NEAR(h.x1, f.x1, 2) << f.utf8;
        EXPECT_NEAR(h.y0, f.y0 / 2.0, 2) << f.utf8;
        EXPECT_NEAR(h.y1, f.y1 / 2.0, 2) << f.utf8;
        EXPECT_GT(f.confidence, 50) << f.utf8;
    }

    std::atomic<bool> cancel{true};
    std::vector<ocr::Word> none;
    EXPECT_EQ(ocr::RecognizeFaxPage(recognizer, dir.File("full.pcx"), 1, none, &cancel).status, ocr::Status::Cancelled);
    EXPECT_TRUE(none.empty());
}

}  // namespace
