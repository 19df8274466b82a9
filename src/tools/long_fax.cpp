#include "tools/long_fax.h"

#include <vector>

#include "formats/dcx.h"
#include "formats/fax_check.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "tools/breakup.h"

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

    std::uint64_t total = 0;
    std::uint8_t head[kPcxHeaderSize];
    for (std::size_t i = 0; i < pages.extents.size(); ++i) {
        const PageExtent& e = pages.extents[i];
        if (e.length < kPcxHeaderSize || !in.Seek(e.offset) ||
            in.Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head))
            return result;
        PcxHeader h = PcxHeader::FromBytes(head);
        if (h.bytesPerLine() != kFaxBytesPerLine) {
            result.messages.push_back(Refusal(
                "Page " + std::to_string(i + 1) + " of:\n" + source + "\nis " + std::to_string(h.bytesPerLine() * 8u) +
                " pixels wide. A long fax can only join pages " + std::to_string(kFaxWidth) + " pixels (" +
                std::to_string(kFaxBytesPerLine) + " bytes) wide.\nNothing was built."));
            return result;
        }
        total += h.LineCount();
    }
    if (total > kMaxLineCount) {
        result.messages.push_back(Refusal("The pages of:\n" + source + "\nhold " + std::to_string(total) +
                                          " lines together, more than the " + std::to_string(kMaxLineCount) +
                                          " lines one page can hold.\nNothing was built."));
        return result;
    }

    DcxWriter writer(newPath);
    if (writer.Create() != DcxWriter::Status::Ok) {
        result.messages.push_back(Refusal("Create a new long one page fax, was unable to create:\n" + newPath +
                                          "\n\nIs the path and filename valid?\n\nIs your HardDrive full?."));
        return result;
    }
    PcxHeader header = PcxHeader::Compose(kFaxBytesPerLine, static_cast<std::uint32_t>(total));
    if (writer.AppendPageHeader(header.bytes.data()) != DcxWriter::Status::Ok) return result;

    std::uint8_t piece[kLongFaxCopyPiece];
    for (const PageExtent& e : pages.extents) {
        std::uint64_t left = e.length - kPcxHeaderSize;
        if (!in.Seek(e.offset + kPcxHeaderSize)) return result;
        while (left > 0) {
            std::size_t n = left < sizeof piece ? static_cast<std::size_t>(left) : sizeof piece;
            if (in.Read(piece, n) != static_cast<std::int64_t>(n)) return result;
            if (writer.AppendData(piece, n) != DcxWriter::Status::Ok) return result;
            left -= n;
        }
    }
    if (writer.Finish() != DcxWriter::Status::Ok) return result;
    result.ok = true;
    result.pages = static_cast<unsigned>(pages.extents.size());
    result.lines = static_cast<std::uint32_t>(total);
    return result;
}

}  // namespace fax
