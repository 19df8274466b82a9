// The page as the viewer shows it: the decoded page reduced (or stretched) to the zoom's
// display width, one grey tile per decoded band. Qt-free; the window, the thumbnailer and
// `tarvex-cli render` all draw from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/fax_reader.h"
#include "render/zoom.h"

namespace view {

inline constexpr std::size_t kBandLines = 2800;  // lines decoded before a band is drawn
inline constexpr std::uint8_t kWhite = 255;
inline constexpr std::uint8_t kBlack = 0;

// The page as shown: grey rows (0 black .. 255 white) of surfaceWidth() pixels, kept as one tile per
// decoded band so memory follows what was really decoded, never what a header claims.
class PageSurface {
public:
    struct Tile {
        std::int64_t top = 0;
        int height = 0;
        std::vector<std::uint8_t> grey;  // width() pixels per row, channels() bytes each
    };

    int width() const { return width_; }                // surface width (16 * trunc(DW/16))
    int channels() const { return channels_; }          // 1 grey (fax pages), 3 RGB (colour pictures)
    int displayWidth() const { return displayWidth_; }  // DW: the page is stretched to this width, clipped at width()
    // DecodedHeight: sum of the band heights so far, cut at the predicted page height.
    std::int64_t height() const { return height_; }
    const std::vector<Tile>& tiles() const { return tiles_; }
    bool empty() const { return tiles_.empty(); }
    std::size_t bytes() const;  // grey bytes held

    // Copies rows [y, y + rows) into dst (width() * channels() bytes per row, dstStride apart); rows
    // outside [0, height()) are white.
    void CopyRows(std::int64_t y, int rows, std::uint8_t* dst, std::size_t dstStride) const;
    // One row, or nullptr outside the surface.
    const std::uint8_t* Row(std::int64_t y) const;
    void Clear();

    // Starts an empty surface of the given geometry.
    void Reset(int width, int displayWidth, int channels = 1);
    // Adds a tile of `height` rows below the last one and returns it to be filled. May throw
    // std::bad_alloc; RenderPage turns that into the memory message.
    Tile& AppendTile(int height);

private:
    int width_ = 0;
    int displayWidth_ = 0;
    int channels_ = 1;
    std::int64_t height_ = 0;
    std::vector<Tile> tiles_;
};

// Reduces (or enlarges) a band of n bilevel lines (1 bit = white, MSB leftmost, bytesPerLine bytes each) to
// displayWidth x outHeight grey pixels by area averaging (box filter: each output pixel is the mean of the
// input pixels it covers, at least one input pixel), writing the first outWidth columns of each output row.
// Columns at or beyond displayWidth are white.
void ReduceBand(const std::uint8_t* band, std::size_t bytesPerLine, std::size_t lines,
                int displayWidth, int outHeight, std::uint8_t* out, int outWidth, std::size_t outStride);
// The same, writing only output rows [firstRow, firstRow + rowCount) of the outHeight rows, the
// first of them at `out` (the last band of a page is cut at the page's height).
void ReduceBandRows(const std::uint8_t* band, std::size_t bytesPerLine, std::size_t lines,
                    int displayWidth, int outHeight, int firstRow, int rowCount,
                    std::uint8_t* out, int outWidth, std::size_t outStride);

// The same area averaging for a band of 8-bit lines (`width` pixels of `channels` bytes each,
// every channel on its own): writes output rows [firstRow, firstRow + rowCount) of
// displayWidth x outHeight, outWidth pixels of `channels` bytes each.
void ReducePixelRows(const std::uint8_t* pixels, std::size_t width, int channels, std::size_t lines, int displayWidth,
                     int outHeight, int firstRow, int rowCount, std::uint8_t* out, int outWidth,
                     std::size_t outStride);

// Decoded bytes one band may hold: a full fax band. Pictures with longer lines take
// fewer lines per band.
inline constexpr std::size_t kBandBytes = kBandLines * fax::kMaxBytesPerLine;

// A memory failure of the display, reported in its own words.
enum class MemoryProblem {
    None,
    BandBuffer,  // "Can not view this file because of a LocalAlloc memory problem."
    Surface,     // "Can not view this file because of a memory problem." then "UnZipFaxToScreen Error 7"
};

struct RenderOutcome {
    fax::PageError error = fax::PageError::None;
    MemoryProblem memory = MemoryProblem::None;
    unsigned page = 1;                 // the page shown (may move back to the last listed page)
    std::int64_t predictedHeight = 0;  // H before decoding, bounded by Page::decodableLines
    std::int64_t height = 0;           // H after decoding (min of predicted and decoded)
    std::int64_t decodedHeight = 0;    // sum of all band heights, before the cut at H
    std::uint32_t lines = 0;           // complete lines decoded
    bool ok() const { return error == fax::PageError::None && memory == MemoryProblem::None; }
};

// The most grey bytes one page surface may hold: 1 GiB, or a quarter of the machine's
// memory when that is less. A page that would need more gets the memory message.
std::size_t SurfaceByteCap();
// Whether `height` rows of `width` bytes stay within `cap`.
bool SurfaceFits(std::int64_t height, int width, std::size_t cap);

// The messages a failed display shows, in order (empty when it succeeded).
std::vector<std::string> RenderFailureTexts(const RenderOutcome& outcome);

// Rows on screen for the first `lines` lines of `page` at `zoom`. Fax lines are halved less
// an eighth and scaled by Z / 480 (the fax's tall pixels); a picture's pixels are square, so
// its lines are scaled like its width. Wide arithmetic: never wraps, never negative.
std::int64_t ShownHeight(const fax::FaxReader::Page& page, std::uint32_t lines, const Zoom& zoom);

// Everything of the display except the window: locates page `number` of `reader` (layout already read with
// ReadLayout), checks its header, decodes it in bands of up to kBandLines lines through
// fax::PageLineReader and reduces each band into the surface as soon as it is decoded, then calls onBand
// with the new tile so the window can show it at once. The band buffer is kBandLines x 296 bytes at most;
// a surface beyond `surfaceCap` bytes is refused with the memory message before anything is decoded.
// On failure the surface is left empty.
RenderOutcome RenderPage(fax::FaxReader& reader, unsigned number, const Zoom& zoom, PageSurface& surface,
                         const std::function<void(const PageSurface::Tile&)>& onBand = {},
                         std::size_t surfaceCap = SurfaceByteCap());

}  // namespace view
