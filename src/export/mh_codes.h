// Modified Huffman run codes of ITU-T T.4 (the one-dimensional Group 3 code, also the
// horizontal mode of Group 4), and the coder of one Group 3 line from its changing
// elements, in the bit order TIFF calls FillOrder 2.
#pragma once

#include <cstddef>
#include <cstdint>

#include "export/line_changes.h"

namespace fax {

inline constexpr unsigned kMhMaxRun = 1728;        // the longest run of a fax row
inline constexpr unsigned kMhMakeUpStep = 64;      // make-up codes come in multiples of 64
inline constexpr unsigned kMhLongestMakeUp = 2560; // the extended make-up codes reach 2,560
// Runs below this take at most one make-up code and one terminating code; a longer run
// starts with make-up codes of 2,560 until it is below.
inline constexpr unsigned kMhSingleMakeUpRuns = kMhLongestMakeUp + kMhMakeUpStep;
inline constexpr std::size_t kMhRowBytes = 216;    // 1,728 pixels, 1 = white

enum class MhColour : unsigned { White = 0, Black = 1 };

// A code as sent on the line: `length` bits, the first sent in bit 0 of `bits`.
struct MhCode {
    std::uint32_t bits;
    std::uint8_t length;
};

// The T.4 code of a terminating run (0..63) or a make-up run (64, 128, .. 2,560; from
// 1,792 on both colours share the extended codes).
MhCode TerminatingCode(MhColour colour, unsigned run);
MhCode MakeUpCode(MhColour colour, unsigned run);
// The whole code of a run below kMhSingleMakeUpRuns: the make-up code for (run / 64) x 64
// when the run is 64 or more, then the terminating code for run mod 64.
MhCode RunCode(MhColour colour, unsigned run);

// The most bytes CodeMhLine writes for a line `width` pixels wide, spare bytes included:
// no run costs more than 6 bits a pixel (a white run of 1), a leading white run of 0
// costs 8, make-up codes of 2,560 fewer than one bit in 200.
inline constexpr std::size_t MhLineBytesMax(std::uint32_t width) {
    return 2 + (6 * std::size_t{width} + 8 + 12 * (width / kMhLongestMakeUp + 1)) / 8 + 2 + 8;
}

// Codes one line given by its changing elements (`changes`, LineChanges' layout) into
// `out`, which has room for MhLineBytesMax(width); returns the bytes written:
//   00 80      four zero fill bits and EOL (000000000001), so the EOL ends on a byte
//              boundary;
//   runs       alternating white/black from a white run (0 when the line starts black);
//   fill       zero bits up to the next 16-bit boundary; a line whose code already ends
//              on one gets a whole word of zeros, so every line ends in fill.
// Bits are packed least significant bit first and stored as 16-bit little-endian words.
std::size_t CodeMhLine(const std::uint32_t* changes, std::size_t count, std::uint32_t width, std::uint8_t* out);

// The same codes with the first bit sent in the most significant of `length` bits, for
// coders that pack bits the other way round (Group 4 in a PDF). For a run of any length:
// make-up codes of 2,560 while the run is kMhSingleMakeUpRuns or more, then RunCode.
struct MsbCode {
    std::uint32_t bits;
    std::uint32_t length;
};
const MsbCode* MsbRunCodes(MhColour colour);  // kMhSingleMakeUpRuns entries
MsbCode MsbLongestMakeUp();                   // 2,560, the same for both colours

}  // namespace fax
