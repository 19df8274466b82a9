// The module tarvex-ocr-engine: the recogniser of engine.h through libtesseract. Only this
// file sees the recogniser's headers and links its libraries.
#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "ocr/engine.h"

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

// The recogniser's matrix code may use OpenMP threads; a recogniser here runs on its
// caller's thread alone. Found at run time, as the library may be built without OpenMP;
// looked up from this module, the default scope holds the libraries the module loaded.
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

class TesseractEngine final : public TextEngine {
public:
    bool Init(const char* dataPath, const char* language) override {
        // The recogniser's own notes would go to standard error; our results say what matters.
        api_.SetVariable("debug_file", "/dev/null");
        if (api_.Init(dataPath, language, tesseract::OEM_DEFAULT) != 0) return false;
        api_.SetPageSegMode(tesseract::PSM_AUTO);
        return true;
    }

    Status Recognise(const PageBits& page, std::vector<Word>& words, const std::atomic<bool>* cancel) override;

    void Destroy() override { delete this; }

private:
    ~TesseractEngine() = default;
    tesseract::TessBaseAPI api_;
};

Status TesseractEngine::Recognise(const PageBits& page, std::vector<Word>& words, const std::atomic<bool>* cancel) {
    words.clear();
    StayOnThisThread();
    double xdpi = UsableDpi(page.xdpi), ydpi = UsableDpi(page.ydpi);
    if (xdpi == 0) xdpi = ydpi != 0 ? ydpi : kFallbackDpi;
    if (ydpi == 0) ydpi = xdpi;
    // Pixels twice as tall as wide are given to the recogniser as two square ones.
    const int repeat = std::clamp(static_cast<int>(std::lround(xdpi / ydpi)), 1, kMaxRowRepeat);
    const std::uint32_t bandLimit = kMaxBandLines / static_cast<std::uint32_t>(repeat);

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
            api_.SetImage(first, static_cast<int>(page.width), static_cast<int>(rows), 0,
                          static_cast<int>(page.bytesPerLine));
        } else {
            tall.resize(static_cast<std::size_t>(rows) * repeat * page.bytesPerLine);
            for (std::uint32_t y = 0; y < rows; ++y)
                for (int r = 0; r < repeat; ++r)
                    std::memcpy(&tall[(static_cast<std::size_t>(y) * repeat + r) * page.bytesPerLine],
                                first + static_cast<std::size_t>(y) * page.bytesPerLine, page.bytesPerLine);
            api_.SetImage(tall.data(), static_cast<int>(page.width), static_cast<int>(rows) * repeat, 0,
                          static_cast<int>(page.bytesPerLine));
        }
        api_.SetSourceResolution(static_cast<int>(std::lround(xdpi)));

        tesseract::ETEXT_DESC monitor;
        monitor.cancel = Cancelled;
        monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
        const bool recognised = api_.Recognize(&monitor) == 0;
        const bool cancelled = Cancelled(monitor.cancel_this, 0);
        if (cancelled || !recognised) {
            api_.Clear();
            words.clear();
            return cancelled ? Status::Cancelled : Status::Failed;
        }
        std::unique_ptr<tesseract::ResultIterator> it(api_.GetIterator());
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
        api_.Clear();
        top = bottom;
    }
    return Status::Ok;
}

TextEngine* Create() { return new (std::nothrow) TesseractEngine; }

}  // namespace

}  // namespace ocr

// The module's one exported name.
extern "C" __attribute__((visibility("default"))) const ocr::EngineEntry vantorel_ocr_engine = {ocr::kEngineInterface,
                                                                                               ocr::Create};
