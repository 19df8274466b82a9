#include "zoomedit/zoom_edit.h"

#include <new>

#include "formats/dcx.h"
#include "formats/file_io.h"
#include "tools/breakup.h"
#include "zoomedit/bitmap_file.h"

namespace fax {

EditCopyBuffer::EditCopyBuffer() {
    for (std::size_t size : {kEditCopyBuffer, kEditCopyBufferFallback}) {
        data_.reset(new (std::nothrow) std::uint8_t[size]);
        if (data_) {
            size_ = size;
            return;
        }
    }
}

ToolMessage EditCopyBuffer::NoMemoryMessage() {
    return {kZoomEditTitle, "Not enough Local Memory to do an Edit Fax.", MessageIcon::Error};
}

namespace {

EditStep Failed(std::string text) {
    EditStep step;
    step.messages.push_back({kZoomEditTitle, std::move(text), MessageIcon::Error});
    return step;
}

std::string Code(unsigned code) { return "ZE" + std::to_string(code) + ", "; }

EditStep NotThere(unsigned code, const std::string& fax) {
    return Failed(Code(code) + "File Path\\Name:\n" + fax + "\ndoes not exist.");
}

EditStep CouldNotWrite(unsigned code, const std::string& path) {
    return Failed(Code(code) + "Could not write:\n" + path + "\nDisk may be full...");
}

// The fax's page list; `code` numbers the "not a valid dcx file" message.
bool ReadPages(File& fax, const std::string& path, unsigned code, DcxPages& pages, EditStep& failure) {
    pages = ReadDcxPages(fax, path);
    if (pages.status == DcxPages::Status::NotDcx) {
        failure = Failed(Code(code) + path + "\nis not a valid dcx file");
        return false;
    }
    if (pages.status == DcxPages::Status::Damaged) {
        failure = Failed(pages.damage);
        return false;
    }
    return true;
}

EditStep NoSuchPage(const std::string& path, unsigned page) {
    return Failed("The fax:\n" + path + "\nhas no page " + std::to_string(page) + ".");
}

}  // namespace

EditStep ExtractDcxPage(const std::string& faxPath, unsigned page, const std::string& pcxPath,
                        const EditCopyBuffer& buffer) {
    File fax = File::OpenRead(faxPath);
    if (!fax) return NotThere(4, faxPath);
    DcxPages pages;
    EditStep failure;
    if (!ReadPages(fax, faxPath, 7, pages, failure)) return failure;
    if (page < 1 || page > pages.extents.size()) return NoSuchPage(faxPath, page);
    const bool last = page == pages.extents.size();
    switch (CopyPageToFile(fax, pages.extents[page - 1], pcxPath, buffer.data(), buffer.size())) {
        case CopyStatus::Ok: return {true, {}};
        case CopyStatus::CreateFailed: return Failed("Can not Create:\n" + pcxPath);
        case CopyStatus::CopyFailed: break;
    }
    return CouldNotWrite(last ? 2 : 1, pcxPath);
}

EditStep ReplaceDcxPage(const std::string& faxPath, unsigned page, const std::string& pcxPath,
                        const EditCopyBuffer& buffer) {
    // Opening for writing also refuses a fax the user may not change.
    File fax = File::OpenReadWrite(faxPath);
    if (!fax) return NotThere(5, faxPath);
    AtomicFile out(faxPath);
    if (!out.Open()) return Failed("Can not Create file:\n" + out.tempPath());
    File edited = File::OpenRead(pcxPath);
    if (!edited) return Failed("Can not Open:\n" + pcxPath);
    DcxPages pages;
    EditStep failure;
    if (!ReadPages(fax, faxPath, 6, pages, failure)) return failure;
    if (page < 1 || page > pages.extents.size()) return NoSuchPage(faxPath, page);
    const std::int64_t editedSize = edited.Size();
    if (editedSize < 0) return Failed("Can not Open:\n" + pcxPath);

    DcxTable table;
    WriteLe32(table.bytes.data(), kDcxMagic);
    File& f = out.file();
    if (!f.WriteAll(table.bytes.data(), kDcxTableSize)) return CouldNotWrite(3, faxPath);
    for (unsigned n = 1; n <= pages.extents.size(); ++n) {
        const std::int64_t offset = f.Tell();
        // Page offsets are 32-bit.
        if (offset < 0 || offset > 0xFFFFFFFFll) return CouldNotWrite(3, faxPath);
        table.SetSlot(n, static_cast<std::uint32_t>(offset));
        const PageExtent& extent = pages.extents[n - 1];
        File& source = n == page ? edited : fax;
        const std::uint64_t start = n == page ? 0 : extent.offset;
        const std::uint64_t length = n == page ? static_cast<std::uint64_t>(editedSize) : extent.length;
        if (!source.Seek(start) || !CopyRange(source, length, f, buffer.data(), buffer.size()))
            return CouldNotWrite(3, faxPath);
    }
    if (!f.Seek(0) || !f.WriteAll(table.bytes.data(), kDcxTableSize)) return CouldNotWrite(3, faxPath);
    if (!out.Commit()) return Failed("Can not Create file:\n" + faxPath);
    return {true, {}};
}

}  // namespace fax
