// Text recognition of a fax page: the page's bilevel lines go to the recogniser at the
// page's own resolution, words come back with their boxes in page pixels. No Qt and no
// recogniser header here: callers see only these plain types.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ocr {

// One recognised word. Boxes are in pixels of the page as it was given: x0,y0 the top-left
// pixel of the ink, x1,y1 one past the bottom-right one.
struct Word {
    std::string utf8;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float confidence = 0;  // 0 to 100
    int block = 0;         // counted from 0 over the page, in reading order
    int line = 0;          // counted from 0 over the page (not restarted per block)
};

// A page's bilevel lines, one bit a pixel, the leftmost pixel in the most significant bit,
// 1 = white (the PCX sense).
struct PageBits {
    const std::uint8_t* lines = nullptr;
    std::uint32_t width = 0;         // pixels
    std::uint32_t height = 0;        // lines
    std::size_t bytesPerLine = 0;    // at least (width + 7) / 8
    double xdpi = 0, ydpi = 0;       // the page's own resolution; 0 when unknown
};

enum class Status {
    Ok,
    BadLanguage,     // the language text is not a list of names joined by "+"
    NoLanguageData,  // a language's data file is not installed
    InitFailed,      // the recogniser refused its data
    NotOpen,         // RecognizePage before a successful Open
    BadPage,         // a page too large, empty or with inconsistent sizes
    Cancelled,
    Failed,          // the recogniser gave up on the page
    FaxUnreadable,   // RecognizeFaxPage: the fax or the page cannot be read
    NoSuchPage,
    NotAFaxPage,     // a colour or grey picture
    NoEngine,        // the recogniser's module or its libraries cannot be loaded
};

struct Result {
    Status status = Status::Ok;
    std::string message;  // for the user; empty when ok
    bool ok() const { return status == Status::Ok; }
};

inline constexpr const char* kDefaultLanguage = "eng";
inline constexpr std::size_t kMaxLanguageText = 200;
inline constexpr std::uint32_t kMaxPagePixels = 1u << 28;  // a fax page is ~4 Mpixels

// The folder of language data: $TESSDATA_PREFIX when set, else the first of the usual
// system folders that exists (the Debian one first); empty when none does.
std::string DefaultDataPath();
// The languages whose data lies in `dataPath` (names of its *.traineddata files), sorted,
// without the orientation-only "osd".
std::vector<std::string> InstalledLanguages(const std::string& dataPath);
// The Debian package that brings a language's data: "tesseract-ocr-" and the name with
// "_" as "-", in lower case (chi_sim: tesseract-ocr-chi-sim).
std::string LanguagePackage(const std::string& language);

// One recogniser, used by one thread at a time; the work of one page runs on the calling
// thread only (jobs, not threads inside the recogniser, give the parallelism).
class Recognizer {
public:
    // `language`: names joined by "+" ("eng+deu"); `dataPath`: empty for DefaultDataPath().
    explicit Recognizer(std::string language = kDefaultLanguage, std::string dataPath = {});
    ~Recognizer();
    Recognizer(const Recognizer&) = delete;
    Recognizer& operator=(const Recognizer&) = delete;

    // Checks that every language's data is there and loads it. A missing one gives
    // NoLanguageData with a message naming the package to install; a recogniser that
    // cannot be loaded (libtesseract missing) NoEngine, with the package and the reason.
    Result Open();
    bool isOpen() const;
    const std::string& language() const { return language_; }
    const std::string& dataPath() const { return dataPath_; }

    // The words of the page in reading order; a page without text gives none and Ok.
    // `cancel`, when given, is looked at while the page is worked on; once true the call
    // ends with Cancelled and no words.
    Result RecognizePage(const PageBits& page, std::vector<Word>& words, const std::atomic<bool>* cancel = nullptr);

private:
    struct Engine;
    std::string language_;
    std::string dataPath_;
    std::unique_ptr<Engine> engine_;
};

}  // namespace ocr
