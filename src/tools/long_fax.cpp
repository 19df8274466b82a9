#include "tools/long_fax.h"

#include <algorithm>
#include <vector>

#include "formats/dcx.h"
#include "formats/fax_check.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "formats/picture.h"
#include "formats/rle.h"

namespace fax {

ToolMessage LongFaxQuestion(const std::string& source, const std::string& newPath) {
    return {kProductTitle,
            "Would you like to create a new long one page fax from all the pages in:\n" + source +
                "\n\nThe new fax will be called:\n" + newPath + "\n\nThe new fax will become the " + kProductTitle +
                " default fax.\n\nCreate new fax?\n" + newPath,
            MessageIcon::Question};
}

namespace {
ToolMessage Refusal(const std::string& text) { return {kProductTitle, text, MessageIcon::Error}; }
}  // namespace

namespace {
// The part of a page's stored data that encodes its lines (see LineDataEnd).
struct PageLines {
    std::uint64_t dataOffset = 0;
    LineDataEnd end;
};

// Reads a page's data up to its last line; false when the file cannot be read.
bool MeasurePage(File& in, const PageExtent& extent, PageLines& page) {
    std::uint64_t left = extent.length - kPcxHeaderSize;
    if (!in.Seek(page.dataOffset)) return false;
    std::uint8_t piece[kReadChunk];
    while (left > 0 && !page.end.done()) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof piece));
        if (in.Read(piece, n) != static_cast<std::int64_t>(n)) return false;
        page.end.Feed(piece, n);
        left -= n;
    }
    return true;
}
}  // namespace

LongFaxResult BuildLongFax(const std::string& source, const std::string& newPath) {
    LongFaxResult result;
    if (!ContainsNoCase(source, ".dcx")) return result;
    File in = File::OpenRead(source);
    if (!in) return result;
    DcxPages pages = ReadDcxPages(in, source);
    if (pages.status == DcxPages::Status::NotDcx) return result;
    if (pages.status == DcxPages::Status::Damaged) {
        result.messages.push_back(Refusal(pages.damage));
        return result;
    }
    if (pages.extents.empty()) {
        result.messages.push_back(Refusal(source + "\nhas no pages. Nothing was built."));
        return result;
    }
    if (SameFile(source, newPath)) {
        result.messages.push_back(Refusal(newPath + "\nis the fax to be joined itself. Nothing was built."));
        return result;
    }
    auto unreadable = [&](std::size_t i) {
        result.messages.push_back(Refusal("Page " + std::to_string(i + 1) + " of:\n" + source +
                                          "\ncould not be read. Nothing was built."));
        return result;
    };

    // Each page adds the lines its data really holds: bytes after its last line (a palette
    // block, padding) would otherwise become lines of the next page.
    std::uint64_t total = 0;
    std::vector<PageLines> measured;
    measured.reserve(pages.extents.size());
    std::uint8_t head[kPcxHeaderSize];
    for (std::size_t i = 0; i < pages.extents.size(); ++i) {
        const PageExtent& e = pages.extents[i];
        if (e.length < kPcxHeaderSize || !in.Seek(e.offset) ||
            in.Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head))
            return unreadable(i);
        PcxHeader h = PcxHeader::FromBytes(head);
        if (!IsBilevel(h)) {
            result.messages.push_back(Refusal(PictureRefusal(source, static_cast<unsigned>(i + 1)) + "\nNothing was built."));
            return result;
        }
        if (h.bytesPerLine() != kFaxBytesPerLine) {
            result.messages.push_back(Refusal(
                "Page " + std::to_string(i + 1) + " of:\n" + source + "\nis " + std::to_string(h.bytesPerLine() * 8u) +
                " pixels wide. A long fax can only join pages " + std::to_string(kFaxWidth) + " pixels (" +
                std::to_string(kFaxBytesPerLine) + " bytes) wide.\nNothing was built."));
            return result;
        }
        measured.push_back({e.offset + kPcxHeaderSize, LineDataEnd(kFaxBytesPerLine, h.LineCount())});
        if (!MeasurePage(in, e, measured.back())) return unreadable(i);
        total += measured.back().end.lines();
    }
    if (total == 0 || total > kMaxLineCount) {
        result.messages.push_back(Refusal("The pages of:\n" + source + "\nhold " + std::to_string(total) +
                                          " lines together; one page can hold 1 to " + std::to_string(kMaxLineCount) +
                                          " lines.\nNothing was built."));
        return result;
    }

    DcxWriter writer(newPath);
    if (writer.Create() != DcxWriter::Status::Ok) {
        result.messages.push_back(Refusal("Create a new long one page fax, was unable to create:\n" + newPath +
                                          "\n\nIs the path and filename valid?\n\nIs your HardDrive full?."));
        return result;
    }
    // A write that fails names the new fax and the system's reason; the partial file goes.
    auto writeFailed = [&] {
        std::string reason = writer.reason();
        writer.Abandon();
        result.messages.push_back(Refusal("Create a new long one page fax, could not write:\n" + newPath + "\n" +
                                          reason + "\nDisk may be full..."));
        return result;
    };
    PcxHeader header = PcxHeader::Compose(kFaxBytesPerLine, static_cast<std::uint32_t>(total));
    if (writer.AppendPageHeader(header.bytes.data()) != DcxWriter::Status::Ok) return writeFailed();

    std::uint8_t piece[kLongFaxCopyPiece];
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const PageLines& page = measured[i];
        std::uint64_t left = page.end.copyBytes();
        if (!in.Seek(page.dataOffset)) return unreadable(i);
        while (left > 0) {
            std::size_t n = left < sizeof piece ? static_cast<std::size_t>(left) : sizeof piece;
            if (in.Read(piece, n) != static_cast<std::int64_t>(n)) return unreadable(i);
            if (writer.AppendData(piece, n) != DcxWriter::Status::Ok) return writeFailed();
            left -= n;
        }
        if (page.end.tailSize() > 0 &&
            writer.AppendData(page.end.tail(), page.end.tailSize()) != DcxWriter::Status::Ok)
            return writeFailed();
    }
    if (writer.Finish() != DcxWriter::Status::Ok) return writeFailed();
    result.ok = true;
    result.pages = static_cast<unsigned>(pages.extents.size());
    result.lines = static_cast<std::uint32_t>(total);
    return result;
}

}  // namespace fax
