#include "export/tiff_writer.h"

#include <algorithm>
#include <cstring>

#include "export/mh_codes.h"
#include "formats/dcx.h"
#include "formats/rle.h"

namespace fax {

namespace {

constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeRational = 5;
constexpr std::uint16_t kDirectoryEntries = 14;
constexpr std::size_t kBlockNextOffset = 186;
constexpr std::uint32_t kMaxShortRows = 65535;

struct BlockFiller {
    std::uint8_t* p;
    std::size_t at = kTiffIfdInBlock + 2;
    void Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
        WriteLe16(p + at, tag);
        WriteLe16(p + at + 2, type);
        WriteLe32(p + at + 4, 1);
        if (type == kTypeShort)
            WriteLe16(p + at + 8, static_cast<std::uint16_t>(value));  // low half; the rest stays 0
        else
            WriteLe32(p + at + 8, value);
        at += 12;
    }
};

}  // namespace

TiffWriter::TiffWriter(std::uint64_t sizeLimit)
    : sizeLimit_(std::min(sizeLimit, kTiffMaxBytes)), coded_(kTiffFlushAt + MhLineBytesMax(kFaxWidth)) {}

bool TiffWriter::Append(File& output, const void* data, std::size_t size) {
    if (end_ + size > sizeLimit_) {
        Fail(ExportError::TooLarge);
        return false;
    }
    if (!WriteOutput(output, data, size)) return false;
    end_ += size;
    return true;
}

// The fax is read from the disk in large pieces and handed out in the sizes asked for (a
// page table at most); a piece comes short only at the end of the file.
static_assert(kDcxTableSize <= kReadAhead && kReadChunk <= kReadAhead);
std::int64_t TiffWriter::ReadInput(File& input, void* buffer, std::size_t size) {
    if (ahead_.empty()) ahead_.resize(kReadAhead);
    if (aheadEnd_ - aheadAt_ < size) {
        std::memmove(ahead_.data(), ahead_.data() + aheadAt_, aheadEnd_ - aheadAt_);
        aheadEnd_ -= aheadAt_;
        aheadAt_ = 0;
        while (aheadEnd_ < size) {
            const std::int64_t n = input.Read(ahead_.data() + aheadEnd_, ahead_.size() - aheadEnd_);
            if (n < 0 && aheadEnd_ == 0) return n;
            if (n <= 0) break;  // what came before a failure is handed out first
            aheadEnd_ += static_cast<std::size_t>(n);
        }
    }
    const std::size_t n = std::min(size, aheadEnd_ - aheadAt_);
    std::memcpy(buffer, ahead_.data() + aheadAt_, n);
    aheadAt_ += n;
    return static_cast<std::int64_t>(n);
}

bool TiffWriter::SeekInput(File& input, std::uint64_t offset) {
    aheadAt_ = aheadEnd_ = 0;
    return input.Seek(offset);
}

bool TiffWriter::WriteOutput(File& output, const void* data, std::size_t size) {
    return output.WriteAll(data, size);
}

int TiffWriter::WriteFaxTiff(File& input, File& output) {
    error_ = ExportError::None;
    systemError_ = 0;
    blocks_ = 0;
    rowsCoded_ = 0;
    codedSize_ = 0;
    blockOffset_ = 0;
    block_.fill(0);

    end_ = 0;
    aheadAt_ = aheadEnd_ = 0;

    header_ = {'I', 'I', 42, 0, 0, 0, 0, 0};  // first directory offset patched later
    if (!Append(output, header_.data(), header_.size())) {
        Fail(ExportError::HeaderWriteFailed);
        return 0;
    }
    stripStart_ = kTiffHeaderSize;

    std::int64_t got = ReadInput(input, in_.data(), in_.size());
    if (got < static_cast<std::int64_t>(kPcxHeaderSize)) {
        Fail(ExportError::ShortFile);
        return 0;
    }

    const bool dcx = HasDcxMagic(in_.data(), static_cast<std::size_t>(got));
    DcxTable table;
    unsigned pageCount = 1;
    if (dcx) {
        std::array<std::uint8_t, kDcxTableSize> raw{};
        std::int64_t n = SeekInput(input, 0) ? ReadInput(input, raw.data(), raw.size()) : -1;
        if (n < static_cast<std::int64_t>(kMinTableBytes)) {
            Fail(ExportError::ShortTable);
            return 0;
        }
        table = DcxTable::FromBytes(raw.data(), static_cast<std::size_t>(n));
        pageCount = table.PageCount();
    }

    // A DCX without pages still tries slot 1: offset 0 holds the magic, not a PCX header.
    unsigned page = 0;
    do {
        if (dcx) {
            got = SeekInput(input, table.Slot(page + 1)) ? ReadInput(input, in_.data(), in_.size()) : -1;
            if (got < static_cast<std::int64_t>(kPcxHeaderSize)) {
                Fail(ExportError::ShortPage);
                return 0;
            }
        }
        PcxHeader header = PcxHeader::FromBytes(in_.data());
        if (!header.IsRunLengthPcx()) {
            Fail(ExportError::NotRunLength);
            return 0;
        }
        if (header.bytesPerLine() > kFaxBytesPerLine) {
            Fail(ExportError::TooWide);
            return 0;
        }
        if (header.bytesPerLine() == 0) {
            Fail(ExportError::DamagedPage);
            return 0;
        }
        if (!WritePage(input, output, kPcxHeaderSize, static_cast<std::size_t>(got), header)) return 0;
        if (!FlushCoded(output)) {
            Fail(ExportError::PageFlushFailed);
            return 0;
        }
        if (!WriteTiffDirectory(output)) {
            Fail(ExportError::DirectoryFailed);
            return 0;
        }
        if (listener_) listener_->PageDone();
    } while (++page < pageCount);
    return 1;
}

bool TiffWriter::WritePage(File& input, File& output, std::size_t start, std::size_t end,
                           const PcxHeader& header) {
    rows_.fill(0xFF);  // bytes beyond BytesPerLine stay white for the whole page
    const std::size_t bpl = header.bytesPerLine();
    std::uint8_t* row = rows_.data();
    std::uint8_t* before = rows_.data() + kRowSpan;
    std::uint32_t rowsLeft = header.LineCount();

    // A run still pending at the end of a row is dropped: the next row starts with the
    // next input byte (pages from other programs may have such runs). So every row takes
    // at least one input byte, and the rows coded never outnumber the bytes of the page.
    LineDecoder decoder(bpl, RunAtLineEnd::Drop, true);
    std::size_t pos = start;
    for (; rowsLeft > 0; --rowsLeft) {
        bool endOfFile = false;
        for (;;) {
            LineDecoder::Result r = decoder.Decode(in_.data() + pos, end - pos, row, 1);
            pos += r.consumed;
            if (r.lines == 1) {
                // The decoder may have written past the row's end.
                std::memset(row + bpl, 0xFF, kFaxBytesPerLine - bpl);
                break;
            }
            std::int64_t n = ReadInput(input, in_.data(), in_.size());
            if (n < 0) {
                Fail(decoder.AwaitingValue() ? ExportError::ReadFailedInRun : ExportError::ReadFailed);
                return false;
            }
            if (n == 0) {
                // The data ends early: this row goes out as it stands, its tail as the
                // previous row was, and the page ends here.
                const std::size_t done = decoder.PartialLineBytes();
                std::memcpy(row + done, before + done, kFaxBytesPerLine - done);
                endOfFile = true;
                break;
            }
            pos = 0;
            end = static_cast<std::size_t>(n);
        }
        if (!CodeRow(output, row)) return false;
        if (endOfFile) break;
        std::swap(row, before);
    }
    return true;
}

bool TiffWriter::CodeRow(File& output, const std::uint8_t* row) {
    ++rowsCoded_;
    std::uint32_t* changes = listener_ ? listener_->RowRoom() : changes_.data();
    const std::size_t count = FindChanges(row, kFaxWidth, false, changes);
    if (listener_) listener_->Row(count);
    codedSize_ += CodeMhLine(changes, count, kFaxWidth, coded_.data() + codedSize_);
    if (codedSize_ >= kTiffFlushAt && !FlushCoded(output)) {
        Fail(ExportError::RowWriteFailed);  // unless the size limit spoke first
        return false;
    }
    return true;
}

int TiffWriter::WriteTiffDirectory(File& output) {
    const std::uint64_t previous = blockOffset_;
    std::int64_t here = output.Tell();
    if (here < 0) {
        Fail(ExportError::BlockWriteFailed);
        return 0;
    }
    std::uint64_t offset = static_cast<std::uint64_t>(here);
    if (offset & 1) {
        // Directories start on a word boundary.
        const std::uint8_t zero = 0;
        if (!Append(output, &zero, 1)) return 0;
        ++offset;
    }
    if (offset + kTiffBlockSize > sizeLimit_) {
        Fail(ExportError::TooLarge);
        return 0;
    }

    // Link the new directory in. A link that did not reach the disk would cut the
    // pages after it off, even if every later write succeeds.
    ++blocks_;
    const std::uint32_t ifd = static_cast<std::uint32_t>(offset + kTiffIfdInBlock);
    bool linked;
    if (blocks_ == 1) {
        WriteLe32(&header_[4], ifd);
        linked = output.Seek(0) && WriteOutput(output, header_.data(), header_.size());
    } else {
        WriteLe32(&block_[kBlockNextOffset], ifd);
        linked = output.Seek(previous) && WriteOutput(output, block_.data(), block_.size());
    }
    if (!linked || !output.SeekEnd()) {
        Fail(ExportError::BlockWriteFailed);
        return 0;
    }

    block_.fill(0);
    std::uint8_t* b = block_.data();
    const std::uint32_t blockAt = static_cast<std::uint32_t>(offset);
    WriteLe32(b + 0, kTiffXResolution);
    WriteLe32(b + 4, 1);
    WriteLe32(b + 8, kTiffYResolution);
    WriteLe32(b + 12, 1);
    WriteLe16(b + kTiffIfdInBlock, kDirectoryEntries);
    BlockFiller e{b};
    e.Entry(256, kTypeLong, kFaxWidth);           // ImageWidth
    e.Entry(257, kTypeLong, rowsCoded_);          // ImageLength
    e.Entry(258, kTypeShort, 1);                  // BitsPerSample
    e.Entry(259, kTypeShort, 3);                  // Compression: CCITT Group 3
    e.Entry(262, kTypeShort, 0);                  // PhotometricInterpretation: WhiteIsZero
    e.Entry(266, kTypeShort, 2);                  // FillOrder: first bit in the low bit
    e.Entry(273, kTypeLong, static_cast<std::uint32_t>(stripStart_));  // StripOffsets
    e.Entry(277, kTypeShort, 1);                  // SamplesPerPixel
    // RowsPerStrip: the page is one strip. A SHORT cannot say so beyond 65,535 rows,
    // and readers then split the page wrongly, so such pages get a LONG.
    e.Entry(278, rowsCoded_ > kMaxShortRows ? kTypeLong : kTypeShort, rowsCoded_);
    e.Entry(279, kTypeLong, static_cast<std::uint32_t>(offset - stripStart_));  // StripByteCounts
    e.Entry(282, kTypeRational, blockAt);         // XResolution
    e.Entry(283, kTypeRational, blockAt + 8);     // YResolution
    e.Entry(292, kTypeLong, 0);                   // T4Options: one-dimensional, no fill flag
    e.Entry(296, kTypeShort, 2);                  // ResolutionUnit: inch
    // The next-directory offset (186) stays 0 until a following page links itself in.

    if (!Append(output, block_.data(), block_.size())) {
        Fail(ExportError::BlockWriteFailed);
        return 0;
    }
    blockOffset_ = offset;
    rowsCoded_ = 0;
    stripStart_ = offset + kTiffBlockSize;
    return 1;
}

}  // namespace fax
