// Decoding and encoding a dense text page; throughput counts decoded bytes.
#include <benchmark/benchmark.h>

#include "bench_pages.h"
#include "formats/rle.h"

static void BM_DecodeDensePage(benchmark::State& state) {
    auto page = benchpages::DenseTextPage();
    auto coded = benchpages::Encode(page, benchpages::kBytesPerLine);
    std::vector<std::uint8_t> out(page.size());
    for (auto _ : state) {
        fax::LineDecoder d(benchpages::kBytesPerLine);
        // The readers' 2,048-byte pieces.
        std::size_t lines = 0;
        for (std::size_t pos = 0; pos < coded.size(); pos += 2048) {
            std::size_t n = std::min<std::size_t>(2048, coded.size() - pos);
            auto r = d.Decode(&coded[pos], n, &out[lines * benchpages::kBytesPerLine], benchpages::kLines - lines);
            lines += r.lines;
        }
        benchmark::DoNotOptimize(out.data());
        if (lines != benchpages::kLines) state.SkipWithError("page did not decode");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_DecodeDensePage);

static void BM_EncodeDensePage(benchmark::State& state) {
    auto page = benchpages::DenseTextPage();
    std::vector<std::uint8_t> out(2 * benchpages::kBytesPerLine);
    for (auto _ : state) {
        std::size_t total = 0;
        for (std::size_t off = 0; off < page.size(); off += benchpages::kBytesPerLine)
            total += fax::EncodeLine(&page[off], benchpages::kBytesPerLine, out.data());
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_EncodeDensePage);
