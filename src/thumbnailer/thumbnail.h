// File-manager thumbnails: page 1 of a fax as the viewer shows it at Default Size, on a
// desktop narrow enough for the page to fit a square of the asked size.
#pragma once

#include <cstdint>
#include <string>

#include "formats/fax_reader.h"

namespace view {

inline constexpr int kThumbnailMinSize = 16;      // one surface step: the narrowest page the viewer draws
inline constexpr int kThumbnailMaxSize = 16384;
inline constexpr int kThumbnailMaxWidth = 1728;   // Default Size never shows a page wider than this

// The desktop width (a multiple of the surface step, so nothing is cut at the right) at
// which Default Size shows a page of `lines` lines within size x size. A page too long for
// that keeps at least half the size across; its thumbnail shows the top of the page.
int ThumbnailDesktopWidth(const fax::FaxReader::Page& page, int size);

// Writes the thumbnail of `input` to `output` (replaced only when complete). Returns the
// message of a failure, empty on success; on failure no output is written.
std::string WriteThumbnail(const std::string& input, int size, const std::string& output);

}  // namespace view
