// Shared helpers of the export tests: run the TIFF writer on fixture bytes, read TIFFs
// back with libtiff (an independent decoder of the Group 3 data), and the Group 4 images
// libtiff's coder makes, the reference for the PDF writer's.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/tiff_writer.h"
#include "support/test_files.h"

namespace exporttest {

using testing_support::Bytes;

struct TiffRun {
    int result = 0;
    fax::ExportError error = fax::ExportError::None;
    Bytes tiff;
};

// Writes `faxBytes` to `faxPath`, converts it into `tifPath` with `writer`.
inline TiffRun RunTiffWriter(const Bytes& faxBytes, const std::string& faxPath, const std::string& tifPath,
                             fax::TiffWriter& writer) {
    testing_support::WriteBytes(faxPath, faxBytes);
    TiffRun run;
    fax::File in = fax::File::OpenRead(faxPath);
    fax::File out = fax::File::Create(tifPath);
    if (!in || !out) return run;
    run.result = writer.WriteFaxTiff(in, out);
    run.error = writer.exportError();
    in.Close();
    out.Close();
    run.tiff = testing_support::ReadBytes(tifPath);
    return run;
}

inline TiffRun RunTiffWriter(const Bytes& faxBytes, const testing_support::TempDir& dir) {
    fax::TiffWriter writer;
    return RunTiffWriter(faxBytes, dir.File("in.dcx"), dir.File("out.tif"), writer);
}

struct DecodedPage {
    std::uint32_t width = 0;
    std::uint32_t length = 0;
    std::uint16_t photometric = 0;
    float xres = 0, yres = 0;
    Bytes rows;  // as libtiff delivers them: for WhiteIsZero 1 = black
};

// Every page of the TIFF, decoded by libtiff; `ok` false when libtiff fails anywhere.
inline std::vector<DecodedPage> DecodeTiff(const std::string& path, bool& ok) {
    std::vector<DecodedPage> pages;
    ok = false;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return pages;
    do {
        DecodedPage p;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.length);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric);
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &p.xres);
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &p.yres);
        tmsize_t line = TIFFScanlineSize(tif);
        p.rows.resize(static_cast<std::size_t>(line) * p.length);
        for (std::uint32_t y = 0; y < p.length; ++y) {
            if (TIFFReadScanline(tif, p.rows.data() + static_cast<std::size_t>(line) * y, y) < 0) {
                TIFFClose(tif);
                return pages;
            }
        }
        pages.push_back(std::move(p));
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    ok = true;
    return pages;
}

// Fax pixels (1 = white, `bpl` bytes a line) as a WhiteIsZero TIFF of 216-byte rows
// delivers them: inverted, and white beyond the fax's width.
inline Bytes AsTiffRows(const Bytes& pixels, std::size_t bpl) {
    std::size_t lines = pixels.size() / bpl;
    Bytes out(lines * 216, 0x00);
    for (std::size_t y = 0; y < lines; ++y)
        for (std::size_t x = 0; x < bpl && x < 216; ++x)
            out[y * 216 + x] = static_cast<std::uint8_t>(~pixels[y * bpl + x]);
    return out;
}

// The fields of a one-strip WhiteIsZero page.
inline void SetBilevel(TIFF* t, std::uint32_t width, std::uint32_t rows, std::uint32_t compression, std::uint32_t fillOrder) {
    for (auto [tag, value] : {std::pair<ttag_t, std::uint32_t>{TIFFTAG_IMAGEWIDTH, width}, {TIFFTAG_IMAGELENGTH, rows},
                              {TIFFTAG_ROWSPERSTRIP, rows}, {TIFFTAG_BITSPERSAMPLE, 1}, {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE},
                              {TIFFTAG_FILLORDER, fillOrder}, {TIFFTAG_COMPRESSION, compression}})
        TIFFSetField(t, tag, value);
}

// A one-strip TIFF of bytes coded by our coders.
inline std::string CodedTiff(const testing_support::TempDir& dir, const std::string& name, std::uint32_t width,
                             std::uint32_t rows, std::uint16_t compression, std::uint16_t fillOrder, const Bytes& strip) {
    const std::string path = dir.File(name);
    TIFF* t = TIFFOpen(path.c_str(), "w");
    SetBilevel(t, width, rows, compression, fillOrder);
    TIFFWriteRawStrip(t, 0, const_cast<std::uint8_t*>(strip.data()), static_cast<tmsize_t>(strip.size()));
    TIFFClose(t);
    return path;
}

// libtiff's Group 4 coder on `rows` rows given by `row` (1 = black), as the PDF writer
// coded its images before it had a coder of its own: the strip of a TIFF it writes at
// `scratch`. False when a row cannot be had or the coder fails.
inline bool LibtiffG4(const std::string& scratch, std::uint32_t width, std::uint32_t rows,
                      const std::function<bool(std::uint32_t, std::uint8_t*)>& row, Bytes& out) {
    TIFF* g4 = TIFFOpen(scratch.c_str(), "w");
    SetBilevel(g4, width, rows, COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB);
    Bytes line(static_cast<std::size_t>(TIFFScanlineSize(g4)));
    bool ok = true;
    for (std::uint32_t y = 0; ok && y < rows; ++y) ok = row(y, line.data()) && TIFFWriteScanline(g4, line.data(), y, 0) >= 0;
    TIFFClose(g4);
    TIFF* t = ok ? TIFFOpen(scratch.c_str(), "r") : nullptr;
    if (!t) return false;
    out.resize(static_cast<std::size_t>(TIFFGetStrileByteCount(t, 0)));
    ok = TIFFReadRawStrip(t, 0, out.data(), static_cast<tmsize_t>(out.size())) >= 0;
    TIFFClose(t);
    return ok;
}

// The reference images of every page of a TIFF: libtiff's decoder's rows through its
// coder. `ok` is false when libtiff fails on a page.
inline std::vector<Bytes> LibtiffG4Pages(const std::string& path, bool& ok) {
    std::vector<Bytes> pages;
    TIFF* in = TIFFOpen(path.c_str(), "r");
    ok = in != nullptr;
    while (ok) {
        std::uint32_t w = 0, h = 0;
        TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(in, TIFFTAG_IMAGELENGTH, &h);
        pages.emplace_back();
        ok = LibtiffG4(path + ".g4", w, h, [&](std::uint32_t y, std::uint8_t* line) { return TIFFReadScanline(in, line, y, 0) >= 0; },
                       pages.back());
        if (!TIFFReadDirectory(in)) break;
    }
    if (in) TIFFClose(in);
    return pages;
}

// The image streams of a PDF in page order (ours or tiff2pdf's: either line end).
inline std::vector<Bytes> PdfImageStreams(const Bytes& pdf) {
    const std::string s(pdf.begin(), pdf.end());
    std::vector<Bytes> images;
    for (std::size_t at = s.find("/CCITTFaxDecode"); at != std::string::npos; at = s.find("/CCITTFaxDecode", at + 1)) {
        const std::size_t ref = s.rfind("/Length ", at) + 8;
        const std::string object = s.substr(ref, s.find(' ', ref) - ref) + " 0 obj";
        std::size_t start = s.find("stream", at) + 6;
        start += s[start] == '\r' ? 2 : 1;
        const std::size_t length = std::stoul(s.substr(s.find(object, start) + object.size() + 1, 12));
        images.emplace_back(pdf.begin() + static_cast<std::ptrdiff_t>(start),
                            pdf.begin() + static_cast<std::ptrdiff_t>(start + length));
    }
    return images;
}

inline std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::uint16_t Le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace exporttest
