#include "formats/picture.h"

#include <cstring>

namespace fax {

namespace {

bool KnownLayout(std::uint8_t bits, std::uint8_t planes) {
    if (bits == 1) return planes >= 2 && planes <= 4;
    if (bits == 2 || bits == 4) return planes == 1;
    if (bits == 8) return planes == 1 || planes == 3 || planes == 4;
    return false;
}

}  // namespace

bool IsBilevel(const PcxHeader& header) {
    return header.bytes[PcxHeader::kBitsPerPixel] <= 1 && header.bytes[PcxHeader::kNPlanes] <= 1;
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

void PictureFormat::LineToRgb(const std::uint8_t* line, std::uint8_t* rgb) const {
    const std::size_t bpl = bytesPerLine;
    for (std::uint32_t x = 0; x < width; ++x, rgb += 3) {
        switch (colours) {
            case PictureColours::Rgb:
                rgb[0] = line[x], rgb[1] = line[bpl + x], rgb[2] = line[2 * bpl + x];
                continue;
            case PictureColours::Grey:
                rgb[0] = rgb[1] = rgb[2] = line[x];
                continue;
            case PictureColours::PaletteBlock:
                std::memcpy(rgb, &palette[line[x] * 3u], 3);
                continue;
            case PictureColours::HeaderPalette:
                break;
        }
        // Packed (bits per pixel) or planar (one bit from each plane, plane 0 lowest) indices.
        unsigned index = 0;
        if (planes == 1) {
            const std::uint32_t bit = x * bitsPerPixel;
            index = (line[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & ((1u << bitsPerPixel) - 1);
        } else {
            for (unsigned p = 0; p < planes; ++p) index |= ((line[p * bpl + x / 8] >> (7 - x % 8)) & 1u) << p;
        }
        std::memcpy(rgb, &palette[index * 3u], 3);
    }
}

std::string PictureRefusal(const std::string& path, unsigned page) {
    return "Page " + std::to_string(page) + " of:\n" + path + "\nis a colour (or grey) picture, not a fax page.";
}

}  // namespace fax
