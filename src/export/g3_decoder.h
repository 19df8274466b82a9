// Decoder of the one-dimensional Group 3 code (Modified Huffman, each row after an EOL)
// of a TIFF strip, into lines of changing elements.
//
// It decodes plainly coded rows only: an EOL (eleven zero bits or more, then a 1), then
// white and black runs alternating from white, each of make-up codes and a terminating
// code, that reach the width exactly, every bit within the strip. Whatever else a strip
// holds (a code that is none, an EOL within a row, a row too long or too short, data
// ending early, a failing read) it does not try to mend: the row is refused and the
// caller turns to libtiff, whose way of mending damaged rows is the reference. For every
// row it takes, libtiff's decoder gives the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/line_changes.h"
#include "formats/file_io.h"

namespace fax {

class G3Decoder {
public:
    // `lsbFirst`: the strip's first bit is in the least significant bit of each byte
    // (TIFF FillOrder 2); else in the most significant one (FillOrder 1).
    G3Decoder(std::uint32_t width, bool lsbFirst);

    // Starts on the strip of `size` bytes at `offset` of `file`.
    void Start(File& file, std::uint64_t offset, std::uint64_t size);
    // The next row's changing elements into `changes` (ChangeCapacity(width) of them):
    // how many, or -1 when the row is not plainly coded.
    std::ptrdiff_t Row(std::uint32_t* changes);

private:
    void Refill() {
        if (at_ + 8 <= end_) [[likely]] {
            acc_ |= LoadLe64(piece_.data() + at_) << bits_;
            at_ += static_cast<std::size_t>((63 - bits_) >> 3);
            bits_ |= 56;
        } else {
            RefillSlowly();
        }
    }
    void RefillSlowly();
    void Skip(int n) {
        acc_ >>= n;
        bits_ -= n;
    }
    bool Run(const std::uint32_t* table, std::uint32_t mask, std::uint32_t& pos);

    std::uint32_t width_;
    bool lsbFirst_;
    File* file_ = nullptr;
    std::uint64_t left_ = 0;  // bytes of the strip not yet read
    bool failed_ = false;     // a read failed
    std::vector<std::uint8_t> piece_;
    std::size_t at_ = 0, end_ = 0;
    std::uint64_t acc_ = 0;  // the next bits, the first in bit 0; above bits_ only bits still to be counted
    int bits_ = 0;           // bits counted into acc_; below 0 when codes ran past the strip's end
};

}  // namespace fax
