#include "render/grey_png.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/file_io.h"

namespace view {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kMaxSide = 0x7FFFFFFFu;
constexpr std::size_t kIdatSize = 1 << 16;  // compressed bytes per IDAT chunk
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColourGrey = 0;
constexpr std::uint8_t kColourRgb = 2;
constexpr std::uint8_t kFilterUp = 2;  // identical rows (blank paper) become zeros

void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// Length, type, data, CRC over type and data.
bool WriteChunk(fax::File& f, const char* type, const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[8];
    PutBe32(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, head + 4, 4);
    if (size) crc = crc32(crc, data, static_cast<uInt>(size));
    std::uint8_t tail[4];
    PutBe32(tail, static_cast<std::uint32_t>(crc));
    return f.WriteAll(head, sizeof head) && (size == 0 || f.WriteAll(data, size)) && f.WriteAll(tail, sizeof tail);
}

// zlib's stream state, released on every exit.
class Deflater {
public:
    Deflater() { ok_ = deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_RLE) == Z_OK; }
    ~Deflater() {
        if (ok_) deflateEnd(&z_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    bool ok() const { return ok_; }
    z_stream& stream() { return z_; }

private:
    z_stream z_{};
    bool ok_ = false;
};

}  // namespace

std::string PngStatusText(PngStatus status, const std::string& path) {
    switch (status) {
        case PngStatus::Ok: return {};
        case PngStatus::EmptyImage: return "Nothing to write: the picture is empty at this size.\n" + path;
        case PngStatus::TooLarge: return "The picture is too large for a PNG file:\n" + path;
        case PngStatus::CreateFailed: return "Can not Create:\n" + path;
        case PngStatus::WriteFailed: return "Could not write:\n" + path;
        case PngStatus::CompressFailed: return "Could not compress the picture for:\n" + path;
        case PngStatus::NoRow: return "The picture ended early:\n" + path;
    }
    return {};
}

PngStatus WriteGreyPng(const std::string& path, std::uint32_t width, std::uint32_t height,
                       const GreyRowSource& rows, int channels) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (channels == 3 ? 3 : 1);
    if (width == 0 || height == 0) return PngStatus::EmptyImage;
    if (width > kMaxSide || height > kMaxSide) return PngStatus::TooLarge;

    Deflater deflater;
    if (!deflater.ok()) return PngStatus::CompressFailed;
    fax::AtomicFile out(path);
    if (!out.Open()) return PngStatus::CreateFailed;
    fax::File& f = out.file();

    std::uint8_t ihdr[13] = {};
    PutBe32(ihdr, width);
    PutBe32(ihdr + 4, height);
    ihdr[8] = kBitDepth;
    ihdr[9] = channels == 3 ? kColourRgb : kColourGrey;  // compression, filter method and interlace stay 0
    if (!f.WriteAll(kSignature, sizeof kSignature) || !WriteChunk(f, "IHDR", ihdr, sizeof ihdr))
        return PngStatus::WriteFailed;

    std::vector<std::uint8_t> idat(kIdatSize);
    std::vector<std::uint8_t> line(rowBytes + 1);
    std::vector<std::uint8_t> previous(rowBytes, 0);  // the row above the first row counts as zeros
    z_stream& z = deflater.stream();
    z.next_out = idat.data();
    z.avail_out = static_cast<uInt>(idat.size());

    // Runs zlib on what is queued; writes each full IDAT chunk.
    auto pump = [&](int flush) -> PngStatus {
        for (;;) {
            int r = deflate(&z, flush);
            if (r == Z_STREAM_ERROR) return PngStatus::CompressFailed;
            if (z.avail_out == 0) {
                if (!WriteChunk(f, "IDAT", idat.data(), idat.size())) return PngStatus::WriteFailed;
                z.next_out = idat.data();
                z.avail_out = static_cast<uInt>(idat.size());
                continue;
            }
            if (flush == Z_FINISH ? r == Z_STREAM_END : z.avail_in == 0) return PngStatus::Ok;
            if (r == Z_BUF_ERROR) return PngStatus::CompressFailed;  // no progress with room left
        }
    };

    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = rows(y);
        if (!row) return PngStatus::NoRow;
        line[0] = kFilterUp;
        for (std::size_t x = 0; x < rowBytes; ++x)
            line[x + 1] = static_cast<std::uint8_t>(row[x] - previous[x]);
        std::memcpy(previous.data(), row, rowBytes);
        z.next_in = line.data();
        z.avail_in = static_cast<uInt>(line.size());
        if (PngStatus s = pump(Z_NO_FLUSH); s != PngStatus::Ok) return s;
    }
    if (PngStatus s = pump(Z_FINISH); s != PngStatus::Ok) return s;
    std::size_t rest = idat.size() - z.avail_out;
    if (rest && !WriteChunk(f, "IDAT", idat.data(), rest)) return PngStatus::WriteFailed;
    if (!WriteChunk(f, "IEND", nullptr, 0)) return PngStatus::WriteFailed;
    if (!out.Commit()) return PngStatus::WriteFailed;
    return PngStatus::Ok;
}

}  // namespace view
