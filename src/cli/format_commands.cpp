// info, check and pbm: the commands over the format core.
#include <cstdio>
#include <vector>

#include "cli/commands.h"
#include "formats/fax_check.h"
#include "formats/fax_reader.h"

namespace cli {

int Info(const std::vector<std::string>& args);
int Check(const std::vector<std::string>& args);
int Pbm(const std::vector<std::string>& args);

std::vector<Command> FormatCommands() {
    return {
        {"info", 1, 1, Info, "info FAX                      kind, page count and where each page lies"},
        {"check", 1, 1, Check, "check FAX                     whether FAX is a fax file that can be opened"},
        {"pbm", 3, 3, Pbm, "pbm FAX PAGE OUT.pbm          page PAGE (1-based) decoded as a binary PBM"},
    };
}

namespace {
std::string CannotOpen(const std::string& path) { return "Can not open:\n" + path; }
}  // namespace

int Info(const std::vector<std::string>& args) {
    const std::string& path = args[0];
    fax::FaxReader reader;
    if (!reader.Open(path)) return Fail(CannotOpen(path));
    if (auto e = reader.ReadLayout(); e != fax::PageError::None) return Fail(fax::PageErrorText(e));
    std::printf("kind %s\npages %u\n", reader.kind() == fax::FaxKind::Dcx ? "DCX" : "PCX", reader.pageCount());
    for (unsigned n = 1; n <= reader.pageCount(); ++n) {
        std::uint64_t offset = reader.kind() == fax::FaxKind::Dcx ? reader.table().Slot(n) : 0;
        std::uint8_t head[fax::kPcxHeaderSize];
        if (!reader.file().Seek(offset) ||
            reader.file().Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head))
            return Fail(fax::PageErrorText(fax::PageError::ShortHeader));
        fax::PcxHeader h = fax::PcxHeader::FromBytes(head);
        std::printf("page %u offset %llu bytes-per-line %u lines %u\n", n,
                    static_cast<unsigned long long>(offset), h.bytesPerLine(), h.LineCount());
    }
    return kOk;
}

int Check(const std::vector<std::string>& args) {
    fax::FaxCheck check = fax::CheckFaxFile(args[0]);
    if (!check.ok()) return Fail(check.message);
    std::printf("ok\n");
    return kOk;
}

int Pbm(const std::vector<std::string>& args) {
    const std::string& path = args[0];
    unsigned number = 0;
    if (!ParsePage(args[1], number)) return kUsage;
    fax::FaxReader reader;
    if (!reader.Open(path)) return Fail(CannotOpen(path));
    if (auto e = reader.ReadLayout(); e != fax::PageError::None) return Fail(fax::PageErrorText(e));
    fax::FaxReader::Page page;
    if (auto e = reader.LoadPage(number, page); e != fax::PageError::None) return Fail(fax::PageErrorText(e));

    // Decode the whole page in bands; what the data really holds decides the height.
    const std::size_t bpl = page.bytesPerLine;
    constexpr std::size_t kBand = 2800;
    std::vector<std::uint8_t> band(kBand * bpl);
    std::vector<std::uint8_t> pixels;
    fax::PageLineReader lines(reader.file(), page);
    for (;;) {
        auto b = lines.Next(band.data(), kBand);
        if (b.error) return Fail(fax::PageErrorText(fax::PageError::ReadFailed));
        pixels.insert(pixels.end(), band.begin(), band.begin() + static_cast<std::ptrdiff_t>(b.lines * bpl));
        if (b.end || b.lines == 0) break;
    }
    std::FILE* out = std::fopen(args[2].c_str(), "wb");
    if (!out) return Fail("Can not Create:\n" + args[2]);
    std::fprintf(out, "P4\n%zu %u\n", bpl * 8, lines.linesDelivered());
    // PBM's black is 1, the fax's black is 0.
    for (auto& b : pixels) b = static_cast<std::uint8_t>(~b);
    bool ok = std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) return Fail("Could not write:\n" + args[2]);
    return kOk;
}

}  // namespace cli
