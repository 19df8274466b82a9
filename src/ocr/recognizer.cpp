#include "ocr/recognizer.h"

#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace ocr {

namespace {

constexpr double kFallbackDpi = 200;  // a fax page's usual resolution
constexpr double kMinDpi = 50;        // below or above these the header is not believed
constexpr double kMaxDpi = 1200;
constexpr int kMaxRowRepeat = 4;      // standard-resolution faxes have half-height pixels
// The recogniser keeps coordinates in 16 bits: taller pages go in bands cut at a blank
// line where one lies near the band's end.
constexpr std::uint32_t kMaxBandLines = 30000;
constexpr std::uint32_t kBlankLineSearch = 3000;
constexpr const char* kDataSuffix = ".traineddata";
const char* const kSystemDataPaths[] = {
    "/usr/share/tesseract-ocr/5/tessdata",
    "/usr/share/tesseract-ocr/4.00/tessdata",
    "/usr/share/tessdata",
    "/usr/local/share/tessdata",
};

bool ValidLanguage(const std::string& language, std::vector<std::string>& names) {
    if (language.empty() || language.size() > kMaxLanguageText) return false;
    std::string name;
    for (std::size_t i = 0; i <= language.size(); ++i) {
        if (i == language.size() || language[i] == '+') {
            if (name.empty()) return false;
            names.push_back(name);
            name.clear();
        } else if (std::isalnum(static_cast<unsigned char>(language[i])) || language[i] == '_') {
            name += language[i];
        } else {
            return false;
        }
    }
    return true;
}

// The recogniser's matrix code may use OpenMP threads; a recogniser here runs on its
// caller's thread alone. Found at run time, as the library may be built without OpenMP.
void StayOnThisThread() {
    using SetLevels = void (*)(int);
    static const auto set = reinterpret_cast<SetLevels>(::dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    if (set) set(0);  // every parallel region of this thread runs on this thread
}

bool Cancelled(void* flag, int) {
    return flag && static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
}

double UsableDpi(double dpi) { return dpi >= kMinDpi && dpi <= kMaxDpi ? dpi : 0; }

bool BlankLine(const PageBits& page, std::uint32_t y) {
    const std::uint8_t* line = page.lines + static_cast<std::size_t>(y) * page.bytesPerLine;
    const std::uint32_t full = page.width / 8;
    for (std::uint32_t i = 0; i < full; ++i)
        if (line[i] != 0xFF) return false;
    const unsigned rest = page.width % 8;
    return rest == 0 || (line[full] | (0xFFu >> rest)) == 0xFFu;
}

}  // namespace

std::string DefaultDataPath() {
    if (const char* env = std::getenv("TESSDATA_PREFIX"); env && *env) return env;
    std::error_code ec;
    for (const char* p : kSystemDataPaths)
        if (fs::is_directory(p, ec)) return p;
    return {};
}

std::vector<std::string> InstalledLanguages(const std::string& dataPath) {
    std::vector<std::string> names;
    std::error_code ec;
    if (dataPath.empty()) return names;
    for (fs::directory_iterator it(dataPath, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const std::size_t suffix = std::strlen(kDataSuffix);
        std::vector<std::string> one;
        if (file.size() > suffix && file.compare(file.size() - suffix, suffix, kDataSuffix) == 0 &&
            it->is_regular_file(ec)) {
            std::string name = file.substr(0, file.size() - suffix);
            if (name != "osd" && ValidLanguage(name, one) && one.size() == 1) names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string LanguagePackage(const std::string& language) {
    std::string package = "tesseract-ocr-";
    for (char c : language)
        package += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return package;
}

struct Recognizer::Engine {
    tesseract::TessBaseAPI api;
};

Recognizer::Recognizer(std::string language, std::string dataPath)
    : language_(std::move(language)), dataPath_(dataPath.empty() ? DefaultDataPath() : std::move(dataPath)) {}

Recognizer::~Recognizer() = default;

bool Recognizer::isOpen() const { return engine_ != nullptr; }

Result Recognizer::Open() {
    engine_.reset();
    std::vector<std::string> names;
    if (!ValidLanguage(language_, names))
        return {Status::BadLanguage, "\"" + language_ +
                                         "\" is no language: give names of language data joined by \"+\", such as "
                                         "eng+deu."};
    for (const std::string& name : names) {
        std::error_code ec;
        if (!dataPath_.empty() && fs::is_regular_file(fs::path(dataPath_) / (name + kDataSuffix), ec)) continue;
        const std::string package = LanguagePackage(name);
        const std::string where = dataPath_.empty() ? " (no language data folder was found)" : " in " + dataPath_;
        return {Status::NoLanguageData, "No language data for \"" + name + "\"" + where +
                                            ".\nInstall the package " + package + " (apt-get install " + package +
                                            ") to recognise text in it."};
    }
    auto engine = std::make_unique<Engine>();
    // The recogniser's own notes would go to standard error; our results say what matters.
    engine->api.SetVariable("debug_file", "/dev/null");
    if (engine->api.Init(dataPath_.c_str(), language_.c_str(), tesseract::OEM_DEFAULT) != 0)
        return {Status::InitFailed, "The language data for \"" + language_ + "\" in " + dataPath_ +
                                        " could not be loaded.\nInstall the packages again."};
    engine->api.SetPageSegMode(tesseract::PSM_AUTO);
    engine_ = std::move(engine);
    return {};
}

Result Recognizer::RecognizePage(const PageBits& page, std::vector<Word>& words, const std::atomic<bool>* cancel) {
    words.clear();
    if (!engine_) return {Status::NotOpen, "The text recogniser is not ready."};
    if (!page.lines || page.width == 0 || page.height == 0 || page.bytesPerLine < (page.width + 7u) / 8u ||
        static_cast<std::uint64_t>(page.width) * page.height > kMaxPagePixels)
        return {Status::BadPage, "The page is too large or empty for text recognition."};

    StayOnThisThread();
    double xdpi = UsableDpi(page.xdpi), ydpi = UsableDpi(page.ydpi);
    if (xdpi == 0) xdpi = ydpi != 0 ? ydpi : kFallbackDpi;
    if (ydpi == 0) ydpi = xdpi;
    // Pixels twice as tall as wide are given to the recogniser as two square ones.
    const int repeat = std::clamp(static_cast<int>(std::lround(xdpi / ydpi)), 1, kMaxRowRepeat);
    const std::uint32_t bandLimit = kMaxBandLines / static_cast<std::uint32_t>(repeat);
    tesseract::TessBaseAPI& api = engine_->api;

    int block = -1, line = -1;
    std::vector<std::uint8_t> tall;
    for (std::uint32_t top = 0; top < page.height;) {
        std::uint32_t bottom = std::min(page.height, top + bandLimit);
        if (bottom < page.height)
            for (std::uint32_t y = bottom; y > top && y + kBlankLineSearch > bottom; --y)
                if (BlankLine(page, y - 1)) {
                    bottom = y;
                    break;
                }
        const std::uint32_t rows = bottom - top;
        const std::uint8_t* first = page.lines + static_cast<std::size_t>(top) * page.bytesPerLine;
        if (repeat == 1) {
            api.SetImage(first, static_cast<int>(page.width), static_cast<int>(rows), 0,
                         static_cast<int>(page.bytesPerLine));
        } else {
            tall.resize(static_cast<std::size_t>(rows) * repeat * page.bytesPerLine);
            for (std::uint32_t y = 0; y < rows; ++y)
                for (int r = 0; r < repeat; ++r)
                    std::memcpy(&tall[(static_cast<std::size_t>(y) * repeat + r) * page.bytesPerLine],
                                first + static_cast<std::size_t>(y) * page.bytesPerLine, page.bytesPerLine);
            api.SetImage(tall.data(), static_cast<int>(page.width), static_cast<int>(rows) * repeat, 0,
                         static_cast<int>(page.bytesPerLine));
        }
        api.SetSourceResolution(static_cast<int>(std::lround(xdpi)));

        tesseract::ETEXT_DESC monitor;
        monitor.cancel = Cancelled;
        monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
        const bool recognised = api.Recognize(&monitor) == 0;
        if (Cancelled(monitor.cancel_this, 0)) {
            api.Clear();
            words.clear();
            return {Status::Cancelled, "Text recognition was cancelled."};
        }
        if (!recognised) {
            api.Clear();
            words.clear();
            return {Status::Failed, "The text of the page could not be recognised."};
        }
        std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        if (it && !it->Empty(tesseract::RIL_WORD)) {
            do {
                if (it->IsAtBeginningOf(tesseract::RIL_BLOCK)) ++block;
                if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) ++line;
                std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
                int x0, y0, x1, y1;
                if (!text || std::strspn(text.get(), " ") == std::strlen(text.get()) ||
                    !it->BoundingBox(tesseract::RIL_WORD, &x0, &y0, &x1, &y1))
                    continue;
                Word w;
                w.utf8 = text.get();
                w.x0 = x0;
                w.x1 = x1;
                w.y0 = static_cast<int>(top) + y0 / repeat;
                w.y1 = static_cast<int>(top) + (y1 + repeat - 1) / repeat;
                w.confidence = it->Confidence(tesseract::RIL_WORD);
                w.block = std::max(block, 0);
                w.line = std::max(line, 0);
                words.push_back(std::move(w));
            } while (it->Next(tesseract::RIL_WORD));
        }
        api.Clear();
        top = bottom;
    }
    return {};
}

}  // namespace ocr
