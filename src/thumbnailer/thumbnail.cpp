#include "thumbnailer/thumbnail.h"

#include <algorithm>

#include "formats/fax_reader.h"
#include "formats/file_io.h"
#include "render/page_png.h"
#include "render/page_surface.h"
#include "render/zoom.h"

namespace view {

int ThumbnailDesktopWidth(const fax::FaxReader::Page& page, int size) {
    const std::uint32_t lines = std::min(page.lines, page.decodableLines);
    size = std::clamp(size, kThumbnailMinSize, kThumbnailMaxSize);
    const int step = kSurfaceWidthStep;
    int width = std::min(kThumbnailMaxWidth, size / step * step);
    const int narrowest = std::max(step, size / 2 / step * step);
    while (width > narrowest && ShownHeight(page, lines, DefaultSizeAtStartup(width)) > size)
        width -= step;
    return width;
}

std::string WriteThumbnail(const std::string& input, int size, const std::string& output) {
    if (size < kThumbnailMinSize || size > kThumbnailMaxSize)
        return "The size must be from " + std::to_string(kThumbnailMinSize) + " to " +
               std::to_string(kThumbnailMaxSize) + ".";
    if (fax::SameFile(input, output)) return "The thumbnail would replace the fax itself:\n" + output;
    // Only regular files: opening a FIFO would wait for a writer that never comes.
    if (!fax::FileExists(input)) return "Can not access:\n" + input;
    fax::FaxReader reader;
    if (!reader.Open(input)) return "Can not open:\n" + input;
    if (auto e = reader.ReadLayout(); e != fax::PageError::None) return fax::PageErrorText(e);
    fax::FaxReader::Page page;
    if (auto e = reader.LoadPage(1, page); e != fax::PageError::None) return fax::PageErrorText(e);
    const int desktop = ThumbnailDesktopWidth(page, size);
    PagePng png = WritePagePng(reader, 1, DefaultSizeAtStartup(desktop), output, size);
    return png.error;
}

}  // namespace view
