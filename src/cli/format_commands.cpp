// info, check and pbm: the commands over the format core.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/commands.h"
#include "formats/fax_check.h"
#include "formats/fax_reader.h"
#include "formats/file_io.h"

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


int Info(const std::vector<std::string>& args) {
    const std::string& path = args[0];
    fax::FaxReader reader;
    if (!reader.Open(path)) return Fail(OpenFax(path));
    if (auto e = reader.ReadLayout(); e != fax::PageError::None) return Fail(fax::PageErrorText(e));
    std::printf("kind %s\npages %u\n", reader.kind() == fax::FaxKind::Dcx ? "DCX" : "PCX", reader.pageCount());
    for (unsigned n = 1; n <= reader.pageCount(); ++n) {
        std::uint64_t offset = reader.PageOffset(n);
        std::uint8_t head[fax::kPcxHeaderSize];
        if (!reader.file().Seek(offset) ||
            reader.file().Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head))
            return Fail(fax::PageErrorText(fax::PageError::ShortHeader));
        fax::PcxHeader h = fax::PcxHeader::FromBytes(head);
        const char* type = "fax";
        std::uint32_t lines = h.LineCount();
        if (!fax::IsBilevel(h)) {
            fax::FaxReader::Page page;
            const bool picture = reader.LoadPage(n, page) == fax::PageError::None && page.picture;
            type = picture ? "picture" : "damaged";
            if (picture) lines = page.lines;
        }
        std::printf("page %u offset %llu bytes-per-line %u lines %u %s\n", n,
                    static_cast<unsigned long long>(offset), h.bytesPerLine(), lines, type);
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
    const std::string& outPath = args[2];
    unsigned number = 0;
    if (!ParsePage(args[1], number)) return kUsage;
    if (std::string same = SameFileRefusal(path, outPath); !same.empty()) return Fail(same);
    fax::FaxReader reader;
    if (!reader.Open(path)) return Fail(OpenFax(path));
    if (auto e = reader.ReadLayout(); e != fax::PageError::None) return Fail(fax::PageErrorText(e));
    fax::FaxReader::Page page;
    if (auto e = reader.LoadPage(number, page); e != fax::PageError::None) return Fail(fax::PageErrorText(e));
    if (page.picture) return Fail(fax::PictureRefusal(path, page.number));

    // What the data really holds decides the height.
    const std::size_t bpl = page.bytesPerLine;
    std::vector<std::uint8_t> pixels;
    std::uint32_t height = 0;
    if (!fax::ReadWholePage(reader.file(), page, pixels, height))
        return Fail(fax::PageErrorText(fax::PageError::ReadFailed));
    if (height == 0)
        return Fail("Page " + std::to_string(page.number) + " of:\n" + path +
                    "\nholds no complete line, so there is no picture to write.\nNothing was written.");

    fax::AtomicFile out(outPath);
    if (!out.Open()) return Fail("Can not Create:\n" + outPath + "\n" + out.error());
    char head[64];
    int headSize = std::snprintf(head, sizeof head, "P4\n%zu %u\n", bpl * 8, height);
    // PBM's black is 1, the fax's black is 0.
    for (auto& b : pixels) b = static_cast<std::uint8_t>(~b);
    if (!out.file().WriteAll(head, static_cast<std::size_t>(headSize)) ||
        !out.file().WriteAll(pixels.data(), pixels.size()))
        return Fail("Could not write:\n" + outPath + "\n" + std::strerror(errno));
    if (!out.Commit()) return Fail("Could not write:\n" + outPath + "\n" + out.error());
    std::fprintf(ReportStream(outPath), "page %u\nwidth %zu\nheight %u\n", page.number, bpl * 8, height);
    return kOk;
}

}  // namespace cli
