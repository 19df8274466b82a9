// Colour and grey PCX pictures: pages written by image programs rather than fax software.
// A fax page is one bit in one plane, and fax software often leaves BitsPerPixel or NPlanes
// at 0; more than one bit or more than one plane is a picture (shown, never reworked) or,
// when its header values do not fit together, a damaged page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/pcx.h"

namespace fax {

inline constexpr std::uint8_t kPaletteBlockMarker = 0x0C;
inline constexpr std::size_t kPaletteBlockSize = 1 + 768;  // marker, then 256 RGB entries
inline constexpr std::size_t kHeaderPaletteColours = 16;
inline constexpr std::uint16_t kGreyPaletteInfo = 2;  // PaletteInfo at offset 68 on grey pictures
// Slack allowed between the bytes a picture line needs and BytesPerLine (writers pad to
// even or to four bytes).
inline constexpr std::uint32_t kMaxLinePadding = 3;

enum class PageClass { Fax, Picture, Damaged };

// Where a picture's colours come from.
enum class PictureColours {
    HeaderPalette,  // up to 16 colours in the header (1 bit x 2-4 planes, 2 or 4 bits x 1 plane)
    PaletteBlock,   // 8 bits x 1 plane with the 256-colour block after the data
    Grey,           // 8 bits x 1 plane marked grey, no palette block
    Rgb,            // 8 bits x 3 or 4 planes (the fourth, if any, is ignored)
};

struct PictureFormat {
    std::uint8_t bitsPerPixel = 0;
    std::uint8_t planes = 0;
    std::uint32_t width = 0;        // Xmax - Xmin + 1
    std::uint16_t bytesPerLine = 0; // of one plane
    PictureColours colours = PictureColours::HeaderPalette;
    std::array<std::uint8_t, 768> palette{};  // RGB triples

    // Decoded bytes of one scan line: all planes one after another.
    std::size_t LineBytes() const { return std::size_t{planes} * bytesPerLine; }
    // One decoded scan line to `width` RGB triples.
    void LineToRgb(const std::uint8_t* line, std::uint8_t* rgb) const;
};

// True for a fax page: BitsPerPixel and NPlanes each 0 or 1 (fax software leaves them
// unset as often as not), the only layout the fax tools handle.
bool IsBilevel(const PcxHeader& header);

// Tells a fax page from a picture and checks that a picture's header values fit
// together. For 8-bit palette pictures `paletteBlock` is the page's last
// kPaletteBlockSize bytes (nullptr when the page is shorter). Fills `format` for pictures.
PageClass ClassifyPage(const PcxHeader& header, const std::uint8_t* paletteBlock, PictureFormat& format);

// Lines of a picture: Ymax - Ymin + 1, or the long line index when marked.
std::uint32_t PictureLineCount(const PcxHeader& header);

// The refusal of a tool that reworks fax pages only.
std::string PictureRefusal(const std::string& path, unsigned page);

}  // namespace fax
