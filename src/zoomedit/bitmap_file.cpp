#include "zoomedit/bitmap_file.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <vector>

#include "formats/fax_reader.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "formats/rle.h"

namespace fax {

namespace {

ToolMessage Error(std::string text) { return {kZoomEditTitle, std::move(text), MessageIcon::Error}; }

// Bytes of one stored bitmap row: whole 32-bit words.
std::uint64_t BitmapRowBytes(std::uint64_t width, unsigned bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

std::array<std::uint8_t, kBmpPixelOffset> BitmapHeader(std::uint32_t width, std::uint32_t height,
                                                        std::uint32_t imageSize) {
    std::array<std::uint8_t, kBmpPixelOffset> h{};
    h[0] = 'B';
    h[1] = 'M';
    WriteLe32(&h[2], imageSize + static_cast<std::uint32_t>(kBmpPixelOffset));
    WriteLe32(&h[10], static_cast<std::uint32_t>(kBmpPixelOffset));
    std::uint8_t* info = &h[kBmpFileHeaderSize];
    WriteLe32(info + 0, kBmpInfoHeaderSize);
    WriteLe32(info + 4, width);
    WriteLe32(info + 8, height);  // positive: the bottom row comes first
    WriteLe16(info + 12, 1);
    WriteLe16(info + 14, 1);
    WriteLe32(info + 20, imageSize);
    // Colour 0 black, colour 1 white: the fax's own bit values.
    std::uint8_t* colours = info + kBmpInfoHeaderSize;
    colours[4] = colours[5] = colours[6] = 0xFF;
    return h;
}

}  // namespace

ConversionResult PageToBitmap(const std::string& pcxPath, const std::string& bmpPath) {
    ConversionResult r;
    auto fail = [&r](BitmapStatus status) {
        r.status = status;
        r.messages.push_back(Error("Creating Bitmap Error Satus<" + std::to_string(static_cast<unsigned>(status)) + ">"));
        return r;
    };
    File in = File::OpenRead(pcxPath);
    if (!in) {
        r.messages.push_back(Error("Can not Open:\n" + pcxPath));
        return r;
    }
    std::uint8_t head[kPcxHeaderSize] = {};
    std::int64_t got = in.Read(head, sizeof head);
    if (got <= 0) return fail(BitmapStatus::Failed);
    PcxHeader header = PcxHeader::FromBytes(head);
    if (got < static_cast<std::int64_t>(kPcxHeaderSize) || !header.IsRunLengthPcx()) {
        r.messages.push_back({kProductTitle, pcxPath + "\nis not dcx or PCX_ZE.", MessageIcon::Error});
        return fail(BitmapStatus::NotPcx);
    }
    if (!IsBilevel(header)) {
        r.messages.push_back(Error(PictureRefusal(pcxPath, 1)));
        r.status = BitmapStatus::NotPcx;
        return r;
    }
    const std::uint16_t bpl = header.bytesPerLine();
    if (bpl > kMaxBytesPerLine) {
        r.messages.push_back(Error("Cannot View " + pcxPath +
                                   ".\nIt is too Wide. . .\nNormally Faxes are 1728 pixels (216 bytes) wide."));
        return fail(BitmapStatus::Failed);
    }
    if (bpl == 0) return fail(BitmapStatus::NoBitmap);
    const std::uint32_t lines = header.LineCount();
    const std::uint64_t rowBytes = BitmapRowBytes(std::uint64_t{bpl} * 8, 1);
    const std::uint64_t imageSize = rowBytes * lines;
    // The size fields of a bitmap file have 32 bits.
    if (imageSize > 0xFFFFFFFFull - kBmpPixelOffset) {
        r.messages.push_back(Error("Not enough memory to run Zoom/Edit Fax."));
        return fail(BitmapStatus::NoMemory);
    }
    // Data too short for the rows the header claims ends the conversion before anything
    // is written for the claim.
    std::int64_t size = in.Size();
    if (size < 0 || DecodableLines(static_cast<std::uint64_t>(size) - kPcxHeaderSize, bpl, lines) < lines)
        return fail(BitmapStatus::Failed);

    const std::size_t stripLines = std::min(lines, kBitmapStripLines);
    std::unique_ptr<std::uint8_t[]> strip(new (std::nothrow) std::uint8_t[stripLines * bpl]);
    std::unique_ptr<std::uint8_t[]> rows(new (std::nothrow) std::uint8_t[stripLines * rowBytes]());
    if (!strip || !rows) {
        r.messages.push_back(Error("Not enough memory to run Zoom/Edit Fax."));
        return fail(BitmapStatus::NoMemory);
    }

    AtomicFile out(bmpPath);
    if (!out.Open()) {
        r.messages.push_back(Error("Can not Create:\n" + bmpPath));
        return r;
    }
    auto header62 = BitmapHeader(bpl * 8u, lines, static_cast<std::uint32_t>(imageSize));
    bool written = out.file().WriteAll(header62.data(), header62.size());

    FaxReader::Page page;
    page.header = header;
    page.lines = lines;
    page.bytesPerLine = bpl;
    PageLineReader reader(in, page);
    std::uint32_t top = 0;
    while (written && top < lines) {
        auto band = reader.Next(strip.get(), stripLines);
        if (band.error || band.lines == 0) return fail(BitmapStatus::Failed);
        // The strip's rows go where a bottom-up file keeps them: its last row first.
        const std::size_t n = band.lines;
        for (std::size_t i = 0; i < n; ++i)
            std::copy_n(&strip[i * bpl], bpl, &rows[(n - 1 - i) * rowBytes]);
        const std::uint64_t at = kBmpPixelOffset + (lines - top - n) * rowBytes;
        written = out.file().Seek(at) && out.file().WriteAll(rows.get(), n * rowBytes);
        top += static_cast<std::uint32_t>(n);
    }
    if (!written || !out.Commit(false)) {
        r.messages.push_back(Error("Error writing:\n" + bmpPath));
        return r;
    }
    r.ok = true;
    r.status = BitmapStatus::Done;
    return r;
}

// ---- bitmap to page ----------------------------------------------------------------

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

// The information header sizes whose first 40 bytes have the common layout: the plain
// one and its later versions, which paint programs write for 16- and 32-bit pictures.
bool IsInfoHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Luminance at or above half of full scale is white.
bool IsWhite(unsigned red, unsigned green, unsigned blue) { return 299 * red + 587 * green + 114 * blue >= 127500; }

// One colour channel of a packed pixel, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    std::uint32_t max = 0;
    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (!mask) return;
        while (!((mask >> shift) & 1u)) ++shift;
        max = mask >> shift;
    }
    unsigned operator()(std::uint32_t v) const {
        return max ? static_cast<unsigned>(((v & mask) >> shift) * 255u / max) : 0u;
    }
};

struct BitmapLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    unsigned bitsPerPixel = 0;
    std::uint64_t pixelOffset = 0;
    std::uint64_t fileRow = 0;
    std::array<std::uint8_t, 256> white{};  // by colour index: 1 when the colour is white
    Channel red, green, blue;
};

// Reads the headers and colour table; false for a file this system cannot take.
bool ReadLayout(File& in, BitmapLayout& layout) {
    std::vector<std::uint8_t> buf(kBmpFileHeaderSize + 124 + 12 + 256 * 4);
    std::int64_t got = in.Read(buf.data(), buf.size());
    if (got < 0) return false;
    const std::size_t n = static_cast<std::size_t>(got);
    const bool fileHeader = n >= 2 && buf[0] == 'B' && buf[1] == 'M';
    const std::size_t at = fileHeader ? kBmpFileHeaderSize : 0;
    if (n < at + 4) return false;
    const std::uint8_t* info = &buf[at];
    const std::uint32_t headerSize = ReadLe32(info);
    const bool core = headerSize == kBmpCoreHeaderSize;
    if (!core && !IsInfoHeaderSize(headerSize)) return false;
    if (n < at + headerSize) return false;

    std::int64_t width, height;
    std::uint32_t compression = kBiRgb, colours = 0;
    std::size_t entryBytes = 4, masksAfterHeader = 0;
    if (core) {
        width = ReadLe16(info + 4);
        height = ReadLe16(info + 6);
        layout.bitsPerPixel = ReadLe16(info + 10);
        entryBytes = 3;
    } else {
        width = static_cast<std::int32_t>(ReadLe32(info + 4));
        height = static_cast<std::int32_t>(ReadLe32(info + 8));
        layout.bitsPerPixel = ReadLe16(info + 14);
        compression = ReadLe32(info + 16);
        colours = ReadLe32(info + 32);
    }
    const unsigned bpp = layout.bitsPerPixel;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    if (compression == kBiBitfields) {
        if (bpp != 16 && bpp != 32) return false;
        // A plain information header is followed by the three masks.
        std::size_t masksAt = headerSize >= 52 ? at + 40 : at + headerSize;
        if (headerSize < 52) masksAfterHeader = 12;
        if (n < masksAt + 12) return false;
        layout.red = Channel(ReadLe32(&buf[masksAt]));
        layout.green = Channel(ReadLe32(&buf[masksAt + 4]));
        layout.blue = Channel(ReadLe32(&buf[masksAt + 8]));
    } else if (compression != kBiRgb) {
        return false;  // run-length and embedded JPEG or PNG pictures
    } else if (bpp == 16) {
        layout.red = Channel(0x7C00);
        layout.green = Channel(0x03E0);
        layout.blue = Channel(0x001F);
    } else if (bpp == 32) {
        layout.red = Channel(0xFF0000);
        layout.green = Channel(0x00FF00);
        layout.blue = Channel(0x0000FF);
    }
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    layout.topDown = height < 0;
    layout.width = static_cast<std::uint32_t>(width);
    layout.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    if (layout.height > kMaxLineCount) return false;

    // The colour table; a count of 0 means every colour the depth can index.
    std::uint64_t tableEntries = 0;
    if (bpp <= 8) tableEntries = colours ? colours : (1u << bpp);
    const std::size_t tableAt = at + headerSize + masksAfterHeader;
    const std::size_t usable = static_cast<std::size_t>(std::min<std::uint64_t>(tableEntries, 1u << std::min(bpp, 8u)));
    if (bpp <= 8) {
        if (n < tableAt + usable * entryBytes) return false;
        for (std::size_t i = 0; i < usable; ++i) {
            const std::uint8_t* e = &buf[tableAt + i * entryBytes];  // blue, green, red
            layout.white[i] = IsWhite(e[2], e[1], e[0]) ? 1 : 0;
        }
    }
    const std::uint64_t afterTable = tableAt + tableEntries * entryBytes;
    const std::uint64_t declared = fileHeader ? ReadLe32(&buf[10]) : 0;
    layout.pixelOffset = declared >= at + headerSize ? declared : afterTable;
    layout.fileRow = BitmapRowBytes(layout.width, bpp);
    return true;
}

// One stored row to `bpl` bytes of fax pixels (1 white), by the layout's colours.
void ConvertRow(const BitmapLayout& L, const std::uint8_t* row, std::uint8_t* out, std::size_t bpl) {
    const unsigned bpp = L.bitsPerPixel;
    if (bpp == 1) {
        // Two colours: the bits stand, are inverted, or are all one colour.
        const std::uint8_t zero = L.white[0] ? 0xFF : 0x00;
        const std::uint8_t flip = static_cast<std::uint8_t>(zero ^ (L.white[1] ? 0xFF : 0x00));
        for (std::size_t i = 0; i < bpl; ++i) out[i] = static_cast<std::uint8_t>(zero ^ (row[i] & flip));
        return;
    }
    for (std::size_t i = 0; i < bpl; ++i) {
        unsigned byte = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            const std::size_t x = i * 8 + bit;
            bool white;
            switch (bpp) {
                case 4: white = L.white[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F]; break;
                case 8: white = L.white[row[x]]; break;
                case 24: white = IsWhite(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
                default: {
                    std::uint32_t v = bpp == 16 ? ReadLe16(&row[2 * x]) : ReadLe32(&row[4 * x]);
                    white = IsWhite(L.red(v), L.green(v), L.blue(v));
                }
            }
            byte = (byte << 1) | (white ? 1u : 0u);
        }
        out[i] = static_cast<std::uint8_t>(byte);
    }
}

}  // namespace

ConversionResult BitmapToPage(const std::string& bmpPath, const std::string& pcxPath, Placement placement) {
    ConversionResult r;
    auto fail = [&r](std::string text) {
        r.messages.push_back(Error(std::move(text)));
        return r;
    };
    File in = File::OpenRead(bmpPath);
    if (!in) return fail("OpenFile failed");
    BitmapLayout layout;
    std::int64_t size = in.Size();
    if (size < 0 || !ReadLayout(in, layout)) return fail("ReadDibBitmapInfo failed");
    const std::uint64_t bpl64 = layout.width / 8;
    if (bpl64 > kMaxBytesPerLine) return fail("Bitmap is too wide");
    const std::size_t bpl = static_cast<std::size_t>(bpl64);
    // Nothing is read or allocated for rows the file does not hold.
    if (bpl == 0 || layout.pixelOffset + layout.fileRow * layout.height > static_cast<std::uint64_t>(size))
        return fail("ReadDibBitmapInfo failed");

    const std::size_t fileRow = static_cast<std::size_t>(layout.fileRow);
    const std::size_t pieceRows = std::max<std::size_t>(1, kBitmapReadPiece / fileRow);
    std::unique_ptr<std::uint8_t[]> piece(new (std::nothrow) std::uint8_t[pieceRows * fileRow]);
    if (!piece)
        return fail("Memory Shortage!\n\nTry:\no Closing some other programs.\no Rebooting the computer.");

    // A file that may not be written is not replaced either.
    if (FileExists(pcxPath) && !File::OpenReadWrite(pcxPath)) return fail("Dib to Pcx can not Create:\n" + pcxPath);
    AtomicFile out(pcxPath);
    if (!out.Open()) return fail("Dib to Pcx can not Create:\n" + pcxPath);
    PcxHeader header = PcxHeader::Compose(static_cast<std::uint16_t>(bpl), layout.height);
    WriteLe16(&header.bytes[PcxHeader::kXmax], static_cast<std::uint16_t>(layout.width - 1));
    if (!out.file().WriteAll(header.bytes.data(), header.bytes.size())) return fail("Error writing:\n" + pcxPath);

    std::vector<std::uint8_t> encoded;
    encoded.reserve(kBitmapReadPiece + 2 * kMaxBytesPerLine);
    std::vector<std::uint8_t> line(bpl);
    const std::uint32_t height = layout.height;
    // Rows go out top row first; a bottom-up file keeps the top row last.
    for (std::uint32_t top = 0; top < height;) {
        const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(pieceRows, height - top));
        const std::uint64_t firstStored = layout.topDown ? top : height - top - n;
        if (!in.Seek(layout.pixelOffset + firstStored * fileRow) ||
            in.Read(piece.get(), n * fileRow) != static_cast<std::int64_t>(n * fileRow))
            return fail("ReadDibBitmapInfo failed");
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t stored = layout.topDown ? i : n - 1 - i;
            ConvertRow(layout, &piece[stored * fileRow], line.data(), bpl);
            EncodeLine(line.data(), bpl, encoded);
        }
        if (encoded.size() >= kBitmapReadPiece || top + n == height) {
            if (!out.file().WriteAll(encoded.data(), encoded.size())) return fail("Error writing:\n" + pcxPath);
            encoded.clear();
        }
        top += n;
    }
    if (!out.Commit(placement == Placement::Keep)) return fail("Error writing:\n" + pcxPath);
    r.ok = true;
    r.status = BitmapStatus::Done;
    return r;
}

}  // namespace fax
