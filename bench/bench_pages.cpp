#include "bench_pages.h"

#include <cstdlib>

#include "formats/dcx.h"
#include "formats/pcx.h"
#include "formats/rle.h"

namespace benchpages {

TempFolder::TempFolder() {
    char tmpl[] = "/tmp/vantorel-bench-XXXXXX";
    path = mkdtemp(tmpl) ? tmpl : "/tmp";
}

TempFolder::~TempFolder() {
    if (path != "/tmp") std::filesystem::remove_all(path);
}

std::vector<std::uint8_t> DenseTextPage(unsigned seed) {
    std::vector<std::uint8_t> page(kBytesPerLine * kLines, 0xFF);
    std::uint32_t s = seed * 747796405u + 1;
    auto rnd = [&] { return (s = s * 1664525u + 1013904223u) >> 8; };
    // Lines of text 32 pixels high with 16-pixel gaps; glyphs as short black strokes.
    for (std::size_t y = 150; y + 32 < kLines - 150; y += 48) {
        for (std::size_t x = 20; x < kBytesPerLine - 20;) {
            std::size_t word = 2 + rnd() % 6;
            for (std::size_t gy = 4; gy < 28; ++gy) {
                std::uint8_t* row = &page[(y + gy) * kBytesPerLine];
                for (std::size_t k = 0; k < word && x + k < kBytesPerLine - 20; ++k) {
                    std::uint32_t r = rnd();
                    row[x + k] = static_cast<std::uint8_t>(~((r & 0x81) | ((r >> 3) & 0x18)));
                }
            }
            x += word + 1;
        }
    }
    return page;
}

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& page, std::size_t bpl) {
    std::vector<std::uint8_t> out;
    out.reserve(page.size());
    for (std::size_t off = 0; off + bpl <= page.size(); off += bpl) fax::EncodeLine(&page[off], bpl, out);
    return out;
}

void WriteDenseFax(const std::string& path, unsigned pages) {
    fax::DcxWriter w(path);
    w.Create();
    for (unsigned i = 0; i < pages; ++i) {
        auto header = fax::PcxHeader::Compose(kBytesPerLine, kLines);
        auto data = Encode(DenseTextPage(i + 1), kBytesPerLine);
        w.AppendPageHeader(header.bytes.data());
        w.AppendData(data.data(), data.size());
        w.RewriteTable();
    }
    w.Finish();
}

}  // namespace benchpages
