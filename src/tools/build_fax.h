// Building a new DCX from loose PCX page files, each copied byte for byte as one page.
// The Fax-Accumulator's conversion builds its fax the same way.
#pragma once

#include <string>
#include <vector>

#include "tools/tool_message.h"

namespace fax {

struct BuildFaxResult {
    enum class Outcome {
        Built,       // the fax is complete under its name (perhaps with pages skipped)
        NotCreated,  // the file could not be created; nothing was written
        Failed,      // stopped part-way; a partial new fax keeps the pages copied so far
    };
    Outcome outcome = Outcome::NotCreated;
    ToolMessages messages;  // in the order they arose
    unsigned pages = 0;     // pages in the fax
};

// Pages in the given order; a name may appear more than once. A page file of
// kPcxHeaderSize bytes or fewer holds no picture and is reported and skipped. Pages
// beyond what a DCX can list are refused with the table-full message.
BuildFaxResult BuildFax(const std::string& outPath, const std::vector<std::string>& pageFiles);

// Asked before a new fax replaces an existing file of its name.
ToolMessage FaxExistsQuestion(const std::string& path);
ToolMessage UnableToCreateMessage(const std::string& path);
// The system's reason for the failure fills the second line.
ToolMessage UnableToOpenMessage(const std::string& path, int error);
ToolMessage CorruptPageMessage(const std::string& path);
ToolMessage WriteFailedMessage();

}  // namespace fax
