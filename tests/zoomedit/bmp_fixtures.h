// The tests' own bitmap files and readers, written from the file format alone, so the
// conversions are checked against something other than themselves.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace bmpfix {

using testing_support::Bytes;

struct Rgb {
    std::uint8_t r, g, b;
};

// A bitmap file: headers as asked, rows padded to 32 bits, bottom-up unless height < 0.
struct BmpPicture {
    std::uint32_t headerSize = 40;  // 12 core, 40 information, 108 / 124 later versions
    bool fileHeader = true;
    std::int32_t width = 0;
    std::int32_t height = 0;
    unsigned bpp = 1;
    std::uint32_t compression = 0;
    std::vector<Rgb> palette;
    std::array<std::uint32_t, 3> masks{};  // red, green, blue when compression is 3
    // The stored value of the pixel at (x, y), y counted from the top of the picture.
    std::function<std::uint32_t(int x, int y)> value;
};
Bytes MakeBmp(const BmpPicture& picture);

// Fax pixels (1 = white) of a page file; header of the page.
struct PcxPage {
    Bytes header;
    std::size_t bytesPerLine = 0;
    std::size_t lines = 0;
    Bytes pixels;
};
// Decodes a PCX page the plain way (runs within a line).
PcxPage DecodePcx(const Bytes& file);
PcxPage ReadPcx(const std::string& path);
// Page n (1-based) of a DCX, by its table: up to the next page or the end of the file.
Bytes DcxPage(const Bytes& dcx, unsigned n);

// Pixels of the bitmap file our page-to-bitmap step writes, read by its layout (1 = white).
Bytes PixelsOfOurBmp(const Bytes& file, std::size_t bytesPerLine, std::size_t lines);

// The page with a black rectangle [x0, x1) x [y0, y1) drawn in (what the stand-in editor does).
Bytes WithBlackRectangle(Bytes pixels, std::size_t bytesPerLine, int x0, int y0, int x1, int y1);

std::uint32_t Le32(const Bytes& b, std::size_t at);
std::uint16_t Le16(const Bytes& b, std::size_t at);

}  // namespace bmpfix
