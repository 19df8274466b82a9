#include "export/mh_codes.h"

#include <array>
#include <bit>
#include <cstring>

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

// Make-up and terminating code joined for every run length, so a run costs one look-up.
// The longest pair (black 1,728: 13 + 10 bits; black 1,664 + 63: 13 + 12) fits 32 bits.
struct RunTable {
    std::array<MhCode, kMhMaxRun + 1> code[2];
    RunTable() {
        for (unsigned c = 0; c < 2; ++c) {
            const MhCode* term = c ? kBlackTerminating : kWhiteTerminating;
            const MhCode* makeUp = c ? kBlackMakeUp : kWhiteMakeUp;
            for (unsigned run = 0; run <= kMhMaxRun; ++run) {
                MhCode t = term[run % kMhMakeUpStep];
                if (run < kMhMakeUpStep) {
                    code[c][run] = t;
                    continue;
                }
                MhCode m = makeUp[run / kMhMakeUpStep - 1];
                code[c][run] = {m.bits | (t.bits << m.length), static_cast<std::uint8_t>(m.length + t.length)};
            }
        }
    }
};

const RunTable& Runs() {
    static const RunTable table;
    return table;
}

inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

constexpr std::size_t kRowWords = kMhRowBytes / 8;  // 27 words of 64 pixels

}  // namespace

MhCode TerminatingCode(MhColour colour, unsigned run) {
    const unsigned i = run % kMhMakeUpStep;
    return colour == MhColour::White ? kWhiteTerminating[i] : kBlackTerminating[i];
}

MhCode MakeUpCode(MhColour colour, unsigned run) {
    const unsigned i = run / kMhMakeUpStep;
    if (i < 1 || i > 27) return {0, 0};
    return colour == MhColour::White ? kWhiteMakeUp[i - 1] : kBlackMakeUp[i - 1];
}

MhCode RunCode(MhColour colour, unsigned run) {
    if (run > kMhMaxRun) return {0, 0};
    return Runs().code[static_cast<unsigned>(colour)][run];
}

std::size_t CodeMhRow(const std::uint8_t* row, std::uint8_t* out) {
    const RunTable& runs = Runs();
    std::uint64_t words[kRowWords];
    for (std::size_t i = 0; i < kRowWords; ++i) words[i] = LoadBigEndian64(row + 8 * i);

    std::size_t o = 0;
    out[o++] = 0x00;
    out[o++] = 0x80;

    // Code bits not yet stored, first one in bit 0. Two 16-bit little-endian words are
    // one 32-bit little-endian word, so whole pairs go out at once; the store is made
    // every time and only counted when 32 bits were there, which saves a branch the
    // processor cannot predict (`out` has room for the spare bytes).
    std::uint64_t acc = 0;
    unsigned used = 0;  // below 32 between codes; a code has at most 25 bits
    auto put = [&](MhCode c) {
        acc |= static_cast<std::uint64_t>(c.bits) << used;
        used += c.length;
        const std::uint32_t low = static_cast<std::uint32_t>(acc);
        const std::uint8_t word[4] = {static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(low >> 8),
                                      static_cast<std::uint8_t>(low >> 16), static_cast<std::uint8_t>(low >> 24)};
        std::memcpy(out + o, word, 4);
        const unsigned full = used >> 5;  // 1 when 32 bits are ready
        o += 4 * full;
        acc >>= 32 * full;
        used -= 32 * full;
    };

    // Runs alternate from white. A run ends where a pixel differs from the one on its
    // left; the pixel left of the row counts as white, so a row starting black begins
    // with a white run of 0. Those change positions are the set bits of w ^ (w >> 1).
    unsigned last = 0;        // where the current run began
    unsigned colour = 0;      // 0 white, 1 black
    std::uint64_t left = 1;   // the pixel before the word: white (1)
    for (std::size_t w = 0; w < kRowWords; ++w) {
        const std::uint64_t word = words[w];
        std::uint64_t changes = word ^ ((word >> 1) | (left << 63));
        left = word & 1;
        while (changes) {
            const unsigned at = static_cast<unsigned>(std::countl_zero(changes));
            const unsigned pos = static_cast<unsigned>(w * 64) + at;
            changes &= ~(std::uint64_t{1} << 63 >> at);
            put(runs.code[colour][pos - last]);
            last = pos;
            colour ^= 1;
        }
    }
    put(runs.code[colour][kMhMaxRun - last]);  // the run that reaches the row's end
    if (used >= 16) {
        out[o++] = static_cast<std::uint8_t>(acc);
        out[o++] = static_cast<std::uint8_t>(acc >> 8);
        acc >>= 16;
    }
    // Zero fill to the next word; a full word when the code ended on a boundary.
    out[o++] = static_cast<std::uint8_t>(acc);
    out[o++] = static_cast<std::uint8_t>(acc >> 8);
    return o;
}

}  // namespace fax
