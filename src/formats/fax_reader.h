// Reading pages of an open fax: kind, page table, page location, header checks and a
// banded line reader. The display, the renderer and the command-line tool share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/dcx.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "formats/picture.h"
#include "formats/rle.h"

namespace fax {

// Why a page cannot be shown; the numbered ones are reported as "UnZipFaxToScreen Error n".
enum class PageError {
    None = 0,
    ShortFile = 1,    // fewer than 128 bytes at the start of the file
    ShortTable = 2,   // a DCX page table shorter than 128 bytes
    ShortHeader = 3,  // the page header is shorter than 128 bytes (or the page is missing)
    NotRunLength = 4, // Manufacturer or Encoding wrong
    TooWide = 5,      // BytesPerLine above kMaxBytesPerLine
    TooNarrow = 6,    // BytesPerLine below kMinBytesPerLine
    ReadFailed = 8,   // the file could not be read
    Damaged = 9,      // a picture whose header values do not fit together
};

// The text shown for a page error (caption "Vantorel", error icon).
std::string PageErrorText(PageError error);

extern const char* const kTooWideMessage;

// Upper bound on the lines that `dataBytes` bytes of run-length data can decode to at
// `bytesPerLine` (a header may claim more; nothing is allocated for the claim), capped
// at `claimedLines`.
std::uint32_t DecodableLines(std::uint64_t dataBytes, std::size_t bytesPerLine, std::uint32_t claimedLines);

class FaxReader {
public:
    // Opens the file read-only; false when it cannot be opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    File& file() { return file_; }

    // Reads the kind and, for a DCX, the page table (the display's "new file" step).
    PageError ReadLayout();
    FaxKind kind() const { return kind_; }
    unsigned pageCount() const { return pageCount_; }
    const DcxTable& table() const { return table_; }
    // Header offset of page n: its DCX table entry, 0 for a PCX.
    std::uint64_t PageOffset(unsigned n) const { return kind_ == FaxKind::Dcx ? table_.Slot(n) : 0; }
    std::uint64_t fileSize() const { return fileSize_; }

    struct Page {
        unsigned number = 1;           // the page actually used (may move back, see DcxTable::LocatePage)
        std::uint64_t offset = 0;      // of the header
        PcxHeader header;
        std::uint32_t lines = 0;       // by the header's line count
        std::uint16_t bytesPerLine = 0;
        // Upper bound on the lines the rest of the file can decode to: a header may
        // claim more than the data holds, and nothing is allocated for the claim.
        std::uint32_t decodableLines = 0;
        // A colour or grey picture: shown, never reworked by the fax tools.
        bool picture = false;
        PictureFormat format;
        // Decoded bytes of one scan line (all planes of a picture).
        std::size_t lineBytes() const { return picture ? format.LineBytes() : bytesPerLine; }
    };
    // Locates page `number` (1-based) and checks its header: a fax page with the display's
    // limits, a picture for header values that fit together.
    PageError LoadPage(unsigned number, Page& page);
    // Where the page's bytes end: at the next listed page, or at the end of the file.
    std::uint64_t PageEnd(const Page& page) const;

private:
    PageError LoadPicture(Page& page);  // the header is read and not bilevel
    File file_;
    FaxKind kind_ = FaxKind::None;
    unsigned pageCount_ = 0;
    DcxTable table_;
    std::uint64_t fileSize_ = 0;
};

// The fax tools' refusal for the first page of the fax at `path` that is not a bilevel fax
// page (only page `page` when it is not 0). Empty when every page is a fax page, or when
// the file cannot be read: the tool's own checks report that.
std::string FaxPictureRefusal(const std::string& path, unsigned page = 0);

// Delivers the lines of one page in bands, reading the file in kReadChunk pieces.
class PageLineReader {
public:
    // Reads from the page's data on, up to `end` (the end of the file by default, as the
    // display reads; FaxReader::PageEnd to take the page's own bytes only).
    PageLineReader(File& file, const FaxReader::Page& page, RunAtLineEnd mode = RunAtLineEnd::Carry,
                   std::uint64_t end = UINT64_MAX);

    struct Band {
        std::size_t lines = 0;  // complete lines written
        bool end = false;       // no more lines follow (page complete or data ended)
        bool error = false;     // a read failed
        // At the end of the data: bytes of an unfinished last line, written after the
        // complete ones (the rest of that line in `out` is left as it was).
        std::size_t partialBytes = 0;
    };
    // Writes up to `maxLines` complete lines into `out` (maxLines * bytesPerLine bytes).
    Band Next(std::uint8_t* out, std::size_t maxLines);

    std::uint32_t linesDelivered() const { return delivered_; }

private:
    File& file_;
    std::uint64_t position_;
    std::uint64_t end_;
    std::uint32_t linesLeft_;
    std::size_t bytesPerLine_;
    LineDecoder decoder_;
    std::uint8_t chunk_[kReadChunk];
    std::size_t chunkSize_ = 0;
    std::size_t chunkPos_ = 0;
    bool eof_ = false;
    std::uint32_t delivered_ = 0;
};

// Decodes a whole fax page: `pixels` gets its complete lines (page.bytesPerLine bytes
// each), `lines` their count, which the data decides (a header may claim more). The data is
// read up to `end` (see PageLineReader). False when reading the file failed.
bool ReadWholePage(File& file, const FaxReader::Page& page, std::vector<std::uint8_t>& pixels, std::uint32_t& lines,
                   RunAtLineEnd mode = RunAtLineEnd::Carry, std::uint64_t end = UINT64_MAX);

}  // namespace fax
