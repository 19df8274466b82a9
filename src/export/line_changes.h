// A fax line as its changing elements (ITU-T T.4 and T.6): the positions, left to right,
// of the pixels that differ from the pixel on their left, the pixel left of the line
// counting as white. The first element turns the line black, the next white again, and
// so on; the runs of the line are the distances between them. The coders and the decoder
// of the export work on lines in this form, never on pixels.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fax {

// An array for the elements of one line `width` pixels wide: one per pixel at most, room
// for what a row's padding bits give before they are dropped, and for the marks a coder
// puts after the last element (G4Coder).
inline constexpr std::size_t ChangeCapacity(std::uint32_t width) { return std::size_t{width} + 16; }

// The changing elements of a row of pixels (most significant bit leftmost, `oneIsBlack`
// telling which bit value is black), into `out` (ChangeCapacity(width)); returns how many.
// Bits past `width` in the row's last byte play no part.
std::size_t FindChanges(const std::uint8_t* row, std::uint32_t width, bool oneIsBlack, std::uint32_t* out);

// Reverses the order of the bits within each byte of `v`.
inline std::uint64_t ReverseBitsInBytes(std::uint64_t v) {
    v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
    v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
    return ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
}

// Eight bytes as one number, the first byte lowest, whatever the machine's order.
inline std::uint64_t LoadLe64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}
inline void StoreLe64(std::uint8_t* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}
inline void StoreBe64(std::uint8_t* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

}  // namespace fax
