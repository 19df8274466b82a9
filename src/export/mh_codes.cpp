#include "export/mh_codes.h"

#include <array>

namespace fax {

namespace {

// A code written as the standard prints it, first bit on the left: "00110101".
// Stored reversed, so that the first bit sent is bit 0 (FillOrder 2 packs that way).
consteval MhCode C(const char* pattern) {
    MhCode c{0, 0};
    for (const char* p = pattern; *p; ++p) {
        if (*p == '1') c.bits |= 1u << c.length;
        ++c.length;
    }
    return c;
}

// Terminating codes, white runs 0..63.
constexpr MhCode kWhiteTerminating[64] = {
    C("00110101"), C("000111"),   C("0111"),     C("1000"),      //  0.. 3
    C("1011"),     C("1100"),     C("1110"),     C("1111"),      //  4.. 7
    C("10011"),    C("10100"),    C("00111"),    C("01000"),     //  8..11
    C("001000"),   C("000011"),   C("110100"),   C("110101"),    // 12..15
    C("101010"),   C("101011"),   C("0100111"),  C("0001100"),   // 16..19
    C("0001000"),  C("0010111"),  C("0000011"),  C("0000100"),   // 20..23
    C("0101000"),  C("0101011"),  C("0010011"),  C("0100100"),   // 24..27
    C("0011000"),  C("00000010"), C("00000011"), C("00011010"),  // 28..31
    C("00011011"), C("00010010"), C("00010011"), C("00010100"),  // 32..35
    C("00010101"), C("00010110"), C("00010111"), C("00101000"),  // 36..39
    C("00101001"), C("00101010"), C("00101011"), C("00101100"),  // 40..43
    C("00101101"), C("00000100"), C("00000101"), C("00001010"),  // 44..47
    C("00001011"), C("01010010"), C("01010011"), C("01010100"),  // 48..51
    C("01010101"), C("00100100"), C("00100101"), C("01011000"),  // 52..55
    C("01011001"), C("01011010"), C("01011011"), C("01001010"),  // 56..59
    C("01001011"), C("00110010"), C("00110011"), C("00110100"),  // 60..63
};

// Terminating codes, black runs 0..63.
constexpr MhCode kBlackTerminating[64] = {
    C("0000110111"),   C("010"),          C("11"),           C("10"),            //  0.. 3
    C("011"),          C("0011"),         C("0010"),         C("00011"),         //  4.. 7
    C("000101"),       C("000100"),       C("0000100"),      C("0000101"),       //  8..11
    C("0000111"),      C("00000100"),     C("00000111"),     C("000011000"),     // 12..15
    C("0000010111"),   C("0000011000"),   C("0000001000"),   C("00001100111"),   // 16..19
    C("00001101000"),  C("00001101100"),  C("00000110111"),  C("00000101000"),   // 20..23
    C("00000010111"),  C("00000011000"),  C("000011001010"), C("000011001011"),  // 24..27
    C("000011001100"), C("000011001101"), C("000001101000"), C("000001101001"),  // 28..31
    C("000001101010"), C("000001101011"), C("000011010010"), C("000011010011"),  // 32..35
    C("000011010100"), C("000011010101"), C("000011010110"), C("000011010111"),  // 36..39
    C("000001101100"), C("000001101101"), C("000011011010"), C("000011011011"),  // 40..43
    C("000001010100"), C("000001010101"), C("000001010110"), C("000001010111"),  // 44..47
    C("000001100100"), C("000001100101"), C("000001010010"), C("000001010011"),  // 48..51
    C("000000100100"), C("000000110111"), C("000000111000"), C("000000100111"),  // 52..55
    C("000000101000"), C("000001011000"), C("000001011001"), C("000000101011"),  // 56..59
    C("000000101100"), C("000001011010"), C("000001100110"), C("000001100111"),  // 60..63
};

// Make-up codes, white runs 64, 128, .. 1,728 (index = run / 64 - 1).
constexpr MhCode kWhiteMakeUp[27] = {
    C("11011"),     C("10010"),     C("010111"),    C("0110111"),    //   64.. 256
    C("00110110"),  C("00110111"),  C("01100100"),  C("01100101"),   //  320.. 512
    C("01101000"),  C("01100111"),  C("011001100"), C("011001101"),  //  576.. 768
    C("011010010"), C("011010011"), C("011010100"), C("011010101"),  //  832..1024
    C("011010110"), C("011010111"), C("011011000"), C("011011001"),  // 1088..1280
    C("011011010"), C("011011011"), C("010011000"), C("010011001"),  // 1344..1536
    C("010011010"), C("011000"),    C("010011011"),                  // 1600..1728
};

// Make-up codes, black runs 64, 128, .. 1,728.
constexpr MhCode kBlackMakeUp[27] = {
    C("0000001111"),    C("000011001000"),  C("000011001001"),  C("000001011011"),   //   64.. 256
    C("000000110011"),  C("000000110100"),  C("000000110101"),  C("0000001101100"),  //  320.. 512
    C("0000001101101"), C("0000001001010"), C("0000001001011"), C("0000001001100"),  //  576.. 768
    C("0000001001101"), C("0000001110010"), C("0000001110011"), C("0000001110100"),  //  832..1024
    C("0000001110101"), C("0000001110110"), C("0000001110111"), C("0000001010010"),  // 1088..1280
    C("0000001010011"), C("0000001010100"), C("0000001010101"), C("0000001011010"),  // 1344..1536
    C("0000001011011"), C("0000001100100"), C("0000001100101"),                      // 1600..1728
};

// Extended make-up codes, 1,792 .. 2,560, the same for both colours.
constexpr MhCode kExtendedMakeUp[13] = {
    C("00000001000"),  C("00000001100"),  C("00000001101"),  C("000000010010"),  // 1792..1984
    C("000000010011"), C("000000010100"), C("000000010101"), C("000000010110"),  // 2048..2240
    C("000000010111"), C("000000011100"), C("000000011101"), C("000000011110"),  // 2304..2496
    C("000000011111"),                                                           // 2560
};

// Make-up and terminating code joined for every run below kMhSingleMakeUpRuns, so a
// run costs one look-up: packed as the code's bits (at most 25: black 2,496 + 63 is
// 12 + 12, black 1,728 + 63 is 13 + 12) with the length above them.
constexpr unsigned kLengthShift = 27;
constexpr std::uint32_t kCodeMask = (1u << kLengthShift) - 1;

MhCode MakeUp(unsigned c, unsigned run) {
    const unsigned i = run / kMhMakeUpStep;
    if (i < 1 || i > 40) return {0, 0};
    if (i > 27) return kExtendedMakeUp[i - 28];
    const MhCode* makeUp = c ? kBlackMakeUp : kWhiteMakeUp;
    return makeUp[i - 1];
}

MhCode Joined(unsigned c, unsigned run) {
    const MhCode* terminating = c ? kBlackTerminating : kWhiteTerminating;
    const MhCode t = terminating[run % kMhMakeUpStep];
    if (run < kMhMakeUpStep) return t;
    MhCode m = MakeUp(c, run);
    return {m.bits | (t.bits << m.length), static_cast<std::uint8_t>(m.length + t.length)};
}

std::uint32_t Reversed(MhCode c) {
    std::uint32_t r = 0;
    for (unsigned i = 0; i < c.length; ++i) r |= ((c.bits >> i) & 1u) << (c.length - 1 - i);
    return r;
}

struct RunTable {
    std::array<std::uint32_t, kMhSingleMakeUpRuns> lsb[2];  // packed, first bit in bit 0
    std::array<MsbCode, kMhSingleMakeUpRuns> msb[2];         // first bit highest
    RunTable() {
        for (unsigned c = 0; c < 2; ++c)
            for (unsigned run = 0; run < kMhSingleMakeUpRuns; ++run) {
                MhCode code = Joined(c, run);
                lsb[c][run] = code.bits | (std::uint32_t{code.length} << kLengthShift);
                msb[c][run] = {Reversed(code), code.length};
            }
    }
};

const RunTable& Runs() {
    static const RunTable table;
    return table;
}

// The code bits of a line, first bit in bit 0 of the next byte, stored eight bytes at a
// time (the buffer has room beyond what counts). Between codes fewer than 8 bits wait.
struct LsbBits {
    std::uint8_t* out;
    std::size_t at;
    std::uint64_t acc = 0;
    unsigned used = 0;

    // Up to 57 bits minus what waits.
    void Put(std::uint64_t bits, unsigned length) {
        acc |= bits << used;
        used += length;
        StoreLe64(out + at, acc);
        at += used >> 3;
        acc >>= used & 56;
        used &= 7;
    }
};

// A run of any length: make-up codes of 2,560 first while it is that long.
void PutLongRun(LsbBits& b, const std::uint32_t* codes, unsigned run) {
    const MhCode longest = kExtendedMakeUp[12];
    for (; run >= kMhSingleMakeUpRuns; run -= kMhLongestMakeUp) b.Put(longest.bits, longest.length);
    b.Put(codes[run] & kCodeMask, codes[run] >> kLengthShift);
}

}  // namespace

MhCode TerminatingCode(MhColour colour, unsigned run) {
    const unsigned i = run % kMhMakeUpStep;
    return colour == MhColour::White ? kWhiteTerminating[i] : kBlackTerminating[i];
}

MhCode MakeUpCode(MhColour colour, unsigned run) { return MakeUp(static_cast<unsigned>(colour), run); }

MhCode RunCode(MhColour colour, unsigned run) {
    if (run >= kMhSingleMakeUpRuns) return {0, 0};
    const std::uint32_t e = Runs().lsb[static_cast<unsigned>(colour)][run];
    return {e & kCodeMask, static_cast<std::uint8_t>(e >> kLengthShift)};
}

const MsbCode* MsbRunCodes(MhColour colour) { return Runs().msb[static_cast<unsigned>(colour)].data(); }

MsbCode MsbLongestMakeUp() {
    const MhCode longest = kExtendedMakeUp[12];
    return {Reversed(longest), longest.length};
}

std::size_t CodeMhLine(const std::uint32_t* changes, std::size_t count, std::uint32_t width, std::uint8_t* out) {
    const std::uint32_t* white = Runs().lsb[0].data();
    const std::uint32_t* black = Runs().lsb[1].data();
    out[0] = 0x00;
    out[1] = 0x80;
    LsbBits b{out, 2};

    // Runs alternate from white: white up to each even element, black up to each odd one,
    // the last run up to the line's end. A white and a black run go out together.
    std::uint32_t last = 0;
    std::size_t i = 0;
    const bool longRuns = width >= kMhSingleMakeUpRuns;
    for (; i + 2 <= count; i += 2) {
        const std::uint32_t w = changes[i] - last, k = changes[i + 1] - changes[i];
        last = changes[i + 1];
        if (longRuns && (w >= kMhSingleMakeUpRuns || k >= kMhSingleMakeUpRuns)) [[unlikely]] {
            PutLongRun(b, white, w);
            PutLongRun(b, black, k);
            continue;
        }
        const std::uint32_t cw = white[w], ck = black[k];
        const unsigned lw = cw >> kLengthShift;
        b.Put((cw & kCodeMask) | (std::uint64_t{ck & kCodeMask} << lw), lw + (ck >> kLengthShift));
    }
    if (i < count) {  // the line ends black
        PutLongRun(b, white, changes[i] - last);
        PutLongRun(b, black, width - changes[i]);
    } else {
        PutLongRun(b, white, width - last);
    }
    // Zero fill to the next word; a full word when the code ended on a boundary.
    const std::size_t codeBits = 8 * (b.at - 2) + b.used;
    StoreLe64(out + b.at, b.acc);
    return 2 + 2 * (codeBits / 16 + 1);
}

}  // namespace fax
