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
    explicit LineDecoder(std::size_t bytesPerLine, RunAtLineEnd mode = RunAtLineEnd::Carry);

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
    std::size_t column_ = 0;       // bytes written into the current line
    unsigned pendingCount_ = 0;    // repeats left of the current run
    std::uint8_t pendingValue_ = 0;
    bool awaitingValue_ = false;   // a count byte ended the last chunk
    unsigned awaitingCount_ = 0;
};

// Encodes one scan line; appends to `out`. Runs are 1 to 63 bytes and never cross the
// end of the line; a single byte below 0xC0 stands for itself.
void EncodeLine(const std::uint8_t* line, std::size_t size, std::vector<std::uint8_t>& out);
// Same, into a buffer of at least 2 * size bytes; returns the bytes written.
std::size_t EncodeLine(const std::uint8_t* line, std::size_t size, std::uint8_t* out);

}  // namespace fax
