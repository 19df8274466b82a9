#include "print/print_engine.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "formats/fax_reader.h"
#include "formats/rle.h"

namespace fax::print {

namespace {

constexpr std::uint8_t kWhiteByte = 0xFF;

// Three output pixels for each pair of source pixels, twelve for a source byte, left
// pixel in bit 11. Normal repeats the right pixel (p, q, q); Light puts p OR q between
// them, white unless both are black, which keeps black strokes thin.
struct StretchTables {
    std::array<std::uint16_t, 256> normal{};
    std::array<std::uint16_t, 256> light{};
    StretchTables() {
        for (unsigned b = 0; b < 256; ++b) {
            std::uint16_t n = 0, l = 0;
            for (int pair = 0; pair < 4; ++pair) {
                unsigned p = (b >> (7 - 2 * pair)) & 1u;
                unsigned q = (b >> (6 - 2 * pair)) & 1u;
                n = static_cast<std::uint16_t>((n << 3) | (p << 2) | (q << 1) | q);
                l = static_cast<std::uint16_t>((l << 3) | (p << 2) | ((p | q) << 1) | q);
            }
            normal[b] = n;
            light[b] = l;
        }
    }
};

const StretchTables& Tables() {
    static const StretchTables tables;
    return tables;
}

std::string TooWideForDialog(const std::string& path, unsigned bytesPerLine) {
    return "Cannot Print " + path + ".\nIt is too Wide (" + std::to_string(bytesPerLine) + ").\n296 Bytes is the Max.";
}

std::string TooWideForPage(const std::string& path) {
    return "Can not print\n" + path + "\nIt is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide.";
}

std::string MemoryShortage(const std::string& path) {
    return "Can not print\n" + path +
           "\n\nMemory Shortage!\n\nTry:\no Closing some other programs.\no Rebooting the computer.\n";
}

struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};

// One page in progress: the band being filled, the stretch state and where the next
// band goes.
class PagePrinter {
public:
    PagePrinter(const PrintOptions& options, const DeviceGeometry& geometry, PrintDevice& device,
                std::size_t bytesPerLine, std::uint32_t rows, std::uint8_t* pageBuffer)
        : options_(options),
          geometry_(geometry),
          device_(device),
          stretch_(options.Stretching()),
          inBytes_(bytesPerLine),
          outBytes_(stretch_ ? bytesPerLine + bytesPerLine / 2 : bytesPerLine),
          rows_(rows),
          page_(pageBuffer) {}

    // One decoded fax line into the band; flushes the band when it holds 16 lines.
    void AddLine(const std::uint8_t* line) {
        std::uint8_t* row = band_[outRow_].data();
        if (stretch_) {
            StretchLine(line, row);
            // Every second line of a band is followed by a copy of itself, or by white.
            if (lineIndex_ & 1u) {
                std::uint8_t* inserted = band_[++outRow_].data();
                if (options_.lightDither)
                    std::memset(inserted, kWhiteByte, outBytes_);
                else
                    std::memcpy(inserted, row, outBytes_);
            }
        } else {
            std::memcpy(row, line, inBytes_);
        }
        ++outRow_;
        ++lineIndex_;
        if (lineIndex_ == kBandLines) Flush();
    }

    // After the last row: the partly filled band goes out too.
    void Finish() {
        if (lineIndex_ > 0) Flush();
        if (page_) PlacePage();
    }
    // The data ended early: what is in the band is not printed.
    void FinishEarly() {
        if (page_) PlacePage();
    }

private:
    // Two source bytes give three output bytes. The pairing runs on across lines: with an
    // odd width a line may start on the second byte of a pair, with the four pixels held
    // from the end of the line before; what would pass the row's end is not stored.
    void StretchLine(const std::uint8_t* line, std::uint8_t* row) {
        const auto& table = options_.lightDither ? Tables().light : Tables().normal;
        std::size_t col = 0, i = 0;
        auto put = [&](unsigned value) {
            if (col < outBytes_) row[col] = static_cast<std::uint8_t>(value);
            ++col;
        };
        if (secondOfPair_ && inBytes_ > 0) {
            const unsigned b = table[line[0]];
            put((held_ << 4) | (b >> 8));
            put(b & 0xFFu);
            i = 1;
            secondOfPair_ = false;
        }
        for (; i + 1 < inBytes_; i += 2) {
            const unsigned a = table[line[i]], b = table[line[i + 1]];
            put(a >> 4);
            put(((a & 0x0Fu) << 4) | (b >> 8));
            put(b & 0xFFu);
        }
        if (i < inBytes_) {
            const unsigned a = table[line[i]];
            put(a >> 4);
            held_ = static_cast<std::uint8_t>(a & 0x0Fu);
            secondOfPair_ = true;
        }
    }

    MonoBitmap Bitmap(const std::uint8_t* bits, std::size_t stride, unsigned height) const {
        return MonoBitmap{bits, stride, static_cast<int>(outBytes_ * 8), static_cast<int>(height)};
    }

    void Flush() {
        const unsigned bandRows = outRow_;
        if (page_) {
            for (unsigned r = 0; r < bandRows && pageRow_ < rows_; ++r, ++pageRow_)
                std::memcpy(page_ + pageRow_ * outBytes_, band_[r].data(), outBytes_);
        } else {
            const int bitmapWidth = static_cast<int>(outBytes_ * 8);
            const Rect src{geometry_.HalfUnprintable(), 0, bitmapWidth - geometry_.UnprintableWidth(),
                           static_cast<int>(bandRows)};
            Rect dst{0, y_, src.width, src.height};
            Blit blit = Blit::Copy;
            if (options_.scaling != Scaling::Hp300) {
                // A short last band keeps the height of its lines, not a full band's.
                const unsigned fullRows = stretch_ ? kMaxBandRows : kBandLines;
                dst.width = geometry_.printableWidth;
                dst.height = static_cast<int>(static_cast<long long>(geometry_.BandHeight()) * bandRows / fullRows);
                blit = Blit::Stretch;
            }
            if (src.width > 0 && dst.width > 0 && dst.height > 0)
                device_.Draw(Bitmap(band_[0].data(), kMaxOutRowBytes, bandRows), src, dst, blit);
            y_ += geometry_.BandHeight();
        }
        lineIndex_ = 0;
        outRow_ = 0;
        secondOfPair_ = false;
    }

    void PlacePage() {
        const Rect dst = ScaledPagePlacement(outBytes_, rows_, geometry_);
        const Rect src{0, 0, static_cast<int>(outBytes_ * 8), static_cast<int>(rows_)};
        if (dst.width > 0 && dst.height > 0) device_.Draw(Bitmap(page_, outBytes_, rows_), src, dst, Blit::Stretch);
    }

    const PrintOptions& options_;
    const DeviceGeometry& geometry_;
    PrintDevice& device_;
    const bool stretch_;
    const std::size_t inBytes_;
    const std::size_t outBytes_;
    const std::uint32_t rows_;
    std::uint8_t* page_;
    std::array<std::array<std::uint8_t, kMaxOutRowBytes>, kMaxBandRows> band_{};
    unsigned lineIndex_ = 0;  // fax line within the band, 0..15
    unsigned outRow_ = 0;     // output row within the band
    bool secondOfPair_ = false;
    std::uint8_t held_ = 0;   // the last four output pixels of a first byte
    std::uint32_t pageRow_ = 0;
    int y_ = 0;
};

}  // namespace

PrintOptions PrintOptions::FromSettings(unsigned scalingFactor, unsigned prnAspect, unsigned dither,
                                        unsigned printBlankPage) {
    PrintOptions o;
    o.scaling = scalingFactor == 1 ? Scaling::Api : scalingFactor == 2 ? Scaling::Pre300 : Scaling::Hp300;
    o.scaleToPrinter = prnAspect == 1;
    o.lightDither = dither != 2;
    o.printBlankPages = printBlankPage != 0;
    return o;
}

bool DeviceGeometry::Valid() const {
    // Bounds keep every product below in int range.
    constexpr int kMaxPixels = 1 << 20, kMaxDpi = 1 << 16;
    return printableWidth > 0 && printableHeight > 0 && printableWidth <= kMaxPixels &&
           printableHeight <= kMaxPixels && dpiX > 0 && dpiY > 0 && dpiX <= kMaxDpi && dpiY <= kMaxDpi;
}

bool MonoBitmap::White(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return true;
    return (bits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1u;
}

PrintFile::Opened PrintFile::Open(const std::string& path) {
    path_ = path;
    kind_ = FaxKind::None;
    pageCount_ = 0;
    file_ = File::OpenRead(path);
    if (!file_) return {};
    std::uint8_t start[kPrintReadChunk];
    std::int64_t n = file_.Read(start, sizeof start);
    if (n < static_cast<std::int64_t>(kPcxHeaderSize)) {
        file_.Close();
        return {false, kNotPrintableMessage};
    }
    kind_ = DetectKind(start, static_cast<std::size_t>(n));
    if (kind_ == FaxKind::Dcx) {
        std::uint8_t table[kDcxTableSize];
        if (!file_.Seek(0)) return {};
        n = file_.Read(table, sizeof table);
        if (n < static_cast<std::int64_t>(kMinTableBytes)) return {};
        table_ = DcxTable::FromBytes(table, static_cast<std::size_t>(n));
        pageCount_ = table_.PageCount();
    } else {
        pageCount_ = 1;
    }
    // The first page must be a run-length PCX page the printer can take.
    std::uint8_t head[kPrintReadChunk];
    if (!file_.Seek(PageOffset(1))) return {};
    n = file_.Read(head, sizeof head);
    if (n < static_cast<std::int64_t>(kPcxHeaderSize)) return {};
    PcxHeader header = PcxHeader::FromBytes(head);
    if (!header.IsRunLengthPcx()) return {};
    if (std::string picture = FaxPictureRefusal(path); !picture.empty()) return {false, picture};
    if (header.bytesPerLine() > kMaxBytesPerLine) return {false, TooWideForDialog(path, header.bytesPerLine())};
    return {true, {}};
}

std::uint64_t PrintFile::PageOffset(unsigned page) const { return kind_ == FaxKind::Dcx ? table_.Slot(page) : 0; }

std::uint32_t PrintRows(const PcxHeader& header) {
    const auto ymin = ReadLe16(&header.bytes[PcxHeader::kYmin]);
    const auto rows = static_cast<std::uint16_t>(header.ymax() - ymin + 1);
    return std::min<std::uint32_t>(rows, kMaxPrintRows);
}

Rect ScaledPagePlacement(std::size_t outRowBytes, std::uint32_t rows, const DeviceGeometry& g) {
    // Single precision, as the placement has always been computed.
    const float w = static_cast<float>(outRowBytes * 8) / static_cast<float>(kFaxDpi);
    const float h = static_cast<float>(rows) / static_cast<float>(kFaxDpi);
    const float pw = static_cast<float>(g.printableWidth) / static_cast<float>(g.dpiX);
    const float ph = static_cast<float>(g.printableHeight) / static_cast<float>(g.dpiY);
    float p = 1.0f;
    if (ph / h > pw / w) {
        if (w > pw) p = pw / w;
    } else {
        if (h > ph) p = ph / h;
    }
    const float dw = w * static_cast<float>(g.dpiX) * p;
    const float dh = h * static_cast<float>(g.dpiY) * p;
    return Rect{0, 0, static_cast<int>(dw), static_cast<int>(dh)};
}

PageOutcome PrintPage(PrintFile& pf, unsigned page, const PrintOptions& options, const DeviceGeometry& geometry,
                      PrintDevice& device, const std::function<void()>& pump) {
    File& file = pf.file();
    std::uint8_t head[kPcxHeaderSize];
    if (!geometry.Valid() || !file.Seek(pf.PageOffset(page)) ||
        file.Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head))
        return {};
    const PcxHeader header = PcxHeader::FromBytes(head);
    if (!header.IsRunLengthPcx()) return {};
    const std::size_t bytesPerLine = header.bytesPerLine();
    if (bytesPerLine > kMaxBytesPerLine) return {PageResult::Stop, TooWideForPage(pf.path())};
    const std::uint32_t rows = PrintRows(header);
    if (!options.printBlankPages && rows <= kBlankPageRows) return {PageResult::Blank, {}};
    // No height or no width: nothing to draw, and the page counts as printed.
    if (rows == 0 || bytesPerLine == 0) return {PageResult::Printed, {}};

    std::unique_ptr<std::uint8_t, FreeDeleter> pageBuffer;
    if (options.scaleToPrinter) {
        const std::size_t size = bytesPerLine * rows;
        pageBuffer.reset(static_cast<std::uint8_t*>(std::malloc(size)));
        if (!pageBuffer) return {PageResult::Stop, MemoryShortage(pf.path())};
        // Rows the data never reaches print white, not as a black block.
        std::memset(pageBuffer.get(), kWhiteByte, size);
    }

    PagePrinter printer(options, geometry, device, bytesPerLine, rows, pageBuffer.get());
    LineDecoder decoder(bytesPerLine, RunAtLineEnd::Carry);
    std::uint8_t chunk[kPrintReadChunk];
    std::uint8_t line[kMaxBytesPerLine];
    std::uint32_t done = 0;
    std::size_t size = 0, pos = 0;
    while (done < rows) {
        // The decoder keeps an unfinished line in `line` between chunks, and a run that
        // went past the end of a line: that run may complete lines without more input.
        auto r = decoder.Decode(chunk + pos, size - pos, line, 1);
        pos += r.consumed;
        if (r.lines == 1) {
            printer.AddLine(line);
            ++done;
            continue;
        }
        // Only now is more input needed; the file ending here leaves no line to complete.
        if (pump) pump();
        std::int64_t n = file.Read(chunk, sizeof chunk);
        if (n <= 0) {
            printer.FinishEarly();
            return {PageResult::Printed, {}};
        }
        size = static_cast<std::size_t>(n);
        pos = 0;
    }
    printer.Finish();
    return {PageResult::Printed, {}};
}

PrintRun PrintPages(PrintFile& file, unsigned first, unsigned last, const PrintOptions& options,
                    const DeviceGeometry& geometry, PrintDevice& device, const PrintHooks& hooks) {
    PrintRun run;
    PageResult previous = PageResult::Stop;
    for (unsigned page = first;;) {
        if (previous != PageResult::Blank) device.StartPage();
        if (hooks.progress) hooks.progress(page, first, last);
        PageOutcome outcome = PrintPage(file, page, options, geometry, device, hooks.pump);
        if (!outcome.message.empty() && hooks.error) hooks.error(outcome.message);
        previous = outcome.result;
        if (outcome.result != PageResult::Blank) device.EndPage();
        if (outcome.result == PageResult::Printed) ++run.printed;
        if (outcome.result == PageResult::Blank) ++run.skipped;
        if (outcome.result == PageResult::Stop) {
            run.stopped = true;
            run.stoppedAt = page;
            break;
        }
        if (file.kind() != FaxKind::Dcx) break;
        ++page;
        if (page > last || (hooks.aborted && hooks.aborted())) break;
    }
    // Abort pressed while the last page (or a PCX's only page) printed counts too: the page
    // was completed, and the document is aborted all the same.
    run.aborted = hooks.aborted && hooks.aborted();
    return run;
}

}  // namespace fax::print
