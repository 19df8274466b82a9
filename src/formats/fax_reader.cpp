#include "formats/fax_reader.h"

#include <algorithm>

namespace fax {

const char* const kTooWideMessage =
    "Can not view file. It is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide.";

std::string PageErrorText(PageError error) {
    switch (error) {
        case PageError::None: return {};
        case PageError::TooWide: return kTooWideMessage;
        case PageError::ReadFailed: return "Can not view this file because it could not be read.";
        case PageError::Damaged:
            return "Can not view this file because it is damaged: the picture's header values do not fit together.";
        default: return "UnZipFaxToScreen Error " + std::to_string(static_cast<int>(error));
    }
}

std::uint32_t DecodableLines(std::uint64_t dataBytes, std::size_t bytesPerLine, std::uint32_t claimedLines) {
    if (bytesPerLine == 0) return claimedLines;
    // Two input bytes decode to at most kMaxRun output bytes.
    std::uint64_t maxBytes = (dataBytes / 2 + 1) * kMaxRun + dataBytes % 2;
    std::uint64_t maxLines = maxBytes / bytesPerLine + 1;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(claimedLines, maxLines));
}

bool FaxReader::Open(const std::string& path) {
    Close();
    file_ = File::OpenRead(path);
    return file_.IsOpen();
}

void FaxReader::Close() {
    file_.Close();
    kind_ = FaxKind::None;
    pageCount_ = 0;
}

PageError FaxReader::ReadLayout() {
    kind_ = FaxKind::None;
    pageCount_ = 1;
    std::int64_t size = file_.Size();
    if (size < 0) return PageError::ReadFailed;
    fileSize_ = static_cast<std::uint64_t>(size);
    std::uint8_t start[kReadChunk];
    if (!file_.Seek(0)) return PageError::ReadFailed;
    std::int64_t n = file_.Read(start, sizeof start);
    if (n < static_cast<std::int64_t>(kPcxHeaderSize)) return PageError::ShortFile;
    if (HasDcxMagic(start, static_cast<std::size_t>(n))) {
        kind_ = FaxKind::Dcx;
        std::uint8_t block[kDcxTableSize];
        if (!file_.Seek(0)) return PageError::ReadFailed;
        std::int64_t got = file_.Read(block, sizeof block);
        if (got < static_cast<std::int64_t>(kMinTableBytes)) return PageError::ShortTable;
        table_ = DcxTable::FromBytes(block, static_cast<std::size_t>(got));
        pageCount_ = table_.PageCount();
    } else {
        kind_ = FaxKind::Pcx;
        table_ = DcxTable{};
    }
    return PageError::None;
}

PageError FaxReader::LoadPage(unsigned number, Page& page) {
    page = Page{};
    page.number = 1;
    std::uint64_t offset = 0;
    if (kind_ == FaxKind::Dcx) {
        page.number = number;
        offset = table_.LocatePage(page.number);
        if (offset == 0) {
            page.number = number;
            return PageError::ShortHeader;  // no page listed at all
        }
    }
    page.offset = offset;
    std::uint8_t head[kPcxHeaderSize];
    if (!file_.Seek(offset)) return PageError::ShortHeader;
    if (file_.Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head)) return PageError::ShortHeader;
    page.header = PcxHeader::FromBytes(head);
    if (!page.header.IsRunLengthPcx()) return PageError::NotRunLength;
    std::uint64_t dataStart = offset + kPcxHeaderSize;
    if (!IsBilevel(page.header)) return LoadPicture(page);
    page.bytesPerLine = page.header.bytesPerLine();
    if (page.bytesPerLine > kMaxBytesPerLine) return PageError::TooWide;
    page.lines = page.header.LineCount();
    if (page.bytesPerLine < kMinBytesPerLine) return PageError::TooNarrow;
    page.decodableLines = DecodableLines(fileSize_ > dataStart ? fileSize_ - dataStart : 0, page.bytesPerLine, page.lines);
    return PageError::None;
}

std::uint64_t FaxReader::PageEnd(const Page& page) const {
    std::uint64_t end = fileSize_;
    if (kind_ == FaxKind::Dcx) {
        const std::uint64_t next = table_.Slot(page.number + 1);
        if (next > page.offset && next < end) end = next;
    }
    return end;
}

PageError FaxReader::LoadPicture(Page& page) {
    const std::uint64_t end = PageEnd(page);
    const std::uint64_t dataStart = page.offset + kPcxHeaderSize;
    std::uint8_t block[kPaletteBlockSize];
    const std::uint8_t* palette = nullptr;
    if (end >= dataStart + kPaletteBlockSize && file_.Seek(end - kPaletteBlockSize) &&
        file_.Read(block, sizeof block) == static_cast<std::int64_t>(sizeof block))
        palette = block;
    if (ClassifyPage(page.header, palette, page.format) != PageClass::Picture) return PageError::Damaged;
    page.picture = true;
    page.bytesPerLine = page.format.bytesPerLine;
    page.lines = PictureLineCount(page.header);
    page.decodableLines = DecodableLines(end > dataStart ? end - dataStart : 0, page.lineBytes(), page.lines);
    return PageError::None;
}

std::string FaxPictureRefusal(const std::string& path, unsigned page) {
    FaxReader reader;
    if (!reader.Open(path) || reader.ReadLayout() != PageError::None) return {};
    const unsigned first = page ? page : 1, last = page ? page : reader.pageCount();
    for (unsigned n = first; n <= last; ++n) {
        const std::uint64_t offset = reader.PageOffset(n);
        std::uint8_t head[kPcxHeaderSize];
        if (!reader.file().Seek(offset) || reader.file().Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head))
            continue;
        const PcxHeader header = PcxHeader::FromBytes(head);
        if (header.IsRunLengthPcx() && !IsBilevel(header)) return PictureRefusal(path, n);
    }
    return {};
}

PageLineReader::PageLineReader(File& file, const FaxReader::Page& page, RunAtLineEnd mode, std::uint64_t end)
    : file_(file),
      position_(page.offset + kPcxHeaderSize),
      end_(end),
      linesLeft_(page.lines),
      bytesPerLine_(page.lineBytes() ? page.lineBytes() : 1),
      decoder_(bytesPerLine_, mode) {}

PageLineReader::Band PageLineReader::Next(std::uint8_t* out, std::size_t maxLines) {
    Band band;
    maxLines = std::min<std::size_t>(maxLines, linesLeft_);
    std::uint8_t* line = out;
    while (band.lines < maxLines) {
        if (chunkPos_ >= chunkSize_) {
            if (eof_) break;
            if (!file_.Seek(position_)) {
                band.error = true;
                break;
            }
            const std::uint64_t left = end_ > position_ ? end_ - position_ : 0;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk_, left));
            std::int64_t n = want > 0 ? file_.Read(chunk_, want) : 0;
            if (n < 0) {
                band.error = true;
                break;
            }
            chunkSize_ = static_cast<std::size_t>(n);
            chunkPos_ = 0;
            position_ += chunkSize_;
            if (chunkSize_ < want || position_ >= end_) eof_ = true;
            if (chunkSize_ == 0) break;
        }
        auto r = decoder_.Decode(chunk_ + chunkPos_, chunkSize_ - chunkPos_, line, maxLines - band.lines);
        chunkPos_ += r.consumed;
        band.lines += r.lines;
        line += r.lines * bytesPerLine_;
    }
    linesLeft_ -= static_cast<std::uint32_t>(band.lines);
    delivered_ += static_cast<std::uint32_t>(band.lines);
    if (linesLeft_ == 0) {
        band.end = true;
    } else if (band.error || (eof_ && chunkPos_ >= chunkSize_)) {
        band.end = true;
        band.partialBytes = decoder_.PartialLineBytes();
        linesLeft_ = 0;
    }
    return band;
}

bool ReadWholePage(File& file, const FaxReader::Page& page, std::vector<std::uint8_t>& pixels, std::uint32_t& lines,
                   RunAtLineEnd mode, std::uint64_t end) {
    // Bands of up to 2,800 lines and 1 MiB: a picture's header may claim 262,140 bytes a line.
    constexpr std::size_t kBand = 2800, kBandBytes = 1 << 20;
    const std::size_t bpl = page.lineBytes();
    const std::size_t bandLines = std::clamp<std::size_t>(kBandBytes / std::max<std::size_t>(bpl, 1), 1, kBand);
    std::vector<std::uint8_t> band(bandLines * bpl);
    pixels.clear();
    PageLineReader reader(file, page, mode, end);
    for (;;) {
        PageLineReader::Band b = reader.Next(band.data(), bandLines);
        if (b.error) return false;
        pixels.insert(pixels.end(), band.begin(), band.begin() + static_cast<std::ptrdiff_t>(b.lines * bpl));
        if (b.end || b.lines == 0) break;
    }
    lines = reader.linesDelivered();
    return true;
}

}  // namespace fax
