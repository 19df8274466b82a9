// The one test whether a path names a fax file the system can open.
#pragma once

#include <string>
#include <string_view>

namespace fax {

// True when `part` occurs anywhere in `text`, ignoring the case of letters (ASCII).
// An empty argument gives false. Every extension test uses it.
bool ContainsNoCase(std::string_view text, std::string_view part);

struct FaxCheck {
    int step = 0;  // 0 when the file passed, else the failing step 1..5
    std::string message;  // the text to show (caption "Vantorel", OK button, no icon)
    // The system's error number behind a failed access, open or read (0 when no call of the
    // system failed), for callers that say the reason in their own words.
    int systemError = 0;
    bool ok() const { return step == 0; }
};

// The message for a fax that did not open for reading (errno `error`): a folder, FIFO or
// device holds no fax (step 4), anything else could not be opened (step 3).
FaxCheck OpenFailure(const std::string& path, int error);

// Extension, existence, opening, the first 128 bytes, and recognition, in that order.
FaxCheck CheckFaxFile(const std::string& path);
// The same without the extension step: whether the file's content is a fax, whatever its name.
FaxCheck CheckFaxContent(const std::string& path);

}  // namespace fax
