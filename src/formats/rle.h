// Run-length coding of PCX scan lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fax {

inline constexpr std::uint8_t kCountFlag = 0xC0;  // both top bits set: a count byte
inline constexpr unsigned kMaxRun = 63;

// What happens to a run that is still pending when a scan line is complete.
enum class RunAtLineEnd {
    Carry,  // continues at the start of the next line (the viewer's readers)
    Drop,   // is dropped; the next line starts with the next input byte (the TIFF export)
};

// Streaming decoder: input arrives in chunks of any size, a run and a line may both
// cross a chunk end. Output is written line by line into a caller's buffer.
// A count byte of 0xC0 stands for a run of zero bytes: its value byte is consumed
// and nothing is written.
class LineDecoder {
public:
    // With `roomAfterLine`, each line given to Decode has kRoomAfterLine bytes of room
    // after it, and its bytes not yet decoded may be overwritten: the decoder then stores
    // every unit of the data as kRoomAfterLine bytes of its value and keeps as many as
    // it stands for, with no branch on the kind of unit or the length of a run.
    static constexpr std::size_t kRoomAfterLine = 64;
    explicit LineDecoder(std::size_t bytesPerLine, RunAtLineEnd mode = RunAtLineEnd::Carry, bool roomAfterLine = false);

    struct Result {
        std::size_t consumed;  // input bytes used
        std::size_t lines;     // complete lines written to `out`
    };
    // Decodes from `in` into `out`, which points at the line being filled (its first
    // PartialLineBytes() bytes were written by the previous call) and has room for
    // `maxLines` lines from there. Stops when the input is used up or `maxLines` lines
    // are complete. An unfinished line then stays at out + lines * bytesPerLine and is
    // continued by the next call given that position.
    Result Decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t maxLines);

    // Bytes of the unfinished line already written (0 at a line boundary).
    std::size_t PartialLineBytes() const { return column_; }
    std::size_t bytesPerLine() const { return bytesPerLine_; }
    // True when a count byte was read but its value byte has not arrived yet.
    bool AwaitingValue() const { return awaitingValue_; }
    void Reset();

private:
    std::size_t bytesPerLine_;
    RunAtLineEnd mode_;
    bool roomAfterLine_;
    std::size_t column_ = 0;       // bytes written into the current line
    unsigned pendingCount_ = 0;    // repeats left of the current run
    std::uint8_t pendingValue_ = 0;
    bool awaitingValue_ = false;   // a count byte ended the last chunk
    unsigned awaitingCount_ = 0;
};

// Finds where the stored data of a page stops encoding its lines, so that pages can be
// joined without the bytes other writers put after the last line (a 256-colour palette
// block, padding). Runs are read the way the viewer reads them (a run may go on into
// the next line). Fed piece by piece; the result is the data to copy: `copyBytes` stored
// bytes as they are, then `tail` (a run that reached past the last line, cut to what
// was still wanted). When the data ends first, the result ends at the last complete line.
class LineDataEnd {
public:
    LineDataEnd(std::size_t bytesPerLine, std::uint32_t lines);

    // True once the last line is complete; later input is not needed.
    bool Feed(const std::uint8_t* in, std::size_t size);
    bool done() const { return done_; }

    std::uint64_t copyBytes() const { return cut_.copy; }
    const std::uint8_t* tail() const { return cut_.tail; }
    std::size_t tailSize() const { return cut_.tailSize; }
    std::uint32_t lines() const { return cut_.lines; }  // complete lines in the result

private:
    struct Cut {
        std::uint64_t copy = 0;
        std::uint8_t tail[2] = {};
        std::size_t tailSize = 0;
        std::uint32_t lines = 0;
    };
    void Unit(std::uint64_t at, std::size_t size, unsigned count, std::uint8_t value);

    std::uint64_t bytesPerLine_;
    std::uint64_t wanted_;      // decoded bytes of all the lines
    std::uint64_t lineStart_ = 0;  // decoded bytes before the line being decoded
    std::uint64_t column_ = 0;     // bytes of that line decoded so far
    std::uint64_t fed_ = 0;     // input bytes seen before the current piece
    bool awaitingValue_ = false;
    unsigned awaitingCount_ = 0;
    bool done_ = false;
    Cut cut_;                   // at the last line end reached so far
};

// Encodes one scan line; appends to `out`. Runs are 1 to 63 bytes and never cross the
// end of the line; a single byte below 0xC0 stands for itself.
void EncodeLine(const std::uint8_t* line, std::size_t size, std::vector<std::uint8_t>& out);
// Same, into a buffer of at least 2 * size bytes; returns the bytes written.
std::size_t EncodeLine(const std::uint8_t* line, std::size_t size, std::uint8_t* out);

}  // namespace fax
