// Zoom/Edit's conversions on a dense 1728 x 2200 page, in-process with real files: the
// page to the bitmap a paint program opens, and that bitmap back to a page.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_pages.h"
#include "formats/pcx.h"
#include "zoomedit/bitmap_file.h"

namespace {
struct Folder : benchpages::TempFolder {
    Folder() {
        auto header = fax::PcxHeader::Compose(benchpages::kBytesPerLine, benchpages::kLines);
        auto data = benchpages::Encode(benchpages::DenseTextPage(1), benchpages::kBytesPerLine);
        std::ofstream out(File("dense.pcx"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.bytes.data()), header.bytes.size());
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
};
}  // namespace

static void BM_PageToBitmap(benchmark::State& state) {
    Folder f;
    for (auto _ : state) {
        // Zoom/Edit removes its bitmap at the end of every run.
        state.PauseTiming();
        std::filesystem::remove(f.path / "zoomedit.bmp");
        state.ResumeTiming();
        if (!fax::PageToBitmap(f.File("dense.pcx"), f.File("zoomedit.bmp")).ok) state.SkipWithError("page to bitmap failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(f.path / "zoomedit.bmp")));
}
BENCHMARK(BM_PageToBitmap)->Unit(benchmark::kMillisecond);

// Work: the edited page of a DCX into zoomedit.pcx. Keep: a PCX fax converted in place,
// flushed to the disk before it replaces the fax.
static void BM_BitmapToPage(benchmark::State& state, fax::Placement placement) {
    Folder f;
    if (!fax::PageToBitmap(f.File("dense.pcx"), f.File("zoomedit.bmp")).ok) state.SkipWithError("no bitmap");
    for (auto _ : state)
        if (!fax::BitmapToPage(f.File("zoomedit.bmp"), f.File("zoomedit.pcx"), placement).ok)
            state.SkipWithError("bitmap to page failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(f.path / "zoomedit.bmp")));
}
BENCHMARK_CAPTURE(BM_BitmapToPage, work_file, fax::Placement::Work)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BitmapToPage, fax_in_place, fax::Placement::Keep)->Unit(benchmark::kMillisecond);
