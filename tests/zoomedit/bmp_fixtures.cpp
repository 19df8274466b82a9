#include "zoomedit/bmp_fixtures.h"

namespace bmpfix {

using namespace testing_support;

namespace {
void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
}  // namespace

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint16_t Le16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

Bytes MakeBmp(const BmpPicture& s) {
    const bool core = s.headerSize == 12;
    const std::size_t rows = static_cast<std::size_t>(s.height < 0 ? -s.height : s.height);
    const std::size_t rowBytes = (std::size_t(s.width) * s.bpp + 31) / 32 * 4;
    Bytes info;
    Put32(info, s.headerSize);
    if (core) {
        Put16(info, static_cast<std::uint32_t>(s.width));
        Put16(info, static_cast<std::uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bpp);
    } else {
        Put32(info, static_cast<std::uint32_t>(s.width));
        Put32(info, static_cast<std::uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bpp);
        Put32(info, s.compression);
        Put32(info, static_cast<std::uint32_t>(rowBytes * rows));
        Put32(info, 2835);
        Put32(info, 2835);
        Put32(info, static_cast<std::uint32_t>(s.palette.size()));
        Put32(info, 0);
        if (s.headerSize > 40) {
            for (auto m : s.masks) Put32(info, m);
            info.resize(s.headerSize, 0);
        } else if (s.compression == 3) {
            for (auto m : s.masks) Put32(info, m);  // the masks follow a plain header
        }
    }
    for (const Rgb& c : s.palette) {
        info.push_back(c.b);
        info.push_back(c.g);
        info.push_back(c.r);
        if (!core) info.push_back(0);
    }
    Bytes pixels(rowBytes * rows, 0);
    for (std::size_t stored = 0; stored < rows; ++stored) {
        const int y = static_cast<int>(s.height < 0 ? stored : rows - 1 - stored);
        std::uint8_t* row = &pixels[stored * rowBytes];
        for (int x = 0; x < s.width; ++x) {
            std::uint32_t v = s.value(x, y);
            switch (s.bpp) {
                case 1: row[x / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8)); break;
                case 4: row[x / 2] |= static_cast<std::uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
                case 8: row[x] = static_cast<std::uint8_t>(v); break;
                case 16: row[2 * x] = v & 0xFF, row[2 * x + 1] = (v >> 8) & 0xFF; break;
                case 24: row[3 * x] = v & 0xFF, row[3 * x + 1] = (v >> 8) & 0xFF, row[3 * x + 2] = (v >> 16) & 0xFF; break;
                case 32:
                    for (int k = 0; k < 4; ++k) row[4 * x + k] = (v >> (8 * k)) & 0xFF;
                    break;
            }
        }
    }
    Bytes file;
    if (s.fileHeader) {
        file = {'B', 'M'};
        Put32(file, static_cast<std::uint32_t>(14 + info.size() + pixels.size()));
        Put32(file, 0);
        Put32(file, static_cast<std::uint32_t>(14 + info.size()));
    }
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

PcxPage ReadPcx(const std::string& path) { return DecodePcx(ReadBytes(path)); }

Bytes DcxPage(const Bytes& dcx, unsigned n) {
    const std::uint32_t start = Le32(dcx, 4 * n), next = Le32(dcx, 4 * n + 4);
    return Bytes(dcx.begin() + start, next ? dcx.begin() + next : dcx.end());
}

PcxPage DecodePcx(const Bytes& f) {
    PcxPage p;
    if (f.size() < 128) return p;
    p.header.assign(f.begin(), f.begin() + 128);
    p.bytesPerLine = Le16(f, 66);
    p.lines = (f[72] == 0x21 ? Le32(f, 68) : Le16(f, 10)) + 1u;
    std::size_t pos = 128;
    while (p.pixels.size() < p.bytesPerLine * p.lines && pos < f.size()) {
        std::uint8_t b = f[pos++];
        if ((b & 0xC0) == 0xC0 && pos < f.size()) {
            p.pixels.insert(p.pixels.end(), b & 0x3F, f[pos++]);
        } else {
            p.pixels.push_back(b);
        }
    }
    return p;
}

Bytes PixelsOfOurBmp(const Bytes& file, std::size_t bpl, std::size_t lines) {
    const std::size_t rowBytes = (bpl + 3) / 4 * 4;
    Bytes pixels;
    for (std::size_t y = 0; y < lines; ++y) {
        std::size_t at = 62 + (lines - 1 - y) * rowBytes;
        pixels.insert(pixels.end(), file.begin() + at, file.begin() + at + bpl);
    }
    return pixels;
}

Bytes WithBlackRectangle(Bytes pixels, std::size_t bpl, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) pixels[y * bpl + x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
    return pixels;
}

}  // namespace bmpfix
