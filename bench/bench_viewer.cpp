// The page display: decoding and reducing a page into the grey surface.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_pages.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "formats/rle.h"
#include "render/page_surface.h"

namespace {

constexpr int kDesktop = 1024;
constexpr unsigned kLongPages = 40;  // 88,000 lines in one page
constexpr unsigned kDcxPages = 1023;

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("vantorel-bench-" + name)).string();
}

// One page of kLongPages dense pages stacked, as Build Long Fax would make it.
void WriteLongPage(const std::string& path) {
    const std::uint32_t lines = static_cast<std::uint32_t>(benchpages::kLines * kLongPages);
    fax::File f = fax::File::Create(path);
    auto header = fax::PcxHeader::Compose(benchpages::kBytesPerLine, lines);
    f.WriteAll(header.bytes.data(), header.bytes.size());
    for (unsigned i = 0; i < kLongPages; ++i) {
        auto data = benchpages::Encode(benchpages::DenseTextPage(i + 1), benchpages::kBytesPerLine);
        f.WriteAll(data.data(), data.size());
    }
}

// A 24-bit colour picture of fax size (1728 x 2200): smooth ramps with hard-edged blocks.
void WriteColourPicture(const std::string& path) {
    constexpr std::uint16_t kW = benchpages::kBytesPerLine * 8;
    constexpr std::uint32_t kH = benchpages::kLines;
    auto header = fax::PcxHeader::Compose(kW, kH);
    header.bytes[fax::PcxHeader::kBitsPerPixel] = 8;
    header.bytes[fax::PcxHeader::kNPlanes] = 3;
    fax::WriteLe16(&header.bytes[fax::PcxHeader::kXmax], kW - 1);
    fax::File f = fax::File::Create(path);
    f.WriteAll(header.bytes.data(), header.bytes.size());
    std::vector<std::uint8_t> line(kW * 3), out;
    for (std::uint32_t y = 0; y < kH; ++y) {
        for (std::uint32_t x = 0; x < kW; ++x) {
            const bool block = (x / 64 + y / 64) % 3 == 0;
            line[x] = block ? 200 : static_cast<std::uint8_t>(x / 8);
            line[kW + x] = block ? 40 : static_cast<std::uint8_t>(y / 9);
            line[2 * kW + x] = static_cast<std::uint8_t>((x + y) / 16);
        }
        out.clear();
        fax::EncodeLine(line.data(), line.size(), out);
        f.WriteAll(out.data(), out.size());
    }
}

void RenderLoop(benchmark::State& state, const std::string& path) {
    fax::FaxReader reader;
    if (!reader.Open(path) || reader.ReadLayout() != fax::PageError::None) {
        state.SkipWithError("cannot open the page");
        return;
    }
    view::PageSurface surface;
    const view::Zoom zoom = view::DefaultSizeAtStartup(kDesktop);
    std::int64_t height = 0;
    for (auto _ : state) {
        auto outcome = view::RenderPage(reader, 1, zoom, surface);
        if (!outcome.ok()) state.SkipWithError("render failed");
        height = outcome.height;
        benchmark::DoNotOptimize(surface.tiles().data());
    }
    state.counters["rows"] = static_cast<double>(height);
    state.counters["surfaceMB"] = static_cast<double>(surface.bytes()) / 1e6;
}

// Writes a page file with `write`, renders it in the loop and removes it.
void RenderWritten(benchmark::State& state, const std::string& name, void (*write)(const std::string&)) {
    const std::string path = TempPath(name);
    write(path);
    RenderLoop(state, path);
    std::filesystem::remove(path);
}

}  // namespace

// A dense 1728 x 2200 text page at Default Size on a 1,024-pixel desktop: decode and reduce.
static void BM_RenderDensePage(benchmark::State& state) {
    std::string path = TempPath("dense.dcx");
    benchpages::WriteDenseFax(path, 1);
    RenderLoop(state, path);
    std::filesystem::remove(path);
}
BENCHMARK(BM_RenderDensePage)->Unit(benchmark::kMillisecond);

// The reduction alone, for the same page decoded in memory.
static void BM_ReduceDensePage(benchmark::State& state) {
    auto page = benchpages::DenseTextPage();
    const view::Zoom zoom = view::DefaultSizeAtStartup(kDesktop);
    const int h = static_cast<int>(view::BandHeight(benchpages::kLines, zoom.heightFactor()));
    std::vector<std::uint8_t> out(static_cast<std::size_t>(zoom.surfaceWidth()) * h);
    for (auto _ : state) {
        view::ReduceBand(page.data(), benchpages::kBytesPerLine, benchpages::kLines, zoom.displayWidth(), h,
                         out.data(), zoom.surfaceWidth(), static_cast<std::size_t>(zoom.surfaceWidth()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_ReduceDensePage)->Unit(benchmark::kMillisecond);

// A 24-bit colour picture of fax size at Default Size: decode, luminance and reduction.
static void BM_RenderColourPicture(benchmark::State& state) { RenderWritten(state, "colour.pcx", WriteColourPicture); }
BENCHMARK(BM_RenderColourPicture)->Unit(benchmark::kMillisecond);

// 88,000 lines in one page (taller than 16 bits can count).
static void BM_RenderLongPage(benchmark::State& state) { RenderWritten(state, "long.pcx", WriteLongPage); }
BENCHMARK(BM_RenderLongPage)->Unit(benchmark::kMillisecond);

// Opening a 1,023-page DCX and showing its first page.
static void BM_OpenFirstPageOfFullDcx(benchmark::State& state) {
    std::string path = TempPath("full.dcx");
    benchpages::WriteDenseFax(path, kDcxPages);
    const view::Zoom zoom = view::DefaultSizeAtStartup(kDesktop);
    view::PageSurface surface;
    for (auto _ : state) {
        fax::FaxReader reader;
        if (!reader.Open(path) || reader.ReadLayout() != fax::PageError::None || reader.pageCount() != kDcxPages) {
            state.SkipWithError("cannot open the fax");
            break;
        }
        auto outcome = view::RenderPage(reader, 1, zoom, surface);
        if (!outcome.ok()) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(surface.tiles().data());
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_OpenFirstPageOfFullDcx)->Unit(benchmark::kMillisecond);
