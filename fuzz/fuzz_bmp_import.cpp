// Zoom/Edit's way back: any bitmap file to a black and white PCX page.
#include <cstdint>

#include "fuzz_files.h"
#include "zoomedit/bitmap_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bmp = fuzz::WriteScratch("in.bmp", data, size);
    if (bmp.empty()) return 0;
    (void)fax::BitmapToPage(bmp, fuzz::ScratchPath("out.pcx"));
    return 0;
}
