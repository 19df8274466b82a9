// The TIFF writer: a fax in, a TIFF file out. Whatever it reports as written must be a TIFF
// that libtiff reads back with one directory per page.
#include <cstdint>
#include <cstdlib>
#include <tiffio.h>

#include "export/tiff_writer.h"
#include "formats/file_io.h"
#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const std::string in = fuzz::WriteScratch("in.dcx", data, size);
    const std::string out = fuzz::ScratchPath("out.tif");
    fax::File input = fax::File::OpenRead(in);
    fax::File output = fax::File::Create(out);
    if (!input || !output) return 0;
    fax::TiffWriter writer(64u << 20);
    const int written = writer.WriteFaxTiff(input, output);
    output.Close();
    if (written != 1) return 0;
    TIFF* tif = TIFFOpen(out.c_str(), "r");
    if (tif == nullptr) std::abort();  // reported written, but not a TIFF
    std::uint32_t directories = 0;
    do ++directories;
    while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    if (directories != writer.pagesWritten()) std::abort();
    return 0;
}
