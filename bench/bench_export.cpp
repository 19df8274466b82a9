// The export's kernels on one dense text page: the Modified Huffman row coder alone,
// the whole page to a Group 3 TIFF, its Group 3 strip recoded to Group 4 alone, and that
// TIFF to a Group 4 PDF.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench_pages.h"
#include "export/g3_decoder.h"
#include "export/g4_coder.h"
#include "export/mh_codes.h"
#include "export/pdf_writer.h"
#include "export/tiff_writer.h"
#include "formats/file_io.h"

namespace {

// A scratch folder holding one dense page as a PCX file and as our TIFF.
struct Scratch {
    std::string dir, pcx, tif, pdf;
    Scratch() {
        char tmpl[] = "/tmp/vantorel-bench-export-XXXXXX";
        dir = mkdtemp(tmpl) ? tmpl : "/tmp";
        pcx = dir + "/dense.pcx";
        tif = dir + "/dense.tif";
        pdf = dir + "/dense.pdf";
        benchpages::WriteDenseFax(dir + "/dense.dcx", 1);
        // The DCX's one page, as a PCX of its own.
        fax::File in = fax::File::OpenRead(dir + "/dense.dcx");
        fax::File out = fax::File::Create(pcx);
        std::vector<std::uint8_t> all(static_cast<std::size_t>(in.Size()));
        in.Read(all.data(), all.size());
        out.WriteAll(all.data() + 4096, all.size() - 4096);
    }
    // The page written as our TIFF.
    void WriteTiff() const {
        fax::File in = fax::File::OpenRead(pcx);
        fax::File out = fax::File::Create(tif);
        fax::TiffWriter writer;
        writer.WriteFaxTiff(in, out);
    }
    ~Scratch() {
        for (const std::string& f : {pcx, tif, pdf, dir + "/dense.dcx"}) std::remove(f.c_str());
        rmdir(dir.c_str());
    }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

}  // namespace

static void BM_CodeDensePageRows(benchmark::State& state) {
    auto page = benchpages::DenseTextPage();
    std::vector<std::uint8_t> out(fax::MhLineBytesMax(fax::kFaxWidth));
    std::vector<std::uint32_t> changes(fax::ChangeCapacity(fax::kFaxWidth));
    for (auto _ : state) {
        std::size_t total = 0;
        for (std::size_t off = 0; off < page.size(); off += benchpages::kBytesPerLine) {
            const std::size_t n = fax::FindChanges(&page[off], fax::kFaxWidth, false, changes.data());
            total += fax::CodeMhLine(changes.data(), n, fax::kFaxWidth, out.data());
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_CodeDensePageRows);

static void BM_DensePageToTiff(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) {
        fax::File in = fax::File::OpenRead(s.pcx);
        fax::File out = fax::File::Create(s.tif);
        fax::TiffWriter writer;
        if (writer.WriteFaxTiff(in, out) != 1) state.SkipWithError("TIFF not written");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 216 * 2200);
}
BENCHMARK(BM_DensePageToTiff)->Unit(benchmark::kMillisecond);

static void BM_DenseTiffToPdf(benchmark::State& state) {
    Scratch& s = Files();
    s.WriteTiff();
    for (auto _ : state)
        if (fax::TiffToPdf(s.tif, s.pdf) != 0) state.SkipWithError("PDF not written");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 216 * 2200);
}
BENCHMARK(BM_DenseTiffToPdf)->Unit(benchmark::kMillisecond);

// The TIFF's Group 3 strip decoded into changing elements and coded to Group 4, nothing
// else: bytes are the page's decoded pixels.
static void BM_DenseGroup3ToGroup4(benchmark::State& state) {
    Scratch& s = Files();
    s.WriteTiff();
    fax::File tif = fax::File::OpenRead(s.tif);
    // Our TIFF of one page: the strip from byte 8 up to the directory block.
    std::uint8_t header[8];
    tif.Read(header, sizeof header);
    const std::uint64_t strip = (header[4] | header[5] << 8 | header[6] << 16 | std::uint64_t{header[7]} << 24) - 16 - 8;
    std::uint64_t coded = 0;
    for (auto _ : state) {
        fax::G3Decoder decoder(fax::kFaxWidth, true);
        fax::G4Coder coder(fax::kFaxWidth);
        decoder.Start(tif, 8, strip);
        for (std::size_t y = 0; y < benchpages::kLines; ++y) {
            const std::ptrdiff_t n = decoder.Row(coder.NextLine());
            if (n < 0) {
                state.SkipWithError("row not decoded");
                break;
            }
            coder.CodeLine(static_cast<std::size_t>(n));
            if (coder.size() >= 64 * 1024) coder.Clear();
        }
        coder.Finish();
        coded = coder.total();
    }
    state.counters["g4_bytes"] = static_cast<double>(coded);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 216 * 2200);
}
BENCHMARK(BM_DenseGroup3ToGroup4)->Unit(benchmark::kMillisecond);
