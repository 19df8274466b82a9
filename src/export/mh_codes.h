// Modified Huffman (one-dimensional Group 3) run codes of ITU-T T.4, and a coder for one
// 1,728-pixel fax row in the bit order TIFF calls FillOrder 2.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fax {

inline constexpr unsigned kMhMaxRun = 1728;      // the longest run a make-up code covers
inline constexpr unsigned kMhMakeUpStep = 64;    // make-up codes come in multiples of 64
inline constexpr std::size_t kMhRowBytes = 216;  // 1,728 pixels, 1 = white
// One row codes to at most: EOL word, 1,728 runs of one pixel (white 1 = 6 bits,
// black 1 = 3 bits: 7,776 bits), the closing words, and 4 spare bytes the coder may
// store beyond its end.
inline constexpr std::size_t kMhMaxRowCodeBytes = 2 + 1000 + 2 + 4;

enum class MhColour : unsigned { White = 0, Black = 1 };

// A code as sent on the line: `length` bits, the first sent in bit 0 of `bits`.
struct MhCode {
    std::uint32_t bits;
    std::uint8_t length;
};

// The T.4 code of a terminating run (0..63) or a make-up run (64, 128, .. 1,728).
MhCode TerminatingCode(MhColour colour, unsigned run);
MhCode MakeUpCode(MhColour colour, unsigned run);
// The whole code of a run of 0..1,728 pixels: the make-up code for (run / 64) x 64 when
// the run is 64 or more, then the terminating code for run mod 64.
MhCode RunCode(MhColour colour, unsigned run);

// Codes one row of 216 bytes (most significant bit = leftmost pixel, 1 = white) into
// `out`, which has room for kMhMaxRowCodeBytes; returns the bytes written.
//   00 80      four zero fill bits and EOL (000000000001), so the EOL ends on a byte
//              boundary;
//   runs       alternating white/black from a white run (0 when the row starts black);
//   fill       zero bits up to the next 16-bit boundary; a row whose code already ends
//              on one gets a whole word of zeros, so every row ends in fill.
// Bits are packed least significant bit first and stored as 16-bit little-endian words.
std::size_t CodeMhRow(const std::uint8_t* row, std::uint8_t* out);

}  // namespace fax
