#include "render/page_surface.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include <unistd.h>

namespace view {

namespace {

constexpr const char* kBandBufferMessage = "Can not view this file because of a LocalAlloc memory problem.";
constexpr const char* kSurfaceMessage = "Can not view this file because of a memory problem.";
constexpr const char* kSurfaceErrorMessage = "UnZipFaxToScreen Error 7";

constexpr unsigned kFraction = 8;  // fixed-point bits for positions inside a pixel
constexpr std::uint32_t kOne = 1u << kFraction;

// White pixels among the top k bits of a byte (k = 0..8).
struct BitTables {
    std::array<std::uint8_t, 256 * 9> top{};
    std::array<std::uint8_t, 256> count{};
    BitTables() {
        for (unsigned v = 0; v < 256; ++v) {
            unsigned n = 0;
            for (unsigned k = 0; k <= 8; ++k) {
                top[v * 9 + k] = static_cast<std::uint8_t>(n);
                if (k < 8 && (v & (0x80u >> k))) ++n;
            }
            count[v] = static_cast<std::uint8_t>(n);
        }
    }
};
const BitTables kBits;

// Horizontal resampling of one input row. Output column x covers [x * r, (x + 1) * r) of the
// input, r = input width / DW, with positions in 1/256 pixel. The white area left of a
// position t is C(t) = whites before floor(t) + frac(t) * pixel(floor(t)), so a column's
// white area is one difference: exact area averaging, whole and partial pixels alike.
class ColumnMap {
public:
    ColumnMap(std::size_t bytesPerLine, int displayWidth, int columns)
        : bytesPerLine_(bytesPerLine), columns_(static_cast<std::size_t>(columns)) {
        const std::uint64_t inArea = static_cast<std::uint64_t>(bytesPerLine) * 8 * kOne;
        const std::uint64_t dw = static_cast<std::uint64_t>(displayWidth);
        byte_.resize(columns_ + 1);
        bit_.resize(columns_ + 1);
        frac_.resize(columns_ + 1);
        width_.resize(columns_);
        inverse_.resize(columns_);
        std::uint64_t prev = 0;
        for (std::size_t k = 0; k <= columns_; ++k) {
            std::uint64_t pos = k * inArea / dw;
            std::uint64_t pixel = pos >> kFraction;
            byte_[k] = static_cast<std::uint32_t>(pixel >> 3);
            bit_[k] = static_cast<std::uint8_t>(pixel & 7);
            frac_[k] = static_cast<std::uint16_t>(pos & (kOne - 1));
            if (k > 0) {
                width_[k - 1] = static_cast<std::uint32_t>(pos - prev);
                inverse_[k - 1] = width_[k - 1] ? 255.0f / static_cast<float>(width_[k - 1]) : 0.0f;
                maxWidth_ = std::max(maxWidth_, width_[k - 1]);
            }
            prev = pos;
        }
        row_.resize(bytesPerLine + 1);  // one spare byte: the right edge may point just past the row
        cumulative_.resize(bytesPerLine + 1);
    }

    std::size_t columns() const { return columns_; }
    std::uint32_t maxWidth() const { return maxWidth_; }
    // 255 / width per column; a column narrower than 1/256 pixel (an enlargement beyond 256
    // times, never made by the zoom steps) gets 0 and shows black.
    const float* inverseWidths() const { return inverse_.data(); }

    // White area of each column for one input row, in 1/256 pixel.
    void Row(const std::uint8_t* in, std::uint32_t* white) {
        const std::size_t n = columns_;
        std::uint32_t* cum = cumulative_.data();
        std::uint32_t total = 0;
        for (std::size_t i = 0; i < bytesPerLine_; ++i) {
            cum[i] = total;
            total += kBits.count[in[i]];
        }
        cum[bytesPerLine_] = total;
        if (total == 0) {  // a black line
            std::fill(white, white + n, 0u);
            return;
        }
        if (total == bytesPerLine_ * 8) {  // blank lines are most of a fax
            std::copy(width_.begin(), width_.end(), white);
            return;
        }
        std::uint8_t* row = row_.data();
        std::memcpy(row, in, bytesPerLine_);
        row[bytesPerLine_] = 0;
        const std::uint32_t* byteAt = byte_.data();
        const std::uint8_t* bitAt = bit_.data();
        const std::uint16_t* fracAt = frac_.data();
        std::uint32_t left = 0;  // C at the left edge of the column
        for (std::size_t k = 0; k <= n; ++k) {
            const std::uint32_t b = byteAt[k];
            const unsigned bit = bitAt[k];
            const unsigned v = row[b];
            const std::uint32_t c = ((cum[b] + kBits.top[v * 9 + bit]) << kFraction) + fracAt[k] * ((v >> (7 - bit)) & 1u);
            if (k) white[k - 1] = c - left;
            left = c;
        }
    }

private:
    std::size_t bytesPerLine_;
    std::size_t columns_;
    std::uint32_t maxWidth_ = 0;
    std::vector<std::uint32_t> byte_;
    std::vector<std::uint8_t> bit_;
    std::vector<std::uint16_t> frac_;
    std::vector<std::uint32_t> width_;
    std::vector<float> inverse_;
    std::vector<std::uint8_t> row_;
    std::vector<std::uint32_t> cumulative_;
};

// Vertical pass: output row y covers input rows [y * s, (y + 1) * s), s = lines / outHeight,
// each input row weighted by how much of it lies inside. Sum is a signed 32-bit number when
// the largest possible sum fits (it converts to float in one instruction), 64 bits otherwise.
template <typename Sum>
void ReduceRows(ColumnMap& map, const std::uint8_t* band, std::size_t bytesPerLine, std::size_t lines,
                int outHeight, int firstRow, int lastRow, std::uint8_t* out, std::size_t outStride) {
    const std::size_t n = map.columns();
    std::vector<std::uint32_t> white(n);
    std::vector<Sum> sums(n);
    const float* inv = map.inverseWidths();
    const std::uint64_t linesArea = static_cast<std::uint64_t>(lines) * kOne;
    const std::uint64_t h = static_cast<std::uint64_t>(outHeight);
    std::uint64_t cached = ~std::uint64_t{0};
    for (int y = firstRow; y < lastRow; ++y) {
        const std::uint64_t top = static_cast<std::uint64_t>(y) * linesArea / h;
        const std::uint64_t bottom = (static_cast<std::uint64_t>(y) + 1) * linesArea / h;
        std::uint8_t* o = out + static_cast<std::size_t>(y - firstRow) * outStride;
        if (bottom <= top) {  // thinner than 1/256 line: never at the display's scales
            std::memset(o, kWhite, n);
            continue;
        }
        std::fill(sums.begin(), sums.end(), Sum{0});
        for (std::uint64_t r = top >> kFraction; r < lines && (r << kFraction) < bottom; ++r) {
            const std::uint64_t from = std::max(top, r << kFraction);
            const std::uint64_t to = std::min(bottom, (r + 1) << kFraction);
            const Sum weight = static_cast<Sum>(to - from);
            if (r != cached) {
                map.Row(band + r * bytesPerLine, white.data());
                cached = r;
            }
            if (weight == static_cast<Sum>(kOne)) {  // a whole line: most of them when reducing
                for (std::size_t x = 0; x < n; ++x) sums[x] += static_cast<Sum>(white[x]) << kFraction;
            } else {
                for (std::size_t x = 0; x < n; ++x) sums[x] += static_cast<Sum>(white[x]) * weight;
            }
        }
        // Mean white fraction times 255, rounded; the divisions were done once per column.
        const float invRows = 1.0f / static_cast<float>(bottom - top);
        for (std::size_t x = 0; x < n; ++x)
            o[x] = static_cast<std::uint8_t>(static_cast<float>(sums[x]) * inv[x] * invRows + 0.5f);
    }
}

// The output rows of a reduction clamped to the band's height, with the columns beyond the
// page (from `columns` on) whitened in them. columns is 0 when there is nothing to draw.
struct OutputRows {
    int first = 0, last = 0, columns = 0;
};
OutputRows PrepareRows(bool haveInput, int displayWidth, int outHeight, int firstRow, int rowCount, std::uint8_t* out,
                       int outWidth, std::size_t outStride, int channels = 1) {
    OutputRows r;
    if (outWidth <= 0 || outHeight <= 0) return r;
    r.first = std::max(firstRow, 0);
    r.last = static_cast<int>(std::min<std::int64_t>(outHeight, static_cast<std::int64_t>(r.first) + std::max(rowCount, 0)));
    if (r.first >= r.last) return r;
    const int columns = haveInput ? std::clamp(displayWidth, 0, outWidth) : 0;
    for (int y = r.first; y < r.last; ++y)
        std::memset(out + static_cast<std::size_t>(y - r.first) * outStride + static_cast<std::size_t>(columns * channels),
                    kWhite, static_cast<std::size_t>((outWidth - columns) * channels));
    r.columns = columns;
    return r;
}

}  // namespace

void ReduceBand(const std::uint8_t* band, std::size_t bytesPerLine, std::size_t lines, int displayWidth,
                int outHeight, std::uint8_t* out, int outWidth, std::size_t outStride) {
    ReduceBandRows(band, bytesPerLine, lines, displayWidth, outHeight, 0, outHeight, out, outWidth, outStride);
}

void ReduceBandRows(const std::uint8_t* band, std::size_t bytesPerLine, std::size_t lines, int displayWidth,
                    int outHeight, int firstRow, int rowCount, std::uint8_t* out, int outWidth,
                    std::size_t outStride) {
    const OutputRows rows = PrepareRows(bytesPerLine > 0 && lines > 0, displayWidth, outHeight, firstRow, rowCount,
                                        out, outWidth, outStride);
    if (rows.columns == 0) return;
    firstRow = rows.first;
    const int lastRow = rows.last, columns = rows.columns;

    ColumnMap map(bytesPerLine, displayWidth, columns);
    // Largest sum: a column's width times the rows' total weight.
    const std::uint64_t rowsArea = static_cast<std::uint64_t>(lines) * kOne / static_cast<std::uint64_t>(outHeight) + kOne;
    if (static_cast<std::uint64_t>(map.maxWidth()) * rowsArea <= 0x7FFFFFFFull)
        ReduceRows<std::int32_t>(map, band, bytesPerLine, lines, outHeight, firstRow, lastRow, out, outStride);
    else
        ReduceRows<std::int64_t>(map, band, bytesPerLine, lines, outHeight, firstRow, lastRow, out, outStride);
}

void ReducePixelRows(const std::uint8_t* pixels, std::size_t width, int channels, std::size_t lines, int displayWidth,
                     int outHeight, int firstRow, int rowCount, std::uint8_t* out, int outWidth,
                     std::size_t outStride) {
    const OutputRows rows = PrepareRows(width > 0 && lines > 0, displayWidth, outHeight, firstRow, rowCount, out,
                                        outWidth, outStride, channels);
    const std::size_t ch = static_cast<std::size_t>(channels);
    const std::size_t rowBytes = width * ch;
    if (rows.columns == 0) return;
    firstRow = rows.first;
    const int lastRow = rows.last, columns = rows.columns;

    // Column edges in 1/256 input pixel, as for fax bands.
    std::vector<std::uint64_t> edge(static_cast<std::size_t>(columns) + 1);
    const std::uint64_t inArea = static_cast<std::uint64_t>(width) * kOne;
    for (std::size_t k = 0; k < edge.size(); ++k) edge[k] = k * inArea / static_cast<std::uint64_t>(displayWidth);
    std::vector<std::uint64_t> acc(rowBytes);
    const std::uint64_t linesArea = static_cast<std::uint64_t>(lines) * kOne;
    const std::uint64_t h = static_cast<std::uint64_t>(outHeight);
    for (int y = firstRow; y < lastRow; ++y) {
        const std::uint64_t top = static_cast<std::uint64_t>(y) * linesArea / h;
        const std::uint64_t bottom = (static_cast<std::uint64_t>(y) + 1) * linesArea / h;
        std::uint8_t* o = out + static_cast<std::size_t>(y - firstRow) * outStride;
        if (bottom <= top) {
            std::memset(o, kWhite, static_cast<std::size_t>(columns) * ch);
            continue;
        }
        std::fill(acc.begin(), acc.end(), 0);
        for (std::uint64_t r = top >> kFraction; r < lines && (r << kFraction) < bottom; ++r) {
            const std::uint64_t weight = std::min(bottom, (r + 1) << kFraction) - std::max(top, r << kFraction);
            const std::uint8_t* in = pixels + r * rowBytes;
            for (std::size_t x = 0; x < rowBytes; ++x) acc[x] += weight * in[x];
        }
        for (int k = 0; k < columns; ++k) {
            const std::uint64_t left = edge[k], right = edge[k + 1];
            std::uint8_t* px = o + static_cast<std::size_t>(k) * ch;
            if (right <= left) {
                std::memset(px, kWhite, ch);
                continue;
            }
            const std::uint64_t area = (right - left) * (bottom - top);
            for (std::size_t c0 = 0; c0 < ch; ++c0) {
                std::uint64_t sum = 0;
                for (std::uint64_t c = left >> kFraction; c < width && (c << kFraction) < right; ++c)
                    sum += (std::min(right, (c + 1) << kFraction) - std::max(left, c << kFraction)) * acc[c * ch + c0];
                px[c0] = static_cast<std::uint8_t>((sum + area / 2) / area);
            }
        }
    }
}

std::size_t PageSurface::bytes() const {
    std::size_t total = 0;
    for (const Tile& t : tiles_) total += t.grey.size();
    return total;
}

void PageSurface::Clear() {
    tiles_.clear();
    tiles_.shrink_to_fit();
    height_ = 0;
}

void PageSurface::Reset(int width, int displayWidth, int channels) {
    Clear();
    width_ = std::max(width, 0);
    displayWidth_ = displayWidth;
    channels_ = channels == 3 ? 3 : 1;
}

PageSurface::Tile& PageSurface::AppendTile(int height) {
    Tile tile;
    tile.top = height_;
    tile.height = std::max(height, 0);
    tile.grey.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels_) * static_cast<std::size_t>(tile.height));
    tiles_.push_back(std::move(tile));
    height_ += tiles_.back().height;
    return tiles_.back();
}

const std::uint8_t* PageSurface::Row(std::int64_t y) const {
    if (y < 0 || y >= height_) return nullptr;
    // The last tile whose top is at or above y.
    auto it = std::upper_bound(tiles_.begin(), tiles_.end(), y,
                               [](std::int64_t v, const Tile& t) { return v < t.top; });
    const Tile& t = *(it - 1);
    return t.grey.data() + static_cast<std::size_t>(y - t.top) * static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels_);
}

void PageSurface::CopyRows(std::int64_t y, int rows, std::uint8_t* dst, std::size_t dstStride) const {
    const std::size_t w = static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels_);
    int i = 0;
    while (i < rows) {
        std::int64_t row = y + i;
        std::uint8_t* d = dst + static_cast<std::size_t>(i) * dstStride;
        if (row < 0 || row >= height_) {
            std::memset(d, kWhite, w);
            ++i;
            continue;
        }
        // Copy the run of rows that lies in this row's tile.
        auto it = std::upper_bound(tiles_.begin(), tiles_.end(), row,
                                   [](std::int64_t v, const Tile& t) { return v < t.top; });
        const Tile& t = *(it - 1);
        std::int64_t inTile = std::min<std::int64_t>(t.top + t.height - row, rows - i);
        const std::uint8_t* s = t.grey.data() + static_cast<std::size_t>(row - t.top) * w;
        for (std::int64_t k = 0; k < inTile; ++k, ++i, s += w, d += dstStride) std::memcpy(d, s, w);
    }
}

std::size_t SurfaceByteCap() {
    constexpr std::uint64_t kMostEver = std::uint64_t{1} << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return static_cast<std::size_t>(kMostEver);
    const std::uint64_t quarter = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 4;
    return static_cast<std::size_t>(std::min(kMostEver, quarter));
}

bool SurfaceFits(std::int64_t height, int width, std::size_t cap) {
    if (height <= 0 || width <= 0) return true;
    return static_cast<std::uint64_t>(height) <= cap / static_cast<std::uint64_t>(width);
}

std::vector<std::string> RenderFailureTexts(const RenderOutcome& outcome) {
    switch (outcome.memory) {
        case MemoryProblem::BandBuffer: return {kBandBufferMessage};
        case MemoryProblem::Surface: return {kSurfaceMessage, kSurfaceErrorMessage};
        case MemoryProblem::None: break;
    }
    if (outcome.error == fax::PageError::None) return {};
    return {fax::PageErrorText(outcome.error)};
}

std::int64_t ShownHeight(const fax::FaxReader::Page& page, std::uint32_t lines, const Zoom& zoom) {
    if (!page.picture) return PredictedHeight(lines, zoom.heightFactor());
    const std::int64_t width = std::max<std::int64_t>(page.format.width, 1);
    return std::int64_t{lines} * std::max(zoom.displayWidth(), 0) / width;
}

RenderOutcome RenderPage(fax::FaxReader& reader, unsigned number, const Zoom& zoom, PageSurface& surface,
                         const std::function<void(const PageSurface::Tile&)>& onBand, std::size_t surfaceCap) {
    RenderOutcome outcome;
    outcome.page = number;
    surface.Clear();

    fax::FaxReader::Page page;
    outcome.error = reader.LoadPage(number, page);
    outcome.page = page.number;
    if (outcome.error != fax::PageError::None) return outcome;

    const int z = zoom.heightFactor();
    const int dw = zoom.displayWidth();
    const int sw = zoom.surfaceWidth();
    const std::size_t bpl = page.bytesPerLine;
    // What the rest of the file can hold bounds the prediction, so a header claiming
    // millions of lines reserves nothing.
    outcome.predictedHeight = ShownHeight(page, std::min(page.lines, page.decodableLines), zoom);
    // Colour pictures take three bytes a pixel; fax pages one.
    const int channels = page.picture ? 3 : 1;
    if (!SurfaceFits(outcome.predictedHeight, sw * channels, surfaceCap)) {
        outcome.memory = MemoryProblem::Surface;
        return outcome;
    }

    // A picture line can be far longer than a fax line; the band keeps the same byte budget.
    const std::size_t lineBytes = page.lineBytes();
    const std::size_t bandLines =
        std::min({kBandLines, std::max<std::size_t>(kBandBytes / lineBytes, 1),
                  static_cast<std::size_t>(std::max<std::uint32_t>(std::min(page.lines, page.decodableLines), 1))});
    const std::size_t pictureRow = page.picture ? std::size_t{page.format.width} * 3 : 0;
    std::vector<std::uint8_t> band, rgb;
    try {
        band.resize(bandLines * lineBytes);
        rgb.resize(bandLines * pictureRow);
    } catch (const std::bad_alloc&) {
        outcome.memory = MemoryProblem::BandBuffer;
        return outcome;
    }
    // Reduces output rows [0, keep) of a band of `n` decoded lines drawn `h` rows high.
    auto reduce = [&](std::size_t n, int h, int keep, std::uint8_t* out) {
        if (!page.picture) {
            ReduceBandRows(band.data(), bpl, n, dw, h, 0, keep, out, sw, static_cast<std::size_t>(sw));
            return;
        }
        for (std::size_t i = 0; i < n; ++i) page.format.LineToRgb(&band[i * lineBytes], &rgb[i * pictureRow]);
        ReducePixelRows(rgb.data(), page.format.width, 3, n, dw, h, 0, keep, out, sw, static_cast<std::size_t>(sw) * 3);
    };

    surface.Reset(sw, dw, channels);
    fax::PageLineReader lines(reader.file(), page);
    std::int64_t decoded = 0;
    std::uint32_t linesBefore = 0;
    for (;;) {
        fax::PageLineReader::Band b = lines.Next(band.data(), bandLines);
        if (b.error) {
            outcome.error = fax::PageError::ReadFailed;
            surface.Clear();
            return outcome;
        }
        if (b.lines > 0) {
            // A picture's bands take the rows of their share of the page, so no rounding adds up.
            const std::uint32_t linesAfter = linesBefore + static_cast<std::uint32_t>(b.lines);
            const std::int64_t h = page.picture ? ShownHeight(page, linesAfter, zoom) - ShownHeight(page, linesBefore, zoom)
                                                : BandHeight(static_cast<std::uint32_t>(b.lines), z);
            linesBefore = linesAfter;
            // Rows beyond the predicted height fall off the surface.
            const std::int64_t keep = std::clamp<std::int64_t>(outcome.predictedHeight - decoded, 0, h);
            if (keep > 0) {
                try {
                    PageSurface::Tile& tile = surface.AppendTile(static_cast<int>(keep));
                    reduce(b.lines, static_cast<int>(h), static_cast<int>(keep), tile.grey.data());
                    if (onBand) onBand(tile);
                } catch (const std::bad_alloc&) {
                    outcome.memory = MemoryProblem::Surface;
                    surface.Clear();
                    return outcome;
                }
            }
            decoded += h;
        }
        if (b.end || b.lines == 0) break;
    }
    outcome.lines = lines.linesDelivered();
    outcome.decodedHeight = decoded;
    outcome.height = std::min(outcome.predictedHeight, decoded);
    return outcome;
}

}  // namespace view
