// The DCX container: a 4,096-byte page table followed by PCX pages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/file_io.h"
#include "formats/pcx.h"

namespace fax {

inline constexpr std::size_t kDcxTableSize = 4096;
inline constexpr std::uint32_t kDcxMagic = 987654321;  // bytes B1 68 DE 3A
inline constexpr unsigned kDcxSlots = 1023;
inline constexpr std::size_t kMinTableBytes = 128;  // a shorter table cannot be read
inline constexpr std::size_t kDcxCopyPiece = 10240;

enum class FaxKind { None, Pcx, Dcx };

// DCX when the first four bytes are the magic number; anything else is taken as a PCX page.
FaxKind DetectKind(const std::uint8_t* start, std::size_t size);
bool HasDcxMagic(const std::uint8_t* start, std::size_t size);

struct DcxTable {
    std::array<std::uint8_t, kDcxTableSize> bytes{};

    // Bytes beyond `size` read as zero.
    static DcxTable FromBytes(const std::uint8_t* p, std::size_t size);
    // Offset in slot n (1-based, 1..kDcxSlots); 0 outside that range.
    std::uint32_t Slot(unsigned n) const;
    void SetSlot(unsigned n, std::uint32_t offset);
    // Pages listed: slots before the first zero slot, at most kDcxSlots.
    unsigned PageCount() const;
    // Page n, or the nearest earlier page when slot n is zero. Sets `page` to the page
    // used; returns its offset, or 0 when no earlier slot is used either.
    std::uint32_t LocatePage(unsigned& page) const;
};

// Where one page lies in a container: its header offset and its length in bytes
// (up to the next page, or to the end of the file for the last one).
struct PageExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// Checks the page list against the file before anything is copied from it: every
// offset must lie within the file and no offset may be smaller than the one before.
// On failure `message` says what is wrong, in words for the user.
bool PageExtents(const DcxTable& table, std::uint64_t fileSize, const std::string& path,
                 std::vector<PageExtent>& extents, std::string& message);

// The page list of a DCX, read from its first kDcxTableSize bytes and checked against
// the file's size before anything is copied from it.
struct DcxPages {
    enum class Status { Ok, NotDcx, Damaged };
    Status status = Status::NotDcx;
    std::vector<PageExtent> extents;
    std::string damage;  // the damaged table's message
};
// Reads from offset 0 of an open file. A DCX needs the whole table block and the magic.
DcxPages ReadDcxPages(File& source, const std::string& path);

// Writes a new DCX. The file is written beside its name and renamed into place when
// finished, so a failed write never damages an existing fax of that name. A page counts
// as complete once the table has been rewritten after it; a failed writer leaves a new
// fax only when it holds complete pages, and its table lists just those.
class DcxWriter {
public:
    enum class Status {
        Ok,
        CreateFailed,   // the file could not be created or the table not written
        WriteFailed,    // a header, data or table write was short
        ReadFailed,     // the source page could not be read
        TableFull,      // the container already holds kDcxSlots pages
    };

    explicit DcxWriter(std::string path);
    ~DcxWriter();  // an unfinished writer keeps its partial file only when it is new
    DcxWriter(const DcxWriter&) = delete;
    DcxWriter& operator=(const DcxWriter&) = delete;

    const std::string& path() const { return path_; }
    unsigned pages() const { return pages_; }

    // Writes the table holding only the magic number.
    Status Create();
    // Header at the end of the file, its offset in the next slot. Refuses a page
    // beyond the table's slots without writing anything.
    Status AppendPageHeader(const std::uint8_t* header);
    Status AppendData(const std::uint8_t* data, std::size_t size);
    // Copies `source` from its current position to its end, in kDcxCopyPiece pieces.
    Status CopyPageData(File& source);
    Status RewriteTable();
    // Finishes the file under its name. After a failure, Abandon() keeps the complete
    // pages under the fax's name if there are any and no older file had that name;
    // otherwise nothing is left.
    Status Finish();
    void Abandon();

    // The system's words for the last failure ("No space left on device").
    const std::string& reason() const { return reason_; }

    static const char* StatusText(Status status);

private:
    Status Failed(Status status);

    std::string path_;
    AtomicFile out_;
    DcxTable table_;
    unsigned pages_ = 0;
    unsigned complete_ = 0;  // pages the table on disk lists
    bool open_ = false;
    std::string reason_;
};

// The message shown when a DCX would need more pages than its table can list.
std::string TableFullMessage(const std::string& path);

}  // namespace fax
