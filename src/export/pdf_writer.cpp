#include "export/pdf_writer.h"

#include <tiffio.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "export/g3_decoder.h"
#include "export/g4_coder.h"
#include "export/g4_precoder.h"
#include "export/tiff_handle.h"
#include "formats/file_io.h"

namespace fax {

const char* const kPdfProducer = "libtiff / tiff2pdf - 20031226 / d";

namespace {

constexpr unsigned kPdfMajor = 1;
constexpr unsigned kPdfMinor = 1;
constexpr unsigned kPdfMinorWithText = 2;  // compressed streams and ToUnicode maps
constexpr float kDefaultResolution = 300.0f;  // for pages without a usable resolution
constexpr float kPointsPerInch = 72.0f;
constexpr std::uint32_t kMaxPageWidth = 0xFFFFu * 8u;  // the widest PCX line
constexpr unsigned kObjectsPerPage = 5;       // page, content, its length, image, its length
constexpr unsigned kFirstPageObject = 4;      // after catalog, info and page tree
constexpr unsigned kKidsPerLine = 8;
constexpr std::size_t kSinkFlush = 64 * 1024;
constexpr std::size_t kImageFlush = 64 * 1024;  // coded image bytes are handed on in pieces of about this
// An image stream reaching 4 GiB less 8 bytes fails the page, as it did when libtiff's coder
// wrote it into a TIFF (after its 8-byte header) that 32-bit offsets must span.
constexpr std::uint64_t kMaxImageStream = 0xFFFFFFFFull - 8;
// libtiff reads a strip of more than 1 MiB only in part when, less 4 KiB, it is more than ten
// times the size of its rows decoded; such strips are left to libtiff.
constexpr std::uint64_t kLargeStrip = 1024 * 1024;
constexpr std::uint64_t kLargeStripFactor = 10;
constexpr std::uint64_t kLargeStripMargin = 4096;

std::atomic<bool> g_busy{false};

// Everything goes out through here; the running count gives the objects' offsets.
class PdfSink {
public:
    explicit PdfSink(File& file) : file_(file) { buffer_.reserve(kSinkFlush + 4096); }

    void Write(const void* data, std::size_t size) {
        offset_ += size;
        if (failed_) return;
        buffer_.append(static_cast<const char*>(data), size);
        if (buffer_.size() >= kSinkFlush) Flush();
    }
    void Text(const std::string& s) { Write(s.data(), s.size()); }
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char text[512];
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        if (n < 0 || static_cast<std::size_t>(n) >= sizeof text) {
            failed_ = true;
            return;
        }
        Write(text, static_cast<std::size_t>(n));
    }
    bool Flush() {
        if (!failed_ && !buffer_.empty() && !file_.WriteAll(buffer_.data(), buffer_.size())) failed_ = true;
        buffer_.clear();
        return !failed_;
    }
    std::uint64_t offset() const { return offset_; }
    bool failed() const { return failed_; }

private:
    File& file_;
    std::string buffer_;
    std::uint64_t offset_ = 0;
    bool failed_ = false;
};


struct PageInfo {
    tdir_t directory = 0;
    std::uint32_t width = 0;
    std::uint32_t rows = 0;
    bool switchDecode = false;  // WhiteIsZero: 0 bits are white, as the CCITT coder has them
    float imageWidth = 0;       // points
    float imageLength = 0;
};

class PdfWriter {
public:
    // `strips`: the TIFF file again, for reading its strips directly (may be closed).
    PdfWriter(TIFF* input, PdfSink& out, File& strips, const PageWordsFn& pageWords, const G4Precoder* precoded)
        : in_(input), out_(out), strips_(strips), pageWords_(pageWords), precoded_(precoded) {}

    bool Write() {
        if (!ListPages()) return false;
        nextObject_ = kFirstPageObject + kObjectsPerPage * static_cast<unsigned>(pages_.size());
        offsets_.assign(nextObject_, 0);

        out_.Format("%%PDF-%u.%u ", kPdfMajor, pageWords_ ? kPdfMinorWithText : kPdfMinor);
        // A comment of bytes above 127 marks the file as binary for transfer programs.
        static const std::uint8_t kBinaryMark[8] = {'\r', '%', 0xE2, 0xE3, 0xCF, 0xD3, '\r', '\n'};
        out_.Write(kBinaryMark, sizeof kBinaryMark);

        Begin(1);
        out_.Text("<< \r/Type /Catalog \r/Pages 3 0 R \r>>\r");
        End();

        if (!TIFFSetDirectory(in_, pages_[0].directory)) return false;
        Begin(2);
        WriteInfo();
        End();

        Begin(3);
        out_.Text("<< \r/Type /Pages \r/Kids [ ");
        for (std::size_t k = 0; k < pages_.size(); ++k) {
            out_.Format("%u 0 R ", PageObject(k));
            if ((k + 1) % kKidsPerLine == 0) out_.Text("\r");
        }
        out_.Format("] \r/Count %u \r>> \r", static_cast<unsigned>(pages_.size()));
        End();

        for (std::size_t k = 0; k < pages_.size(); ++k)
            if (!WritePage(k) || out_.failed()) return false;
        WriteObjects(text_.Finish());
        const unsigned objects = static_cast<unsigned>(offsets_.size()) - 1;

        const std::uint64_t xref = out_.offset();
        out_.Format("xref\r0 %u \r0000000000 65535 f\r\n", objects + 1);
        for (unsigned i = 1; i <= objects; ++i)
            out_.Format("%.10llu 00000 n\r\n", static_cast<unsigned long long>(offsets_[i]));
        const std::string id = PdfFileId();
        out_.Format("trailer\r<<\r/Size %u\r/Root 1 0 R \r/Info 2 0 R \r/ID[<%s><%s>]\r>>\rstartxref\r%llu\r%%%%EOF\r",
                    objects + 1, id.c_str(), id.c_str(), static_cast<unsigned long long>(xref));
        return out_.Flush();
    }

private:
    static unsigned PageObject(std::size_t k) {
        return kFirstPageObject + kObjectsPerPage * static_cast<unsigned>(k);
    }
    void Begin(unsigned number) {
        if (number >= offsets_.size()) offsets_.resize(number + 1, 0);
        offsets_[number] = out_.offset();
        out_.Format("%u 0 obj\r", number);
    }
    void End() { out_.Text("endobj\r"); }
    void WriteObjects(const std::vector<PdfObject>& objects) {
        for (const PdfObject& o : objects) {
            Begin(o.number);
            out_.Text(o.body);
            End();
        }
    }

    // Every directory is a page unless marked as a reduced image or a mask; pages with
    // a PageNumber tag are put in its order.
    bool ListPages() {
        const tdir_t count = TIFFNumberOfDirectories(in_);
        std::vector<std::pair<std::uint32_t, tdir_t>> order;
        for (tdir_t d = 0; d < count; ++d) {
            if (!TIFFSetDirectory(in_, d)) return false;
            std::uint32_t subfile = 0;
            if (TIFFGetField(in_, TIFFTAG_SUBFILETYPE, &subfile) && (subfile & (FILETYPE_REDUCEDIMAGE | FILETYPE_MASK)) &&
                !(subfile & FILETYPE_PAGE))
                continue;
            std::uint16_t number = 0, total = 0;
            std::uint32_t key = TIFFGetField(in_, TIFFTAG_PAGENUMBER, &number, &total) ? number : 0xFFFFFFFFu;
            order.emplace_back(key, d);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [key, d] : order) pages_.push_back(PageInfo{d});
        return !pages_.empty();
    }

    void WriteInfo() {
        std::string date;
        char* tiffDate = nullptr;
        if (TIFFGetField(in_, TIFFTAG_DATETIME, &tiffDate) && tiffDate && std::strlen(tiffDate) >= 19) {
            // "YYYY:MM:DD HH:MM:SS"
            const char* t = tiffDate;
            date = "D:" + std::string(t, 4) + std::string(t + 5, 2) + std::string(t + 8, 2) +
                   std::string(t + 11, 2) + std::string(t + 14, 2) + std::string(t + 17, 2);
        } else {
            std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            char text[80];
            std::snprintf(text, sizeof text, "D:%.4d%.2d%.2d%.2d%.2d%.2d", local.tm_year + 1900, local.tm_mon + 1,
                          local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
            date = text;
        }
        out_.Text("<< \r/CreationDate " + PdfString(date) + "\r/ModDate " + PdfString(date) + "\r/Producer " +
                  PdfString(kPdfProducer) + "\r");
        struct Optional {
            const char* key;
            ttag_t tag;
            ttag_t fallback;
        };
        const Optional entries[] = {
            {"/Creator ", TIFFTAG_SOFTWARE, 0},
            {"/Author ", TIFFTAG_ARTIST, TIFFTAG_COPYRIGHT},
            {"/Title ", TIFFTAG_DOCUMENTNAME, 0},
            {"/Subject ", TIFFTAG_IMAGEDESCRIPTION, 0},
        };
        for (const Optional& e : entries) {
            char* value = nullptr;
            if (!(TIFFGetField(in_, e.tag, &value) && value) && e.fallback)
                if (!(TIFFGetField(in_, e.fallback, &value) && value)) value = nullptr;
            if (value) out_.Text(std::string(e.key) + PdfString(value) + "\r");
        }
        out_.Text(">> \r");
    }

    // The page's values from its directory; false for content this writer does not handle.
    bool ReadPage(PageInfo& p) {
        if (!TIFFSetDirectory(in_, p.directory)) return false;
        if (TIFFIsTiled(in_)) return false;
        std::uint16_t bits = 1, samples = 1, photometric = 0, unit = RESUNIT_INCH, orientation = ORIENTATION_TOPLEFT;
        std::uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(in_, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(in_, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(in_, TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(in_, TIFFTAG_ORIENTATION, &orientation);
        if (!TIFFGetField(in_, TIFFTAG_IMAGEWIDTH, &p.width) || !TIFFGetField(in_, TIFFTAG_IMAGELENGTH, &p.rows))
            return false;
        if (!TIFFGetField(in_, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
        // Only bilevel pages, upright, in a compression libtiff can decode.
        if (bits != 1 || samples != 1 || p.width == 0 || p.rows == 0) return false;
        // No wider than a fax page can be; the coders' buffers grow with the width.
        if (p.width > kMaxPageWidth) return false;
        if (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK) return false;
        if (orientation != ORIENTATION_TOPLEFT || !TIFFIsCODECConfigured(compression)) return false;
        p.switchDecode = photometric == PHOTOMETRIC_MINISWHITE;

        float xres = 0, yres = 0;
        TIFFGetField(in_, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(in_, TIFFTAG_YRESOLUTION, &yres);
        TIFFGetFieldDefaulted(in_, TIFFTAG_RESOLUTIONUNIT, &unit);
        if (unit == RESUNIT_CENTIMETER) {
            xres *= 2.54f;
            yres *= 2.54f;
        }
        if (!(xres > 0)) xres = kDefaultResolution;
        if (!(yres > 0)) yres = kDefaultResolution;
        p.imageWidth = static_cast<float>(p.width) * kPointsPerInch / xres;
        p.imageLength = static_cast<float>(p.rows) * kPointsPerInch / yres;
        return true;
    }

    bool WritePage(std::size_t k) {
        PageInfo& p = pages_[k];
        if (!ReadPage(p)) return false;
        const unsigned n = PageObject(k);
        const unsigned im = static_cast<unsigned>(k) + 1;
        PdfTextPage text;
        if (pageWords_) {
            std::vector<ocr::Word> words;
            if (!pageWords_(static_cast<unsigned>(k), words)) return false;
            text = text_.AddPage(words, {p.width, p.rows, p.imageWidth, p.imageLength}, nextObject_);
        }

        Begin(n);
        out_.Text("<<\r/Type /Page \r/Parent 3 0 R \r");
        const std::string zero = PdfNumber(0, 4), width = PdfNumber(p.imageWidth, 4), length = PdfNumber(p.imageLength, 4);
        out_.Text("/MediaBox [" + zero + " " + zero + " " + width + " " + length + "] \r");
        if (text.empty) out_.Format("/Contents %u 0 R \r", n + 1);
        else out_.Format("/Contents [ %u 0 R %u 0 R ] \r", n + 1, text.contents);
        out_.Text("/Resources << \r/XObject <<\r");
        out_.Format("/Im%u %u 0 R >>\r", im, n + 3);
        if (!text.empty) out_.Text("/Font " + text.fonts + "\r");
        out_.Text(text.empty ? "/ProcSet [ /ImageB ]\r>>\r>>\r" : "/ProcSet [ /ImageB /Text ]\r>>\r>>\r");
        End();

        const std::string place = "q  " + width + " " + zero + " " + zero + " " + length + " " + zero + " " + zero +
                                  " cm /Im" + std::to_string(im) + " Do Q\r";
        const char* content = place.data();
        const int contentLength = static_cast<int>(place.size());
        Begin(n + 1);
        out_.Format("<< \r/Length %u 0 R \r >>\rstream\r\n", n + 2);
        out_.Write(content, static_cast<std::size_t>(contentLength));
        out_.Text("\rendstream\r");
        End();
        Begin(n + 2);
        out_.Format("%d\r", contentLength);
        End();

        Begin(n + 3);
        out_.Format("<< \r/Length %u 0 R \r", n + 4);
        out_.Format("/Type /XObject \r/Subtype /Image \r/Name /Im%u\r", im);
        out_.Format("/Width %u\r/Height %u\r", p.width, p.rows);
        out_.Text("/BitsPerComponent 1\r/ColorSpace /DeviceGray \r");
        out_.Text("/Filter /CCITTFaxDecode /DecodeParms ");
        out_.Format("<< /K -1 /Columns %u /Rows %u", p.width, p.rows);
        if (!p.switchDecode) out_.Text(" /BlackIs1 true ");
        out_.Text(">>\r >>\rstream\r\n");
        std::uint64_t imageLength = 0;
        if (!WriteImage(p, imageLength)) return false;
        out_.Text("\rendstream\r");
        End();
        Begin(n + 4);
        out_.Format("%llu\r", static_cast<unsigned long long>(imageLength));
        End();
        WriteObjects(text.objects);
        return true;
    }

    // Codes the page's image with the Group 4 coder straight into the PDF, from its rows
    // as changing elements: read from the Group 3 strips where they are plainly coded,
    // and otherwise decoded by libtiff, which also mends damaged rows in its own way. A
    // page may turn to libtiff at any strip or row. Memory stays a few lines and pieces.
    bool WriteImage(const PageInfo& p, std::uint64_t& length) {
        const tmsize_t line = TIFFScanlineSize(in_);
        if (line <= 0 || static_cast<std::uint64_t>(line) < (std::uint64_t{p.width} + 7) / 8) return false;
        if (precoded_ && p.switchDecode && precoded_->HasImage(p.directory, p.width, p.rows)) {
            // Coded already, from the very rows the TIFF's strips hold.
            auto write = [this](const std::uint8_t* data, std::size_t size) {
                out_.Write(data, size);
                return !out_.failed();
            };
            return precoded_->CopyImage(p.directory, write, length) && length <= kMaxImageStream;
        }
        G4Coder coder(p.width);
        auto code = [&](std::size_t count) {
            coder.CodeLine(count);
            if (coder.size() < kImageFlush) return true;
            out_.Write(coder.data(), coder.size());
            coder.Clear();
            return !out_.failed() && coder.total() <= kMaxImageStream;
        };

        std::uint32_t y = DecodeStrips(p, coder, code);  // the rows done: libtiff goes on from there
        if (y == kFailed) return false;
        if (y < p.rows) {
            std::vector<std::uint8_t> row(static_cast<std::size_t>(line));
            // libtiff decodes a strip from its start: the rows of it already coded again.
            std::uint32_t perStrip = 0;
            TIFFGetFieldDefaulted(in_, TIFFTAG_ROWSPERSTRIP, &perStrip);
            for (std::uint32_t r = perStrip ? y - y % perStrip : y; r < y; ++r)
                if (TIFFReadScanline(in_, row.data(), r, 0) < 0) return false;
            for (; y < p.rows; ++y) {
                if (TIFFReadScanline(in_, row.data(), y, 0) < 0) return false;
                if (!code(FindChanges(row.data(), p.width, true, coder.NextLine()))) return false;
            }
        }
        coder.Finish();
        out_.Write(coder.data(), coder.size());
        length = coder.total();
        return !out_.failed() && length <= kMaxImageStream;
    }

    static constexpr std::uint32_t kFailed = 0xFFFFFFFFu;

    // Codes the rows of the page's one-dimensional Group 3 strips, strip by strip, as far
    // as they are plainly coded (G3Decoder) and their strips lie whole within the file.
    // Returns the first row not coded (the page's row count when all are); kFailed when
    // coding failed.
    template <typename Code>
    std::uint32_t DecodeStrips(const PageInfo& p, G4Coder& coder, Code& code) {
        std::uint16_t compression = 0, fillOrder = FILLORDER_MSB2LSB;
        std::uint32_t options = 0, perStrip = 0;
        TIFFGetFieldDefaulted(in_, TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(in_, TIFFTAG_FILLORDER, &fillOrder);
        TIFFGetFieldDefaulted(in_, TIFFTAG_ROWSPERSTRIP, &perStrip);
        if (compression != COMPRESSION_CCITTFAX3 || !strips_.IsOpen() || perStrip == 0) return 0;
        if (TIFFGetField(in_, TIFFTAG_GROUP3OPTIONS, &options) && (options & GROUP3OPT_2DENCODING)) return 0;
        if (fillOrder != FILLORDER_MSB2LSB && fillOrder != FILLORDER_LSB2MSB) return 0;
        const std::int64_t fileSize = strips_.Size();
        const tmsize_t stripSize = TIFFStripSize(in_);
        if (fileSize < 0 || stripSize <= 0) return 0;

        G3Decoder decoder(p.width, fillOrder == FILLORDER_LSB2MSB);
        std::uint32_t y = 0;
        for (std::uint32_t strip = 0; y < p.rows; ++strip) {
            if (strip >= TIFFNumberOfStrips(in_)) return y;
            const std::uint64_t offset = TIFFGetStrileOffset(in_, strip);
            const std::uint64_t size = TIFFGetStrileByteCount(in_, strip);
            const auto fileBytes = static_cast<std::uint64_t>(fileSize);
            if (size == 0 || size > fileBytes || offset > fileBytes - size) return y;
            if (size > kLargeStrip && (size - kLargeStripMargin) / kLargeStripFactor > static_cast<std::uint64_t>(stripSize))
                return y;
            decoder.Start(strips_, offset, size);
            const std::uint32_t end = p.rows - y > perStrip ? y + perStrip : p.rows;
            for (; y < end; ++y) {
                const std::ptrdiff_t count = decoder.Row(coder.NextLine());
                if (count < 0) return y;
                if (!code(static_cast<std::size_t>(count))) return kFailed;
            }
        }
        return y;
    }

    TIFF* in_;
    PdfSink& out_;
    File& strips_;
    std::vector<PageInfo> pages_;
    std::vector<std::uint64_t> offsets_;
    const PageWordsFn& pageWords_;
    const G4Precoder* precoded_;
    PdfTextLayer text_;
    unsigned nextObject_ = 0;  // the next free object number
};

// Clears the busy mark on every return path.
struct BusyMark {
    bool taken;
    BusyMark() : taken(!g_busy.exchange(true)) {}
    ~BusyMark() {
        if (taken) g_busy.store(false);
    }
};

}  // namespace

bool TiffToPdfBusy() { return g_busy.load(); }

std::string PdfFileId() {
    // One generator for the whole run of the program: every file gets the next values.
    static std::uint32_t state = 1;
    std::string id;
    char hex[3];
    for (int i = 0; i < 4; ++i) {
        state = state * 214013u + 2531011u;
        std::uint32_t value = (state >> 16) & 0x7FFFu;
        for (int b = 0; b < 4; ++b) {
            std::snprintf(hex, sizeof hex, "%.2X", static_cast<unsigned>((value >> (8 * b)) & 0xFFu));
            id += hex;
        }
    }
    return id;
}

std::string PdfString(const std::string& text) {
    std::string s = "(";
    for (unsigned char c : text) {
        if (c < 32 || c >= 127) {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%.3o", static_cast<unsigned>(c));
            s += octal;
        } else {
            if (c == '(' || c == ')' || c == '\\') s += '\\';
            s += static_cast<char>(c);
        }
    }
    return s + ")";
}

int TiffToPdf(const std::string& tiffPath, const std::string& pdfPath, const PageWordsFn& pageWords,
              const G4Precoder* precoded, const std::function<bool()>& beforeCommit) {
    BusyMark busy;
    if (!busy.taken) return 1;
    AtomicFile pdf(pdfPath);  // an unfinished PDF never appears under its name
    if (!pdf.Open()) return 1;
    TiffPtr tiff(TIFFOpen(tiffPath.c_str(), "r"));
    if (!tiff) return 1;
    PdfSink sink(pdf.file());
    File strips = File::OpenRead(tiffPath);
    PdfWriter writer(tiff.get(), sink, strips, pageWords, precoded);
    bool ok = writer.Write();
    ok = sink.Flush() && ok;
    tiff.reset();
    return ok && (!beforeCommit || beforeCommit()) && pdf.Commit() ? 0 : 1;
}

}  // namespace fax
