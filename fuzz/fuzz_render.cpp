// The viewer's render path: the page table, the page decoder and the page surface, at the
// default size of a common desktop and at 100%.
#include <cstdint>

#include "formats/fax_reader.h"
#include "fuzz_files.h"
#include "viewer/page_surface.h"
#include "viewer/zoom.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratch("page.dcx", data, size);
    fax::FaxReader reader;
    if (path.empty() || !reader.Open(path) || reader.ReadLayout() != fax::PageError::None) return 0;
    constexpr std::size_t kCap = 64u << 20;  // keeps a run inside the fuzzer's memory limit
    constexpr int kDesktop = 1280;
    view::Zoom zooms[2] = {view::DefaultSizeAtStartup(kDesktop), {}};
    view::ZoomForCommand(kDesktop, view::kZoomLastCommand, zooms[1]);
    const unsigned pages = reader.pageCount() < 3 ? reader.pageCount() : 3;
    for (unsigned n = 1; n <= pages; ++n) {
        for (const auto& zoom : zooms) {
            view::PageSurface surface;
            auto outcome = view::RenderPage(reader, n, zoom, surface, {}, kCap);
            if (outcome.ok() && surface.height() > 0) {
                std::vector<std::uint8_t> row(static_cast<std::size_t>(surface.width()));
                surface.CopyRows(surface.height() - 1, 1, row.data(), row.size());
            }
            (void)view::RenderFailureTexts(outcome);
        }
    }
    return 0;
}
