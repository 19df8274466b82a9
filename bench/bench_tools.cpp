// The assembly tools on a 20-page dense fax, in-process: BreakUp's page copies and
// Build Long Fax's join, each writing real files into a temporary folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_pages.h"
#include "tools/breakup.h"
#include "tools/long_fax.h"

namespace {
struct Folder : benchpages::TempFolder {
    Folder() { benchpages::WriteDenseFax(File("dense20.dcx"), 20); }
};
}  // namespace

static void BM_BreakUp20Pages(benchmark::State& state) {
    Folder f;
    std::filesystem::create_directory(f.path / "out");
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& e : std::filesystem::directory_iterator(f.path / "out")) std::filesystem::remove(e.path());
        state.ResumeTiming();
        fax::BreakUp b(f.File("out"));
        auto r = b.Run(f.File("dense20.dcx"), "page", [](const fax::ToolMessage&) { return false; });
        if (r.written.size() != 20) state.SkipWithError("BreakUp failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(f.path / "dense20.dcx")));
}
BENCHMARK(BM_BreakUp20Pages)->Unit(benchmark::kMillisecond);

static void BM_LongFax20Pages(benchmark::State& state) {
    Folder f;
    for (auto _ : state) {
        if (!fax::BuildLongFax(f.File("dense20.dcx"), f.File("long.dcx")).ok) state.SkipWithError("join failed");
        state.PauseTiming();
        std::filesystem::remove(f.path / "long.dcx");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(f.path / "dense20.dcx")));
}
BENCHMARK(BM_LongFax20Pages)->Unit(benchmark::kMillisecond);
