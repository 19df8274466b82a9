#include "export/g3_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "export/mh_codes.h"

namespace fax {

namespace {

constexpr std::size_t kPiece = 64 * 1024;  // the strip is read in pieces of this size
constexpr unsigned kMinEolZeros = 11;
constexpr unsigned kWhiteBits = 12;  // the longest white code (an extended make-up code)
constexpr unsigned kBlackBits = 13;  // the longest black code (a make-up code)
constexpr std::uint32_t kLengthMask = 15;  // table entries: a code's length in bits 0..3, 4 and 5 clear,
constexpr unsigned kRunShift = 6;          // runs from bit 6, so an entry is its own shift count
constexpr unsigned kPairBits = 12;
constexpr std::uint32_t kTerminating = kMhMakeUpStep;  // runs below are terminating codes

// Look-up tables on the next bits, first bit lowest. A code entry holds the code's length
// and its run (0: no code begins with these bits, an EOL included). A pair entry holds
// the joint length of a white and a black terminating code that fit the window together,
// and their runs, both 1..63 (0: no such pair).
struct Tables {
    std::array<std::uint32_t, 1u << kWhiteBits> white{};
    std::array<std::uint32_t, 1u << kBlackBits> black{};
    std::array<std::uint32_t, 1u << kPairBits> pairs{};

    template <std::size_t N>
    static void Add(std::array<std::uint32_t, N>& table, MhCode code, std::uint32_t entry) {
        for (std::uint32_t rest = 0; (std::uint64_t{rest} << code.length) < N; ++rest)
            table[code.bits | (rest << code.length)] = entry;
    }
    Tables() {
        for (unsigned c = 0; c < 2; ++c) {
            const MhColour colour = static_cast<MhColour>(c);
            auto add = [&](MhCode code, unsigned run) {
                const std::uint32_t entry = code.length | (run << kRunShift);
                if (c == 0) Add(white, code, entry);
                else Add(black, code, entry);
            };
            for (unsigned run = 0; run < kMhMakeUpStep; ++run) add(TerminatingCode(colour, run), run);
            for (unsigned run = kMhMakeUpStep; run <= kMhLongestMakeUp; run += kMhMakeUpStep)
                add(MakeUpCode(colour, run), run);
        }
        for (unsigned w = 1; w < kMhMakeUpStep; ++w)
            for (unsigned k = 1; k < kMhMakeUpStep; ++k) {
                const MhCode cw = TerminatingCode(MhColour::White, w), ck = TerminatingCode(MhColour::Black, k);
                const unsigned length = cw.length + ck.length;
                if (length > kPairBits) continue;
                Add(pairs, MhCode{cw.bits | (ck.bits << cw.length), static_cast<std::uint8_t>(length)},
                    length | (w << kRunShift) | (k << (kRunShift + 6)));
            }
    }
};

const Tables& CodeTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

G3Decoder::G3Decoder(std::uint32_t width, bool lsbFirst) : width_(width), lsbFirst_(lsbFirst), piece_(kPiece + 16) {
    CodeTables();
}

void G3Decoder::Start(File& file, std::uint64_t offset, std::uint64_t size) {
    file_ = &file;
    left_ = size;
    failed_ = !file.Seek(offset);
    at_ = end_ = 0;
    acc_ = 0;
    bits_ = 0;
}

void G3Decoder::RefillSlowly() {
    for (;;) {
        while (bits_ >= 0 && bits_ < 56 && at_ < end_) {  // at most 63 bits counted
            acc_ |= std::uint64_t{piece_[at_++]} << bits_;
            bits_ += 8;
        }
        if (bits_ < 0 || bits_ >= 56 || left_ == 0 || failed_) return;
        // The next piece of the strip, behind what is left of this one.
        const std::size_t keep = end_ - at_;
        std::memmove(piece_.data(), piece_.data() + at_, keep);
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kPiece));
        const std::int64_t got = file_->Read(piece_.data() + keep, want);
        if (got < 0) {
            failed_ = true;
            return;
        }
        left_ = static_cast<std::size_t>(got) < want ? 0 : left_ - want;  // a file cut short ends the strip
        if (!lsbFirst_)
            for (std::size_t i = keep; i < keep + static_cast<std::size_t>(got); i += 8)
                StoreLe64(piece_.data() + i, ReverseBitsInBytes(LoadLe64(piece_.data() + i)));
        at_ = 0;
        end_ = keep + static_cast<std::size_t>(got);
    }
}

// Make-up codes and a terminating code, from `pos` on.
bool G3Decoder::Run(const std::uint32_t* table, std::uint32_t mask, std::uint32_t& pos) {
    for (;;) {
        Refill();
        const std::uint32_t e = table[acc_ & mask];
        if (e == 0) return false;
        const std::uint32_t run = e >> kRunShift;
        Skip(static_cast<int>(e & kLengthMask));
        pos += run;
        if (pos > width_) return false;
        if (run < kTerminating) return true;
    }
}

std::ptrdiff_t G3Decoder::Row(std::uint32_t* out) {
    if (failed_) return -1;
    // The EOL: zero bits (fill and the code's eleven), then its 1.
    unsigned zeros = 0;
    for (;;) {
        Refill();
        if (bits_ <= 0) return -1;
        const std::uint64_t counted = acc_ & ((std::uint64_t{1} << bits_) - 1);
        if (counted) {
            const int z = std::countr_zero(counted);
            zeros = std::min(zeros + static_cast<unsigned>(z), kMinEolZeros);
            Skip(z);
            Skip(1);
            break;
        }
        zeros = std::min(zeros + static_cast<unsigned>(bits_), kMinEolZeros);
        Skip(bits_);
    }
    if (zeros < kMinEolZeros || failed_) return -1;

    const Tables& t = CodeTables();
    const std::uint32_t width = width_;
    std::uint32_t pos = 0;
    std::size_t n = 0;
    // Runs that are short enough come in pairs from one look-up; the rest one code at a
    // time. A zero run takes back the change before it.
    auto push = [&] {
        if (n > 0 && out[n - 1] == pos) --n;
        else out[n++] = pos;
    };
    const std::uint32_t* pairs = t.pairs.data();
    constexpr std::uint32_t kPairMask = (1u << kPairBits) - 1;
    for (;;) {
        // Four pairs at most between refills: 48 bits of the 56 there.
        Refill();
        int i = 0;
        for (; i < 4; ++i) {
            const std::uint32_t e = pairs[acc_ & kPairMask];
            const std::uint32_t w = (e >> kRunShift) & 63, k = e >> (kRunShift + 6);
            if (e == 0 || pos + w + k >= width) break;
            acc_ >>= e & 63;  // the length; bits 4 and 5 are clear
            bits_ -= static_cast<int>(e & kLengthMask);
            out[n] = pos += w;
            out[n + 1] = pos += k;
            n += 2;
        }
        if (i == 4) continue;
        if (!Run(t.white.data(), (1u << kWhiteBits) - 1, pos)) return -1;
        if (pos == width) break;
        push();
        if (!Run(t.black.data(), (1u << kBlackBits) - 1, pos)) return -1;
        if (pos == width) break;
        push();
    }
    if (bits_ < 0 || failed_) return -1;  // codes read past the strip's end
    return static_cast<std::ptrdiff_t>(n);
}

}  // namespace fax
