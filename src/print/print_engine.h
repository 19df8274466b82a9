// The page printing engine: decodes a fax page and hands it to a print device as 1-bit
// bands (or, scaled to the printer, as one whole page) with source and destination
// rectangles. It knows nothing of windows or printers; the device does the drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "formats/dcx.h"
#include "formats/file_io.h"
#include "formats/pcx.h"

namespace fax::print {

inline constexpr const char* kPrintTitle = "Vantorel Print Fax";
inline constexpr const char* kDocumentName = "Vantorel Fax";
inline constexpr const char* kNotPrintableMessage = "Can not print this file because it is not a valid dcx or pcx.";

inline constexpr std::uint32_t kMaxPrintRows = 3000;   // longer pages are cut here
inline constexpr std::uint32_t kBlankPageRows = 20;    // this many rows or fewer count as blank
inline constexpr unsigned kBandLines = 16;             // fax lines per band
inline constexpr unsigned kBandsPer11Inches = 135;     // 2,160 fax lines fill 11 inches
inline constexpr std::size_t kMaxOutRowBytes = kMaxBytesPerLine + kMaxBytesPerLine / 2;  // 444
inline constexpr unsigned kMaxBandRows = kBandLines + kBandLines / 2;                    // 24
inline constexpr int kFaxDpi = 200;
inline constexpr std::size_t kPrintReadChunk = 2048;

// ScalingFactor values.
enum class Scaling : std::uint8_t { Api = 1, Pre300 = 2, Hp300 = 3 };

struct PrintOptions {
    Scaling scaling = Scaling::Api;
    bool scaleToPrinter = true;   // PrnAspect 1; otherwise actual fax size
    bool lightDither = false;     // Dither 1; Normal is 2
    bool printBlankPages = false; // PrintBlankPage

    // The stored values, read the way the dialog's buttons read them.
    static PrintOptions FromSettings(unsigned scalingFactor, unsigned prnAspect, unsigned dither,
                                     unsigned printBlankPage);
    // Actual size with Pre 300 or HP 300: the fax is stretched 3/2 in software.
    bool Stretching() const { return !scaleToPrinter && scaling != Scaling::Api; }
};

// What the device reports about its page, in device pixels, and what follows from it.
struct DeviceGeometry {
    int printableWidth = 0;
    int printableHeight = 0;
    int dpiX = 0;
    int dpiY = 0;

    bool Valid() const;
    int Height11Inches() const { return 11 * dpiY; }
    int Width85Inches() const { return dpiX / 2 + 8 * dpiX; }
    int UnprintableWidth() const { return Width85Inches() - printableWidth; }
    int HalfUnprintable() const { return UnprintableWidth() / 2; }
    // Printer rows that one band of 16 fax lines occupies.
    int BandHeight() const { return Height11Inches() / static_cast<int>(kBandsPer11Inches); }
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// A 1-bit image: rows of `stride` bytes, bit 7 the leftmost pixel, 1 white and 0 black.
struct MonoBitmap {
    const std::uint8_t* bits = nullptr;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;
    // The pixel, or true (white) outside the image.
    bool White(int x, int y) const;
};

enum class Blit { Stretch, Copy };

class PrintDevice {
public:
    virtual ~PrintDevice() = default;
    virtual void StartPage() = 0;
    virtual void EndPage() = 0;
    // Draws the `src` part of `bitmap` onto `dst` (for Copy, `dst` has the size of `src`).
    // Source pixels outside the bitmap draw nothing.
    virtual void Draw(const MonoBitmap& bitmap, const Rect& src, const Rect& dst, Blit blit) = 0;
};

// The fax being printed: opened and checked once, then read page by page.
class PrintFile {
public:
    // Why the fax cannot be printed; an empty message ends the dialog without one.
    struct Opened {
        bool ok = false;
        std::string message;
    };
    Opened Open(const std::string& path);
    void Close() { file_.Close(); }

    const std::string& path() const { return path_; }
    FaxKind kind() const { return kind_; }
    unsigned pageCount() const { return pageCount_; }
    File& file() { return file_; }
    // Header offset of page n: the DCX table entry n, offset 0 for a PCX.
    std::uint64_t PageOffset(unsigned page) const;

private:
    std::string path_;
    File file_;
    FaxKind kind_ = FaxKind::None;
    unsigned pageCount_ = 0;
    DcxTable table_;
};

enum class PageResult { Stop = 0, Printed = 1, Blank = 2 };

struct PageOutcome {
    PageResult result = PageResult::Stop;
    std::string message;  // shown with the error icon when not empty
};

// Rows the engine prints from a header: 16-bit Ymax - Ymin + 1, capped at kMaxPrintRows.
std::uint32_t PrintRows(const PcxHeader& header);

// Where a whole page goes when it is scaled to the printer: at (0, 0), shrunk to fit the
// printable area and never enlarged.
Rect ScaledPagePlacement(std::size_t outRowBytes, std::uint32_t rows, const DeviceGeometry& geometry);

// Prints page `page` of `file` onto the device page already started. `pump` runs before
// every read of the fax (it keeps the window alive).
PageOutcome PrintPage(PrintFile& file, unsigned page, const PrintOptions& options, const DeviceGeometry& geometry,
                      PrintDevice& device, const std::function<void()>& pump = {});

struct PrintHooks {
    std::function<void(unsigned current, unsigned first, unsigned last)> progress;  // before each page
    std::function<void()> pump;                                                     // before each read
    std::function<bool()> aborted;                                                  // after each page
    std::function<void(const std::string& message)> error;                          // an engine message
};

struct PrintRun {
    unsigned printed = 0;  // pages printed
    unsigned skipped = 0;  // pages skipped as blank
    bool stopped = false;  // a page could not be printed
    unsigned stoppedAt = 0;
    bool aborted = false;  // abort was pressed: the document is aborted, even after its last page
};

// The page loop of a print job: a skipped blank page leaves the started device page
// open for the next page, so no empty sheet comes out for it. A PCX prints one page.
PrintRun PrintPages(PrintFile& file, unsigned first, unsigned last, const PrintOptions& options,
                    const DeviceGeometry& geometry, PrintDevice& device, const PrintHooks& hooks);

}  // namespace fax::print
