#include "export/g4_coder.h"

#include <algorithm>

namespace fax {

namespace {

// The elements of a line are followed by the width this many times, so the coder can
// look two elements past any it stands on.
constexpr std::size_t kEndMarks = 3;
// Bytes one line can take at most: every step of the coder moves on by a pixel at least
// (the first step excepted) and writes at most a horizontal mode (3 + 25 + 25 bits), plus
// make-up codes of 2,560 for longer runs.
constexpr std::size_t LineBytesMax(std::uint32_t width) { return 7 * std::size_t{width} + 64; }
constexpr std::size_t kTypicalOutput = 64 * 1024;

// Vertical mode codes by b1 - a1 from -3 to 3 (VR3 .. V0 .. VL3), as sent, and lengths.
constexpr std::uint8_t kVertical[7] = {0b0000011, 0b000011, 0b011, 0b1, 0b010, 0b000010, 0b0000010};
constexpr std::uint8_t kVerticalLength[7] = {7, 6, 3, 1, 3, 6, 7};
constexpr std::uint32_t kPass = 0b0001, kPassLength = 4;
constexpr std::uint32_t kHorizontal = 0b001, kHorizontalLength = 3;
constexpr std::uint32_t kEol = 0b000000000001, kEolLength = 12;

// The bits of the coder, the first sent in the highest bit of each byte, stored eight
// bytes at a time (the buffer has room beyond what counts). Kept in locals while a line
// is coded, so that stores into the buffer cannot be taken to change them.
struct MsbBits {
    std::uint8_t* out;
    std::uint64_t acc;  // the latest bits, the last one lowest
    unsigned used;      // how many of them are not yet stored in whole bytes: fewer than 8 between codes

    // Up to 56 bits.
    void Put(std::uint64_t bits, unsigned length) {
        acc = (acc << length) | bits;
        used += length;
        StoreBe64(out, acc << (64 - used));
        out += used >> 3;
        used &= 7;
    }
    // A run too long for one make-up code: make-up codes of 2,560 first.
    void PutRun(const MsbCode* codes, std::uint32_t run) {
        const MsbCode longest = MsbLongestMakeUp();
        for (; run >= kMhSingleMakeUpRuns; run -= kMhLongestMakeUp) Put(longest.bits, longest.length);
        Put(codes[run].bits, codes[run].length);
    }
};

}  // namespace

G4Coder::G4Coder(std::uint32_t width)
    : width_(width), lines_(2 * (ChangeCapacity(width) + 1)), out_(kTypicalOutput + LineBytesMax(width)) {
    Restart();
}

void G4Coder::Restart() {
    // Each line has a 0 before its first element (see CodeLine).
    line_ = lines_.data() + 1;
    reference_ = lines_.data() + ChangeCapacity(width_) + 2;
    std::fill_n(reference_, kEndMarks, width_);  // all white
    at_ = 0;
    taken_ = 0;
    acc_ = 0;
    used_ = 0;
}

void G4Coder::Clear() {
    taken_ += at_;
    at_ = 0;  // bits still waiting for the rest of their byte are kept in acc_
}

void G4Coder::CodeLine(std::size_t count) {
    const std::uint32_t width = width_;
    std::uint32_t* a = line_;
    const std::uint32_t* b = reference_;
    std::fill_n(a + count, kEndMarks, width);
    if (out_.size() < at_ + LineBytesMax(width)) out_.resize(at_ + LineBytesMax(width));
    const MsbCode* runs[2] = {MsbRunCodes(MhColour::White), MsbRunCodes(MhColour::Black)};
    MsbBits bits{out_.data() + at_, acc_, used_};

    // a1 = a[ia], the coding line's next change after a0; so ia counts the changes up to
    // a0, and a0's colour is black when ia is odd. b1 = *pb, the first change of the
    // reference line after a0 that turns to the other colour than a0's: one turning black
    // has an even index. a0 starts on an imaginary white pixel before the line, which for
    // the first step is the same as at 0.
    std::uint32_t a0 = 0;
    std::size_t ia = 0;
    const std::uint32_t* pb = b;
    for (;;) {
        const std::uint32_t a1 = a[ia], b1 = pb[0], b2 = pb[1];
        if (b2 < a1) {
            // Pass mode: a0 moves under b2, keeping its colour.
            bits.Put(kPass, kPassLength);
            a0 = b2;
            pb += 2;
            continue;
        }
        const std::int64_t d = std::int64_t{b1} - a1;
        if (static_cast<std::uint64_t>(d + 3) <= 6) {
            bits.Put(kVertical[d + 3], kVerticalLength[d + 3]);
            a0 = a1;
            ++ia;
            pb -= 1;  // the other colour now: b1 is found from the change before (or the 0 before the line)
        } else {
            // Horizontal mode: the runs a0..a1 and a1..a2, in a0's colour first.
            const std::uint32_t a2 = a[ia + 1];
            const std::uint32_t r1 = a1 - a0, r2 = a2 - a1;
            const MsbCode* first = runs[ia & 1];
            const MsbCode* second = runs[(ia & 1) ^ 1];
            if (r1 < kMhSingleMakeUpRuns && r2 < kMhSingleMakeUpRuns) [[likely]] {
                const MsbCode c1 = first[r1], c2 = second[r2];
                bits.Put((std::uint64_t{kHorizontal} << (c1.length + c2.length)) | (std::uint64_t{c1.bits} << c2.length) |
                             c2.bits,
                         kHorizontalLength + c1.length + c2.length);
            } else {
                bits.Put(kHorizontal, kHorizontalLength);
                bits.PutRun(first, r1);
                bits.PutRun(second, r2);
            }
            a0 = a2;
            ia += 2;
        }
        if (a0 >= width) break;
        while (*pb <= a0) pb += 2;
    }
    at_ = static_cast<std::size_t>(bits.out - out_.data());
    acc_ = bits.acc;
    used_ = bits.used;
    std::swap(line_, reference_);
}

void G4Coder::Finish() {
    if (out_.size() < at_ + 16) out_.resize(at_ + 16);
    MsbBits bits{out_.data() + at_, acc_, used_};
    bits.Put(kEol, kEolLength);
    bits.Put(kEol, kEolLength);
    at_ = static_cast<std::size_t>(bits.out - out_.data()) + (bits.used > 0 ? 1 : 0);  // the last bits, zero-filled
    used_ = 0;
    acc_ = 0;
}

}  // namespace fax
