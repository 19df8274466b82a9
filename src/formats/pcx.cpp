#include "formats/pcx.h"

#include <algorithm>
#include <cstring>

namespace fax {

std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void WriteLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

PcxHeader PcxHeader::FromBytes(const std::uint8_t* p) {
    PcxHeader h;
    std::memcpy(h.bytes.data(), p, kPcxHeaderSize);
    return h;
}

PcxHeader PcxHeader::Compose(std::uint16_t bytesPerLine, std::uint32_t lineCount) {
    PcxHeader h;
    h.bytes[kManufacturer] = kPcxManufacturer;
    h.bytes[kVersion] = 2;
    h.bytes[kEncoding] = kPcxRunLengthEncoding;
    h.bytes[kBitsPerPixel] = 1;
    WriteLe16(&h.bytes[kXmax], static_cast<std::uint16_t>(bytesPerLine * 8 - 1));
    WriteLe16(&h.bytes[kHDpi], 200);
    WriteLe16(&h.bytes[kVDpi], 200);
    h.bytes[kNPlanes] = 1;
    WriteLe16(&h.bytes[kBytesPerLine], bytesPerLine);
    h.SetLineCount(lineCount);
    return h;
}

bool PcxHeader::IsRunLengthPcx() const {
    return manufacturer() == kPcxManufacturer && encoding() == kPcxRunLengthEncoding;
}

std::uint32_t PcxHeader::LineCount() const {
    std::uint32_t last = ymax();
    if (longMarker() == kLongMarker) last = longLineIndex();
    // An index that needs more than 24 bits is not believed; its low 16 bits are.
    if (last & 0xFF000000u) last &= 0xFFFFu;
    return last + 1;
}

void PcxHeader::SetLineCount(std::uint32_t lineCount) {
    std::uint32_t last = std::clamp<std::uint32_t>(lineCount, 1, kMaxLineCount) - 1;
    WriteLe16(&bytes[kYmax], static_cast<std::uint16_t>(last));
    WriteLe32(&bytes[kLongLineIndex], last);
    bytes[kLongMarkerAt] = kLongMarker;
}

}  // namespace fax
