// The file steps of Zoom/Edit on a DCX fax: one page copied out into a work file, and
// the fax rebuilt with the edited page in its place. The fax is replaced only by a
// complete new file renamed over it, so a failure at any point leaves it as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/tool_message.h"

namespace fax {

// Work files in the program folder.
inline constexpr const char* kZoomEditBmp = "zoomedit.bmp";
inline constexpr const char* kZoomEditPcx = "zoomedit.pcx";
inline constexpr const char* kZoomEditDcx = "zoomedit.dcx";

inline constexpr std::size_t kEditCopyBuffer = 32768;
inline constexpr std::size_t kEditCopyBufferFallback = 1024;

// The copy buffer: kEditCopyBuffer bytes, else kEditCopyBufferFallback, else none.
class EditCopyBuffer {
public:
    EditCopyBuffer();
    bool ok() const { return data_ != nullptr; }
    std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    static ToolMessage NoMemoryMessage();

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;
};

struct EditStep {
    bool ok = false;
    ToolMessages messages;
};

// Copies page `page` (1-based) of the DCX `faxPath` byte for byte into `pcxPath`.
EditStep ExtractDcxPage(const std::string& faxPath, unsigned page, const std::string& pcxPath,
                        const EditCopyBuffer& buffer);

// Rebuilds the DCX `faxPath` with page `page` replaced by the whole of `pcxPath`: the
// other pages byte for byte, a new table following the new page's length. The new fax
// is written beside the old one and renamed over it.
EditStep ReplaceDcxPage(const std::string& faxPath, unsigned page, const std::string& pcxPath,
                        const EditCopyBuffer& buffer);

}  // namespace fax
