// The viewer's render path: the page table, the page decoder and the page surface. Each input
// is drawn at one zoom, chosen by its length among Default Size and the zoom commands, so the
// slow full-size pages do not dominate the run.
#include <cstdint>

#include "formats/fax_reader.h"
#include "fuzz_files.h"
#include "render/page_surface.h"
#include "render/zoom.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratch("page.dcx", data, size);
    fax::FaxReader reader;
    if (path.empty() || !reader.Open(path) || reader.ReadLayout() != fax::PageError::None) return 0;
    constexpr std::size_t kCap = 64u << 20;  // keeps a run inside the fuzzer's memory limit
    constexpr int kDesktop = 1280;
    constexpr int kChoices = view::kZoomLastCommand - view::kZoomDefaultCommand + 2;
    const int choice = static_cast<int>(size % kChoices);
    view::Zoom zoom = view::DefaultSizeAtStartup(kDesktop);
    if (choice > 0) view::ZoomForCommand(kDesktop, view::kZoomDefaultCommand + choice - 1, zoom);
    const unsigned pages = reader.pageCount() < 2 ? reader.pageCount() : 2;
    for (unsigned n = 1; n <= pages; ++n) {
        view::PageSurface surface;
        auto outcome = view::RenderPage(reader, n, zoom, surface, {}, kCap);
        if (outcome.ok() && surface.height() > 0) {
            // A colour picture has three bytes a pixel.
            std::vector<std::uint8_t> row(static_cast<std::size_t>(surface.width()) *
                                          static_cast<std::size_t>(surface.channels()));
            surface.CopyRows(surface.height() - 1, 1, row.data(), row.size());
        }
        (void)view::RenderFailureTexts(outcome);
    }
    return 0;
}
