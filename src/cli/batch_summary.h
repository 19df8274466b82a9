// The batch's summary: one JSON object a line for every fax it converted, skipped or failed.
#pragma once

#include <string>
#include <vector>

namespace cli {

// A JSON string (with its quotes) for bytes that are mostly UTF-8: quote, backslash and
// control characters escaped; a byte that is not part of valid UTF-8 (a file name in another
// encoding) becomes "\udcXX", the lone surrogate that Python's "surrogateescape" maps back to
// that byte (os.fsencode), so names survive; tools that insist on Unicode read U+FFFD.
std::string JsonString(const std::string& bytes);

struct SummaryLine {
    std::string fax;
    unsigned pages = 0;                // 0 when its page table could not be read
    std::vector<std::string> outputs;  // written, or found complete when skipped
    double seconds = 0;
    std::string error;                 // empty: null
    bool skipped = false;
};

// {"fax":…,"pages":…,"outputs":[…],"seconds":…,"error":null|…,"skipped":…} and a newline.
std::string FormatSummaryLine(const SummaryLine& line);

// A summary file opened for appending: each line goes out in one write, so lines stay whole
// when a killed run is started again on the same file (and even when several processes on
// one machine append to it; over a network file system give each task its own file).
class SummaryFile {
public:
    SummaryFile() = default;
    ~SummaryFile();
    SummaryFile(const SummaryFile&) = delete;
    SummaryFile& operator=(const SummaryFile&) = delete;

    // Empty when it is open (or no file was asked for), else why not.
    std::string Open(const std::string& path);
    // False when the line could not be written whole; error() then says why.
    bool Append(const SummaryLine& line);
    // Closes the file; false when closing reported a lost write (error() says so).
    bool Close();
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
};

}  // namespace cli
