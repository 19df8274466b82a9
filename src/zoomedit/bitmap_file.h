// A fax page as a Windows bitmap file and back: the picture a paint program edits, and
// the PCX page made from whatever the program saved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/tool_message.h"

namespace fax {

inline constexpr const char* kZoomEditTitle = "Vantorel Zoom/Edit Fax";

inline constexpr std::size_t kBmpFileHeaderSize = 14;
inline constexpr std::size_t kBmpInfoHeaderSize = 40;
inline constexpr std::size_t kBmpCoreHeaderSize = 12;
inline constexpr std::size_t kBmpPixelOffset = kBmpFileHeaderSize + kBmpInfoHeaderSize + 8;  // two colours
inline constexpr std::uint32_t kBitmapStripLines = 2800;  // decoded lines held at a time
inline constexpr std::size_t kBitmapReadPiece = 32768;

// How the page-to-bitmap step ended; every failure but a file that cannot be opened is
// reported with its number.
enum class BitmapStatus : unsigned {
    Failed = 0,       // nothing readable, too wide, or the data ended before the last row
    NotPcx = 7,       // header missing or not a PCX page
    Done = 10,
    NoMemory = 13,    // no memory for the strip, or a picture too large for a bitmap file
    NoBitmap = 15,    // a page of no width
};

struct ConversionResult {
    bool ok = false;
    BitmapStatus status = BitmapStatus::Failed;  // page to bitmap only
    ToolMessages messages;                       // in the order they are shown
};

// Decodes the PCX page file `pcxPath` into a 1-bit bitmap file at `bmpPath`: bottom-up
// rows, the two-colour table black then white, pixel rows at kBmpPixelOffset. The page
// is decoded kBitmapStripLines lines at a time, so memory stays bounded for any height.
// The bitmap is a work file: it replaces an older one only when complete, unflushed.
ConversionResult PageToBitmap(const std::string& pcxPath, const std::string& bmpPath);

// How a finished file takes its place: flushed to the disk first when it replaces a
// file the user keeps (a fax converted in place), not when it is a work file.
enum class Placement { Keep, Work };

// Reads the bitmap file `bmpPath` (with or without its 14-byte file header; a 40-byte
// or later information header or a 12-byte core header; 1, 4, 8, 16, 24 or 32 bits per
// pixel, bottom-up or top-down) and writes a PCX page of it at `pcxPath`, 200 dpi, the
// long line index set. Colours become black or white by their luminance, the colour
// table honoured. `pcxPath` is replaced only once complete, and only when it may be
// written.
ConversionResult BitmapToPage(const std::string& bmpPath, const std::string& pcxPath,
                              Placement placement = Placement::Keep);

}  // namespace fax
