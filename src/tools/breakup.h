// Splitting a DCX into one PCX file per page: exact byte copies of the stored pages,
// named from a seed of up to four characters and a four-digit sequence number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/dcx.h"
#include "formats/file_io.h"
#include "tools/tool_message.h"

namespace fax {

inline constexpr std::size_t kPageCopyBuffer = 32768;  // BreakUp and the accumulator's Save
inline constexpr std::size_t kSeedChars = 4;
inline constexpr const char* kBreakUpTitle = "Vantorel dcx to pcx BreakUp";

// Copies `length` bytes from the current position of `source` to `out` through `buffer`,
// in pieces of at most `bufferSize` bytes; false on a short read or write.
bool CopyRange(File& source, std::uint64_t length, File& out, std::uint8_t* buffer, std::size_t bufferSize);

enum class CopyStatus { Ok, CreateFailed, CopyFailed };
// Copies one page (`extent` of `source`) into a file of its own through `buffer`, in
// pieces of at most `bufferSize` bytes; a short read or write fails. The file appears
// (or replaces an existing one) only once the copy is complete, so a failure leaves
// nothing new behind and an old file as it was.
CopyStatus CopyPageToFile(File& source, const PageExtent& extent, const std::string& target,
                          std::uint8_t* buffer, std::size_t bufferSize);

// The first kSeedChars characters of what was typed (UTF-8 characters, not bytes).
std::string CutSeed(std::string_view typed);

// One BreakUp dialog's worth of state: the copy buffer and the sequence number, which
// starts at 1 and goes on across runs for as long as the dialog is open.
class BreakUp {
public:
    explicit BreakUp(std::string dataDir);

    bool HasBuffer() const { return buffer_ != nullptr; }
    static ToolMessage NoMemoryMessage();

    struct Inspection {
        bool ok = false;
        unsigned pages = 0;
        ToolMessage message;  // when not ok; the dialog then closes
    };
    // What the dialog shows when it opens: the page count, or why it cannot split the file.
    Inspection Inspect(const std::string& source) const;

    enum class Outcome {
        Finished,   // every page written; the dialog closes without a message
        Declined,   // an overwrite was declined; the dialog stays with the seed selected
        StayOpen,   // a message, then the dialog stays (output not created, unusable seed)
        Closed,     // a message, then the dialog closes
    };
    struct Result {
        Outcome outcome = Outcome::Finished;
        ToolMessages messages;
        std::vector<std::string> written;  // page files completed, in order
    };
    // Asked before an existing file is replaced; true means replace it.
    using OverwriteQuestion = std::function<bool(const ToolMessage& question)>;
    // Told every output name as it is formed.
    using Progress = std::function<void(const std::string& name)>;

    Result Run(const std::string& source, std::string_view typedSeed, const OverwriteQuestion& overwrite,
               const Progress& progress = {});

    // The page file name for `number`, without touching the sequence.
    std::string NameFor(std::string_view seed, unsigned number) const;
    unsigned sequence() const { return sequence_; }

    static ToolMessage OverwriteQuestionFor(const std::string& name);

private:
    std::string dataDir_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    unsigned sequence_ = 1;
};

}  // namespace fax
