// The tests' own slow, obvious box filter: each output pixel is the white fraction of the
// input rectangle it covers, partial pixels counted by their covered area.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace box_reference {

// band: 1 bit = white, MSB leftmost, bpl bytes per line.
inline bool White(const std::vector<std::uint8_t>& band, std::size_t bpl, std::size_t x, std::size_t y) {
    return (band[y * bpl + x / 8] >> (7 - x % 8)) & 1;
}

inline double Pixel(const std::vector<std::uint8_t>& band, std::size_t bpl, std::size_t lines, int dw, int h,
                    int x, int y) {
    const double sx = double(bpl * 8) / dw, sy = double(lines) / h;
    const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
    double white = 0, area = 0;
    for (std::size_t r = std::size_t(y0); r < lines && r < y1; ++r) {
        double wy = std::min<double>(double(r) + 1, y1) - std::max<double>(double(r), y0);
        for (std::size_t c = std::size_t(x0); c < bpl * 8 && c < x1; ++c) {
            double wx = std::min<double>(double(c) + 1, x1) - std::max<double>(double(c), x0);
            area += wx * wy;
            if (White(band, bpl, c, r)) white += wx * wy;
        }
    }
    return 255.0 * white / area;
}

}  // namespace box_reference

namespace box_reference {

// The same box filter over 8-bit pixels (`channels` bytes each, `width` per line), for channel `c`.
inline double ChannelPixel(const std::vector<std::uint8_t>& pixels, std::size_t width, int channels, int c,
                           std::size_t lines, int dw, int h, int x, int y) {
    const double sx = double(width) / dw, sy = double(lines) / h;
    const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
    double sum = 0, area = 0;
    for (std::size_t r = std::size_t(y0); r < lines && r < y1; ++r) {
        double wy = std::min<double>(double(r) + 1, y1) - std::max<double>(double(r), y0);
        for (std::size_t col = std::size_t(x0); col < width && col < x1; ++col) {
            double wx = std::min<double>(double(col) + 1, x1) - std::max<double>(double(col), x0);
            area += wx * wy;
            sum += wx * wy * pixels[(r * width + col) * channels + c];
        }
    }
    return sum / area;
}

}  // namespace box_reference
