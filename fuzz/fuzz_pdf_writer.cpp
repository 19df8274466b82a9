// The PDF writer fed any bytes as its TIFF file (libtiff reads them).
#include <cstdint>
#include <tiffio.h>

#include "export/pdf_writer.h"
#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const std::string tif = fuzz::WriteScratch("in.tif", data, size);
    if (tif.empty()) return 0;
    (void)fax::TiffToPdf(tif, fuzz::ScratchPath("out.pdf"));
    return 0;
}
