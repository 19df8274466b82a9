// The printing engine drawing onto a raster device of a small 100 dpi sheet; the input's
// length chooses the scaling, aspect mode, darkness and blank-page setting. The sheets are dropped.
#include <cstdint>

#include "fuzz_files.h"
#include "print/print_engine.h"
#include "print/sheet_raster.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratch("print.dcx", data, size);
    if (path.empty()) return 0;
    using namespace fax::print;
    DeviceGeometry geometry;
    geometry.dpiX = geometry.dpiY = 100;
    geometry.printableWidth = 800;
    geometry.printableHeight = 1000;
    const unsigned aspect = size % 2, light = size / 2 % 2, blank = size / 4 % 2, scaling = 1 + size / 8 % 3;
    PrintFile file;
    if (!file.Open(path).ok) return 0;
    const unsigned last = file.pageCount() < 3 ? file.pageCount() : 3;
    if (last == 0) return 0;
    SheetRaster device(geometry.printableWidth, geometry.printableHeight, [](const Sheet&, unsigned) { return true; });
    auto options = PrintOptions::FromSettings(scaling, aspect, light ? 1 : 2, blank);
    (void)PrintPages(file, 1, last, options, geometry, device, PrintHooks{});
    return 0;
}
