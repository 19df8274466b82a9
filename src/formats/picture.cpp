#include "formats/picture.h"

#include <cstring>

namespace fax {

namespace {

// ITU-R BT.601 luma, in 1/1024ths, rounded.
std::uint8_t Luma(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint8_t>((306u * r + 601u * g + 117u * b + 512u) >> 10);
}

bool KnownLayout(std::uint8_t bits, std::uint8_t planes) {
    if (bits == 1) return planes >= 2 && planes <= 4;
    if (bits == 2 || bits == 4) return planes == 1;
    if (bits == 8) return planes == 1 || planes == 3 || planes == 4;
    return false;
}

}  // namespace

bool IsBilevel(const PcxHeader& header) {
    return header.bytes[PcxHeader::kBitsPerPixel] == 1 && header.bytes[PcxHeader::kNPlanes] == 1;
}

std::uint32_t PictureLineCount(const PcxHeader& header) {
    if (header.longMarker() == kLongMarker) return header.LineCount();
    const std::uint16_t ymin = ReadLe16(&header.bytes[PcxHeader::kYmin]);
    return header.ymax() >= ymin ? std::uint32_t{header.ymax()} - ymin + 1 : 0;
}

PageClass ClassifyPage(const PcxHeader& header, const std::uint8_t* paletteBlock, PictureFormat& format) {
    if (IsBilevel(header)) return PageClass::Fax;
    format = PictureFormat{};
    format.bitsPerPixel = header.bytes[PcxHeader::kBitsPerPixel];
    format.planes = header.bytes[PcxHeader::kNPlanes];
    if (!KnownLayout(format.bitsPerPixel, format.planes)) return PageClass::Damaged;
    const std::uint16_t xmin = ReadLe16(&header.bytes[PcxHeader::kXmin]);
    if (header.xmax() < xmin || PictureLineCount(header) == 0) return PageClass::Damaged;
    format.width = std::uint32_t{header.xmax()} - xmin + 1;
    format.bytesPerLine = header.bytesPerLine();
    const std::uint32_t needed = (format.width * format.bitsPerPixel + 7) / 8;
    if (format.bytesPerLine < needed || format.bytesPerLine > needed + kMaxLinePadding) return PageClass::Damaged;

    if (format.bitsPerPixel == 8 && format.planes >= 3) {
        format.colours = PictureColours::Rgb;
    } else if (format.bitsPerPixel == 8) {
        // The long line index overlays PaletteInfo; the marker says which it is.
        const bool greyInfo = header.longMarker() != kLongMarker &&
                              ReadLe16(&header.bytes[PcxHeader::kLongLineIndex]) == kGreyPaletteInfo;
        if (paletteBlock && paletteBlock[0] == kPaletteBlockMarker) {
            format.colours = PictureColours::PaletteBlock;
            std::memcpy(format.palette.data(), paletteBlock + 1, 768);
        } else if (greyInfo) {
            format.colours = PictureColours::Grey;
        } else {
            return PageClass::Damaged;  // the palette block is missing or cut short
        }
    } else {
        format.colours = PictureColours::HeaderPalette;
        std::memcpy(format.palette.data(), &header.bytes[PcxHeader::kPalette], kHeaderPaletteColours * 3);
    }
    return PageClass::Picture;
}

void PictureFormat::LineToGrey(const std::uint8_t* line, std::uint8_t* grey) const {
    const std::size_t bpl = bytesPerLine;
    switch (colours) {
        case PictureColours::Rgb:
            for (std::uint32_t x = 0; x < width; ++x) grey[x] = Luma(line[x], line[bpl + x], line[2 * bpl + x]);
            return;
        case PictureColours::Grey:
            std::memcpy(grey, line, width);
            return;
        case PictureColours::PaletteBlock:
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint8_t* c = &palette[line[x] * 3u];
                grey[x] = Luma(c[0], c[1], c[2]);
            }
            return;
        case PictureColours::HeaderPalette:
            break;
    }
    // Packed (bits per pixel) or planar (one bit from each plane, plane 0 lowest) indices.
    const unsigned bits = bitsPerPixel;
    for (std::uint32_t x = 0; x < width; ++x) {
        unsigned index = 0;
        if (planes == 1) {
            const std::uint32_t bit = x * bits;
            index = (line[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        } else {
            for (unsigned p = 0; p < planes; ++p) index |= ((line[p * bpl + x / 8] >> (7 - x % 8)) & 1u) << p;
        }
        const std::uint8_t* c = &palette[index * 3u];
        grey[x] = Luma(c[0], c[1], c[2]);
    }
}

std::string PictureRefusal(const std::string& path, unsigned page) {
    return "Page " + std::to_string(page) + " of:\n" + path + "\nis a colour (or grey) picture, not a fax page.";
}

}  // namespace fax
