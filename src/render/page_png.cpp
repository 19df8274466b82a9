#include "render/page_png.h"

#include <algorithm>

#include "render/grey_png.h"

namespace view {

PagePng WritePagePng(fax::FaxReader& reader, unsigned number, const Zoom& zoom, const std::string& out,
                     std::int64_t maxRows) {
    PagePng r;
    PageSurface surface;
    r.outcome = RenderPage(reader, number, zoom, surface);
    if (!r.outcome.ok()) {
        for (const std::string& t : RenderFailureTexts(r.outcome)) r.error += (r.error.empty() ? "" : "\n") + t;
        return r;
    }
    r.width = surface.width();
    r.height = std::min(surface.height(), std::max<std::int64_t>(maxRows, 0));
    PngStatus s = WriteGreyPng(out, static_cast<std::uint32_t>(r.width),
                               static_cast<std::uint32_t>(std::min<std::int64_t>(r.height, UINT32_MAX)),
                               [&](std::uint32_t y) { return surface.Row(y); }, surface.channels());
    if (s != PngStatus::Ok) r.error = PngStatusText(s, out);
    return r;
}

}  // namespace view
