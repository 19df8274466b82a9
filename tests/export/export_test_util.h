// Shared helpers of the export tests: run the TIFF writer on fixture bytes, and read
// TIFFs back with libtiff (an independent decoder of the Group 3 data).
#pragma once

#include <tiffio.h>

#include <cstdint>
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

inline std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::uint16_t Le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace exporttest
