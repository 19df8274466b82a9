// The page printing engine on a dense 1728 x 2200 page, in-process, handing its bands to a
// device that only looks at them: HP 300 X 300 bands at 300 dpi, and a whole page scaled
// to a 600-dpi printer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_pages.h"
#include "print/print_engine.h"

namespace {

using namespace fax::print;

struct Folder {
    std::filesystem::path path;
    Folder() {
        char tmpl[] = "/tmp/vantorel-bench-XXXXXX";
        path = mkdtemp(tmpl);
        benchpages::WriteDenseFax((path / "dense1.dcx").string(), 1);
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

// Counts the draws and reads one byte of every bitmap row, so nothing is optimised away.
struct LookingDevice : PrintDevice {
    std::int64_t draws = 0, rows = 0;
    unsigned sum = 0;
    void StartPage() override {}
    void EndPage() override {}
    void Draw(const MonoBitmap& b, const Rect&, const Rect&, Blit) override {
        ++draws;
        rows += b.height;
        for (int y = 0; y < b.height; ++y) sum += b.bits[static_cast<std::size_t>(y) * b.stride];
    }
};

void PrintLoop(benchmark::State& state, const PrintOptions& options, const DeviceGeometry& geometry) {
    Folder f;
    PrintFile file;
    if (!file.Open((f.path / "dense1.dcx").string()).ok) {
        state.SkipWithError("cannot open the dense fax");
        return;
    }
    LookingDevice device;
    for (auto _ : state) {
        if (PrintPage(file, 1, options, geometry, device).result != PageResult::Printed) state.SkipWithError("not printed");
        benchmark::DoNotOptimize(device.sum);
    }
    state.counters["draws/page"] = static_cast<double>(device.draws) / static_cast<double>(state.iterations());
    state.counters["rows/page"] = static_cast<double>(device.rows) / static_cast<double>(state.iterations());
}

}  // namespace

static void BM_PrintPageHp300Bands300dpi(benchmark::State& state) {
    PrintOptions o;
    o.scaling = Scaling::Hp300;
    o.scaleToPrinter = false;
    PrintLoop(state, o, DeviceGeometry{2400, 3150, 300, 300});
}
BENCHMARK(BM_PrintPageHp300Bands300dpi)->Unit(benchmark::kMillisecond);

static void BM_PrintPageScaleToPrinter600dpi(benchmark::State& state) {
    PrintOptions o;
    o.scaleToPrinter = true;
    PrintLoop(state, o, DeviceGeometry{4800, 6300, 600, 600});
}
BENCHMARK(BM_PrintPageScaleToPrinter600dpi)->Unit(benchmark::kMillisecond);
