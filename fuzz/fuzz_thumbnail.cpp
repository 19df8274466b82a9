// The desktop's thumbnailer: the first page of any file as a small PNG.
#include <cstdint>

#include "fuzz_files.h"
#include "thumbnailer/thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in = fuzz::WriteScratch("thumb.dcx", data, size);
    if (in.empty()) return 0;
    (void)view::WriteThumbnail(in, 128, fuzz::ScratchPath("thumb.png"));
    return 0;
}
