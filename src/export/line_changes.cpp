#include "export/line_changes.h"

namespace fax {

std::size_t FindChanges(const std::uint8_t* row, std::uint32_t width, bool oneIsBlack, std::uint32_t* out) {
    const std::uint64_t flip = oneIsBlack ? 0 : ~std::uint64_t{0};
    const std::size_t bytes = (std::size_t{width} + 7) / 8;
    std::size_t n = 0;
    std::uint64_t left = 0;  // the pixel before the word, 1 = black; white before the line
    for (std::size_t at = 0; at < bytes; at += 8) {
        std::uint8_t tail[8] = {};
        const std::uint8_t* p = row + at;
        if (bytes - at < 8) {
            std::memcpy(tail, p, bytes - at);
            p = tail;
        }
        // Pixel `at * 8 + k` in bit k, 1 = black; a change wherever a pixel differs from
        // the one on its left.
        const std::uint64_t w = ReverseBitsInBytes(LoadLe64(p)) ^ flip;
        std::uint64_t changes = w ^ ((w << 1) | left);
        left = w >> 63;
        const std::uint32_t base = static_cast<std::uint32_t>(at * 8);
        for (; changes; changes &= changes - 1) out[n++] = base + static_cast<std::uint32_t>(std::countr_zero(changes));
    }
    while (n > 0 && out[n - 1] >= width) --n;  // the padding bits of the last byte
    return n;
}

}  // namespace fax
