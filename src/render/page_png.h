// One page as the viewer shows it, written as a grey PNG: the render command and the
// file-manager thumbnailer share this path so their pictures are the same.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "formats/fax_reader.h"
#include "render/page_surface.h"
#include "render/zoom.h"

namespace view {

struct PagePng {
    RenderOutcome outcome;
    int width = 0;            // of the PNG written
    std::int64_t height = 0;
    std::string error;        // the message when nothing was written; empty on success
    bool ok() const { return error.empty(); }
};

// Renders page `number` of `reader` (layout already read) at `zoom` and writes the surface,
// cut to its first maxRows rows, to `out` (replaced only when complete).
PagePng WritePagePng(fax::FaxReader& reader, unsigned number, const Zoom& zoom, const std::string& out,
                     std::int64_t maxRows = std::numeric_limits<std::int64_t>::max());

}  // namespace view
