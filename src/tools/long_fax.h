// Joining every page of a DCX into one long page: a new header for the total height and
// the run-length data of each page appended as stored up to the end of its last line,
// nothing decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/tool_message.h"

namespace fax {

inline constexpr std::size_t kLongFaxCopyPiece = 1024;

struct LongFaxResult {
    bool ok = false;
    ToolMessages messages;  // empty for the failures that are silent
    unsigned pages = 0;     // source pages joined
    std::uint32_t lines = 0;
};

// The question asked before building; the new fax is named in it twice.
ToolMessage LongFaxQuestion(const std::string& source, const std::string& newPath);

// Every source page is checked before the new file is made: the table against the
// file, each header's width (the new header says 1,728 pixels, so any other width
// would garble the page) and the total height against what a header can state.
LongFaxResult BuildLongFax(const std::string& source, const std::string& newPath);

}  // namespace fax
