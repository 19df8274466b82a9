#include "formats/dcx.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fax {

bool HasDcxMagic(const std::uint8_t* start, std::size_t size) {
    return size >= 4 && ReadLe32(start) == kDcxMagic;
}

FaxKind DetectKind(const std::uint8_t* start, std::size_t size) {
    return HasDcxMagic(start, size) ? FaxKind::Dcx : FaxKind::Pcx;
}

DcxTable DcxTable::FromBytes(const std::uint8_t* p, std::size_t size) {
    DcxTable t;
    std::memcpy(t.bytes.data(), p, std::min(size, kDcxTableSize));
    return t;
}

std::uint32_t DcxTable::Slot(unsigned n) const {
    if (n < 1 || n > kDcxSlots) return 0;
    return ReadLe32(&bytes[4 * n]);
}

void DcxTable::SetSlot(unsigned n, std::uint32_t offset) {
    if (n >= 1 && n <= kDcxSlots) WriteLe32(&bytes[4 * n], offset);
}

unsigned DcxTable::PageCount() const {
    unsigned n = 0;
    while (n < kDcxSlots && Slot(n + 1) != 0) ++n;
    return n;
}

std::uint32_t DcxTable::LocatePage(unsigned& page) const {
    if (page > kDcxSlots) page = kDcxSlots;
    while (page >= 1) {
        if (std::uint32_t offset = Slot(page)) return offset;
        --page;
    }
    return 0;
}

bool PageExtents(const DcxTable& table, std::uint64_t fileSize, const std::string& path,
                 std::vector<PageExtent>& extents, std::string& message) {
    extents.clear();
    unsigned count = table.PageCount();
    std::uint64_t previous = 0;
    for (unsigned n = 1; n <= count; ++n) {
        std::uint64_t offset = table.Slot(n);
        const char* fault = nullptr;
        // A page needs at least its header, so none can start where the file ends.
        if (offset > fileSize)
            fault = "lies beyond the end of the file";
        else if (offset == fileSize)
            fault = "starts at the end of the file";
        else if (offset < previous)
            fault = "starts before the page in front of it";
        if (fault) {
            message = path + "\nhas a damaged page table: page " + std::to_string(n) + " " + fault +
                      ".\nNothing was copied from it.";
            extents.clear();
            return false;
        }
        previous = offset;
        extents.push_back({offset, 0});
    }
    for (std::size_t i = 0; i < extents.size(); ++i) {
        std::uint64_t end = i + 1 < extents.size() ? extents[i + 1].offset : fileSize;
        extents[i].length = end - extents[i].offset;
    }
    return true;
}

DcxPages ReadDcxPages(File& source, const std::string& path) {
    DcxPages pages;
    std::uint8_t block[kDcxTableSize];
    if (!source.Seek(0) || source.Read(block, sizeof block) != static_cast<std::int64_t>(sizeof block) ||
        !HasDcxMagic(block, sizeof block))
        return pages;
    std::int64_t size = source.Size();
    if (size < 0) return pages;
    DcxTable table = DcxTable::FromBytes(block, sizeof block);
    if (!PageExtents(table, static_cast<std::uint64_t>(size), path, pages.extents, pages.damage)) {
        pages.status = DcxPages::Status::Damaged;
        return pages;
    }
    pages.status = DcxPages::Status::Ok;
    return pages;
}

std::string TableFullMessage(const std::string& path) {
    return "The fax:\n" + path + "\nalready holds " + std::to_string(kDcxSlots) +
           " pages, as many as a dcx fax can hold.\nThe remaining pages were not added.";
}

DcxWriter::DcxWriter(std::string path) : path_(std::move(path)), out_(path_) {}

DcxWriter::~DcxWriter() {
    if (open_) Abandon();
}

DcxWriter::Status DcxWriter::Failed(Status status) {
    reason_ = std::strerror(errno ? errno : EIO);
    return status;
}

DcxWriter::Status DcxWriter::Create() {
    table_ = DcxTable{};
    WriteLe16(&table_.bytes[0], static_cast<std::uint16_t>(kDcxMagic & 0xFFFF));
    WriteLe16(&table_.bytes[2], static_cast<std::uint16_t>(kDcxMagic >> 16));
    pages_ = complete_ = 0;
    if (!out_.Open()) {
        reason_ = out_.error();
        return Status::CreateFailed;
    }
    open_ = true;
    if (!out_.file().WriteAll(table_.bytes.data(), kDcxTableSize)) {
        Failed(Status::CreateFailed);
        Abandon();
        return Status::CreateFailed;
    }
    return Status::Ok;
}

DcxWriter::Status DcxWriter::AppendPageHeader(const std::uint8_t* header) {
    if (!open_) return Status::WriteFailed;
    if (pages_ >= kDcxSlots) return Status::TableFull;
    File& f = out_.file();
    if (!f.SeekEnd()) return Failed(Status::WriteFailed);
    std::int64_t offset = f.Tell();
    if (offset < 0) return Failed(Status::WriteFailed);
    if (offset > 0xFFFFFFFFll) {
        // A table slot holds 32 bits; the page could never be found again.
        reason_ = "the fax would grow beyond 4 GiB";
        return Status::WriteFailed;
    }
    if (!f.WriteAll(header, kPcxHeaderSize)) return Failed(Status::WriteFailed);
    table_.SetSlot(++pages_, static_cast<std::uint32_t>(offset));
    return Status::Ok;
}

DcxWriter::Status DcxWriter::AppendData(const std::uint8_t* data, std::size_t size) {
    if (!open_) return Status::WriteFailed;
    return out_.file().WriteAll(data, size) ? Status::Ok : Failed(Status::WriteFailed);
}

DcxWriter::Status DcxWriter::CopyPageData(File& source) {
    if (!open_) return Status::WriteFailed;
    std::vector<std::uint8_t> piece(kDcxCopyPiece);
    for (;;) {
        std::int64_t n = source.Read(piece.data(), piece.size());
        if (n < 0) return Failed(Status::ReadFailed);
        if (n > 0 && !out_.file().WriteAll(piece.data(), static_cast<std::size_t>(n)))
            return Failed(Status::WriteFailed);
        if (static_cast<std::size_t>(n) < piece.size()) return Status::Ok;
    }
}

DcxWriter::Status DcxWriter::RewriteTable() {
    if (!open_) return Status::WriteFailed;
    File& f = out_.file();
    if (!f.Seek(0) || !f.WriteAll(table_.bytes.data(), kDcxTableSize) || !f.SeekEnd())
        return Failed(Status::WriteFailed);
    complete_ = pages_;
    return Status::Ok;
}

DcxWriter::Status DcxWriter::Finish() {
    if (!open_) return Status::WriteFailed;
    Status s = RewriteTable();
    if (s != Status::Ok) {
        Abandon();
        return s;
    }
    open_ = false;
    if (out_.Commit()) return Status::Ok;
    reason_ = out_.error();
    return Status::WriteFailed;
}

void DcxWriter::Abandon() {
    if (!open_) return;
    open_ = false;
    // Drop a page whose data did not get written completely, then list only the rest.
    std::uint32_t cut = table_.Slot(complete_ + 1);
    for (unsigned n = complete_ + 1; n <= pages_; ++n) table_.SetSlot(n, 0);
    pages_ = complete_;
    if (complete_ == 0) {
        out_.Discard();
        return;
    }
    File& f = out_.file();
    bool ok = (cut == 0 || f.Truncate(cut)) && f.Seek(0) && f.WriteAll(table_.bytes.data(), kDcxTableSize);
    if (ok)
        out_.KeepIfNew();
    else
        out_.Discard();
}

const char* DcxWriter::StatusText(Status status) {
    switch (status) {
        case Status::Ok: return "no error";
        case Status::CreateFailed: return "the file could not be created";
        case Status::WriteFailed: return "a write failed";
        case Status::ReadFailed: return "a page could not be read";
        case Status::TableFull: return "the page table is full";
    }
    return "unknown";
}

}  // namespace fax
