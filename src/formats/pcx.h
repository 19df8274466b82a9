// The 128-byte PCX page header and the limits every page reader enforces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fax {

inline constexpr std::size_t kPcxHeaderSize = 128;
inline constexpr std::uint8_t kPcxManufacturer = 10;
inline constexpr std::uint8_t kPcxRunLengthEncoding = 1;
inline constexpr std::uint8_t kLongMarker = 0x21;  // "!": LongLineIndex is valid
inline constexpr std::uint16_t kMaxBytesPerLine = 296;  // 2,368 pixels
inline constexpr std::uint16_t kMinBytesPerLine = 10;
inline constexpr std::uint16_t kFaxBytesPerLine = 216;  // 1,728 pixels
inline constexpr std::uint16_t kFaxWidth = 1728;
inline constexpr std::uint32_t kMaxLineCount = 16777216;  // 24 bits of line index plus one
inline constexpr std::size_t kReadChunk = 2048;  // readers take the page data in these pieces

std::uint16_t ReadLe16(const std::uint8_t* p);
std::uint32_t ReadLe32(const std::uint8_t* p);
void WriteLe16(std::uint8_t* p, std::uint16_t v);
void WriteLe32(std::uint8_t* p, std::uint32_t v);

struct PcxHeader {
    // Byte offsets of the fields.
    static constexpr std::size_t kManufacturer = 0;
    static constexpr std::size_t kVersion = 1;
    static constexpr std::size_t kEncoding = 2;
    static constexpr std::size_t kBitsPerPixel = 3;
    static constexpr std::size_t kXmin = 4;
    static constexpr std::size_t kYmin = 6;
    static constexpr std::size_t kXmax = 8;
    static constexpr std::size_t kYmax = 10;
    static constexpr std::size_t kHDpi = 12;
    static constexpr std::size_t kVDpi = 14;
    static constexpr std::size_t kPalette = 16;
    static constexpr std::size_t kReserved = 64;
    static constexpr std::size_t kNPlanes = 65;
    static constexpr std::size_t kBytesPerLine = 66;
    static constexpr std::size_t kLongLineIndex = 68;
    static constexpr std::size_t kLongMarkerAt = 72;
    static constexpr std::size_t kFiller = 73;

    std::array<std::uint8_t, kPcxHeaderSize> bytes{};

    static PcxHeader FromBytes(const std::uint8_t* p);
    // A header of our own making: 200 x 200 dpi, one plane, one bit, and the long
    // line index set so that any height up to kMaxLineCount lines reads back.
    static PcxHeader Compose(std::uint16_t bytesPerLine, std::uint32_t lineCount);

    std::uint8_t manufacturer() const { return bytes[kManufacturer]; }
    std::uint8_t encoding() const { return bytes[kEncoding]; }
    std::uint16_t ymax() const { return ReadLe16(&bytes[kYmax]); }
    std::uint16_t xmax() const { return ReadLe16(&bytes[kXmax]); }
    std::uint16_t bytesPerLine() const { return ReadLe16(&bytes[kBytesPerLine]); }
    std::uint32_t longLineIndex() const { return ReadLe32(&bytes[kLongLineIndex]); }
    std::uint8_t longMarker() const { return bytes[kLongMarkerAt]; }

    // Manufacturer 10 and run-length encoding: the only pages any reader accepts.
    bool IsRunLengthPcx() const;
    // Lines on the page: Ymax, or LongLineIndex when marked, cut to 16 bits when
    // 24 bits cannot hold it, plus one. Always 1 to kMaxLineCount.
    std::uint32_t LineCount() const;
    // Sets Ymax, LongLineIndex and LongMarker for `lineCount` lines.
    void SetLineCount(std::uint32_t lineCount);
};

}  // namespace fax
