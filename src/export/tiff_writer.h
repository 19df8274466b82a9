// Fax (PCX page or DCX container) to a multi-page TIFF, every page coded with the
// one-dimensional Group 3 code (Modified Huffman) by our own coder; no libtiff here.
#pragma once

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/line_changes.h"
#include "formats/file_io.h"
#include "formats/rle.h"
#include "formats/pcx.h"

namespace fax {

// The first failure of an export; 0 when there was none. Shown to the user as
// "Dcx-Pcx to TIF and PDF failed with error[%u]".
enum class ExportError : std::uint16_t {
    None = 0,
    ShortFile = 2005,         // fewer than 128 bytes at the start of the fax
    ShortTable = 2022,        // DCX page table shorter than 128 bytes
    ShortPage = 2023,         // fewer than 128 bytes at a DCX page's offset
    TooWide = 2024,           // BytesPerLine above 216
    DamagedPage = 2025,       // BytesPerLine 0: the page has no lines to code
    PageFlushFailed = 2027,   // writing a page's last coded bytes failed
    NotRunLength = 2028,      // not a run-length PCX header (also a DCX without pages)
    DirectoryFailed = 2030,   // a page's directory failed without a more precise code
    RowWriteFailed = 2032,    // writing coded data failed while coding a row
    ReadFailed = 2033,        // reading the fax failed
    ReadFailedInRun = 2034,   // reading the fax failed between a count byte and its value
    TifCreateFailed = 2044,   // the TIFF file could not be created
    HeaderWriteFailed = 2045, // writing the 8-byte TIFF header failed
    BlockWriteFailed = 2047,  // writing a page's 190-byte directory block failed
    TooLarge = 2048,          // the TIFF would pass 4 GiB, beyond what its 32-bit offsets reach
    PdfFailed = 2061,         // the PDF could not be written
};

inline unsigned ExportErrorNumber(ExportError e) { return static_cast<unsigned>(e); }

inline constexpr std::size_t kTiffHeaderSize = 8;
inline constexpr std::size_t kTiffBlockSize = 190;     // resolutions, 14 entries, next offset
inline constexpr std::size_t kTiffIfdInBlock = 16;     // the directory follows the two rationals
inline constexpr std::size_t kTiffFlushAt = 2024;      // coded bytes are written in ~2 KB pieces
inline constexpr std::size_t kReadAhead = 64 * 1024;   // the fax is read from the disk in pieces this large
inline constexpr std::uint32_t kTiffXResolution = 204; // fax fine mode, dots per inch
inline constexpr std::uint32_t kTiffYResolution = 196;
inline constexpr std::uint64_t kTiffMaxBytes = 0xFFFFFFFFull;  // offsets are 32 bits

// Sees the rows as the TIFF writer codes them: each row's changing elements (pixel 0
// white, see FindChanges), and the end of each page once its directory is written. The
// writer finds a row's elements straight in the listener's room for them, and codes the
// row from there.
class TiffRowListener {
public:
    virtual ~TiffRowListener() = default;
    // Room for the next row's elements, ChangeCapacity(kFaxWidth) of them; it stays as
    // it is until the next call.
    virtual std::uint32_t* RowRoom() = 0;
    // The row whose first `count` elements were put there.
    virtual void Row(std::size_t count) = 0;
    virtual void PageDone() = 0;
};

// One conversion at a time per object; all state is reset by WriteFaxTiff.
class TiffWriter {
public:
    // `sizeLimit`: the most bytes the file may reach; a conversion that would need more
    // fails with TooLarge before writing past it.
    explicit TiffWriter(std::uint64_t sizeLimit = kTiffMaxBytes);
    virtual ~TiffWriter() = default;
    TiffWriter(const TiffWriter&) = delete;
    TiffWriter& operator=(const TiffWriter&) = delete;

    // Writes every page of the fax open in `input` into `output` (open for reading and
    // writing, empty). 1 when every page was written, 0 with exportError() set. The
    // caller closes both files; a partial TIFF is left as far as it was written.
    int WriteFaxTiff(File& input, File& output);
    // Writes the directory block of the page just coded and links it to the previous
    // one (or the header). 1 or 0.
    int WriteTiffDirectory(File& output);

    // Rows go to `listener` too (none: nullptr); it must outlive the conversions.
    void SetRowListener(TiffRowListener* listener) { listener_ = listener; }

    ExportError exportError() const { return error_; }
    // errno when the first failure came; meaningful for the read, write and create codes.
    int systemError() const { return systemError_; }
    std::uint32_t pagesWritten() const { return blocks_; }

protected:
    // All file traffic goes through these two, so a test can make the disk fail.
    virtual std::int64_t ReadInput(File& input, void* buffer, std::size_t size);
    virtual bool WriteOutput(File& output, const void* data, std::size_t size);

private:
    // The first failure's code is the one kept.
    void Fail(ExportError e) {
        if (error_ != ExportError::None) return;
        error_ = e;
        systemError_ = errno;
    }
    // Moves the fax's reading to `offset`: every seek goes here, past what was read ahead.
    bool SeekInput(File& input, std::uint64_t offset);
    bool WritePage(File& input, File& output, std::size_t start, std::size_t end, const PcxHeader& header);
    bool CodeRow(File& output, const std::uint8_t* row);
    // Appends at the end of the file, within the size limit.
    bool Append(File& output, const void* data, std::size_t size);
    bool FlushCoded(File& output) {
        bool ok = Append(output, coded_.data(), codedSize_);
        codedSize_ = 0;
        return ok;
    }

    ExportError error_ = ExportError::None;
    int systemError_ = 0;
    std::uint64_t sizeLimit_;
    std::uint64_t end_ = 0;  // bytes in the file
    std::array<std::uint8_t, kReadChunk> in_{};
    // Two rows, the one being decoded and the one before it, each with the room the
    // decoder may write past a row.
    static constexpr std::size_t kRowSpan = kFaxBytesPerLine + LineDecoder::kRoomAfterLine;
    std::array<std::uint8_t, 2 * kRowSpan> rows_{};
    std::array<std::uint32_t, ChangeCapacity(kFaxWidth)> changes_{};  // the row's changing elements
    std::vector<std::uint8_t> coded_;  // coded bytes waiting to be written
    std::size_t codedSize_ = 0;
    std::array<std::uint8_t, kTiffHeaderSize> header_{};
    std::array<std::uint8_t, kTiffBlockSize> block_{};  // the last block, kept for linking
    std::uint64_t blockOffset_ = 0;
    std::uint32_t blocks_ = 0;
    std::uint64_t stripStart_ = 0;
    std::uint32_t rowsCoded_ = 0;
    TiffRowListener* listener_ = nullptr;
    std::vector<std::uint8_t> ahead_;  // read from the fax, not yet handed out
    std::size_t aheadAt_ = 0, aheadEnd_ = 0;
};

}  // namespace fax
