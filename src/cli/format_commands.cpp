// info, check, verify and pbm: the commands over the format core.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "cli/commands.h"
#include "formats/fax_check.h"
#include "formats/fax_reader.h"
#include "formats/file_io.h"

namespace cli {

int Info(const std::vector<std::string>& args);
int Check(const std::vector<std::string>& args);
int Verify(const std::vector<std::string>& args);
int Pbm(const std::vector<std::string>& args);

std::vector<Command> FormatCommands() {
    return {
        {"info", 1, 1, Info, "info FAX                      kind, page count and where each page lies"},
        {"check", 1, 1, Check,
         "check FAX                     whether FAX is a fax file that can be opened (its name and first bytes)"},
        {"verify", 1, std::numeric_limits<std::size_t>::max(), Verify,
         "verify FAX...                 whether every page decodes to its line count; the first bad page of each"},
        {"pbm", 3, 3, Pbm, "pbm FAX PAGE OUT.pbm          page PAGE (1-based) decoded as a binary PBM"},
    };
}

namespace {

// The first page of the fax that does not decode to its line count from its own bytes.
FaxProblem FirstBadPage(const std::string& path, unsigned& pages) {
    fax::FaxReader reader;
    if (FaxProblem p = OpenFax(path, reader)) return p;
    pages = reader.pageCount();
    if (pages == 0) return PageProblem(reader, 1, fax::PageError::ShortHeader);
    for (unsigned n = 1; n <= pages; ++n) {
        fax::FaxReader::Page page;
        if (auto e = reader.LoadPage(n, page); e != fax::PageError::None) return PageProblem(reader, n, e);
        std::vector<std::uint8_t> pixels;
        std::uint32_t lines = 0;
        if (!fax::ReadWholePage(reader.file(), page, pixels, lines, fax::RunAtLineEnd::Carry, reader.PageEnd(page)))
            return PageProblem(reader, n, fax::PageError::ReadFailed);
        if (lines < page.lines)
            return {n, "ends after " + std::to_string(lines) + " of its " + std::to_string(page.lines) + " lines"};
    }
    return {};
}

}  // namespace

int Info(const std::vector<std::string>& args) {
    const std::string& path = args[0];
    fax::FaxReader reader;
    if (FaxProblem p = OpenFax(path, reader)) return Fail(p.Message(path));
    std::printf("kind %s\npages %u\n", reader.kind() == fax::FaxKind::Dcx ? "DCX" : "PCX", reader.pageCount());
    for (unsigned n = 1; n <= reader.pageCount(); ++n) {
        std::uint64_t offset = reader.PageOffset(n);
        std::uint8_t head[fax::kPcxHeaderSize];
        if (!reader.file().Seek(offset) ||
            reader.file().Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head))
            return Fail(PageProblem(reader, n, fax::PageError::ShortHeader).Message(path));
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
    if (FaxProblem p = CheckProblem(fax::CheckFaxFile(args[0]))) return Fail(p.Message(args[0]));
    std::printf("ok\n");
    return kOk;
}

// One line per fax, for sorting an archive: "whole PATH: N pages" on standard output, or
// "bad PATH: page N of M ..." with the first bad page on standard error.
int Verify(const std::vector<std::string>& args) {
    int status = kOk;
    for (const std::string& path : args) {
        unsigned pages = 0;
        FaxProblem p = FirstBadPage(path, pages);
        if (!p) {
            std::printf("whole %s: %u page%s\n", path.c_str(), pages, pages == 1 ? "" : "s");
            continue;
        }
        status = kFailed;
        std::string where = p.page > 0 ? "page " + std::to_string(p.page) + " of " + std::to_string(pages) + " " : "";
        std::fflush(stdout);  // the lines keep their order when both streams go to one place
        std::fprintf(stderr, "bad %s: %s%s.\n", path.c_str(), where.c_str(), p.reason.c_str());
    }
    return status;
}

int Pbm(const std::vector<std::string>& args) {
    const std::string& path = args[0];
    const std::string& outPath = args[2];
    unsigned number = 0;
    if (!ParsePage(args[1], number)) return kUsage;
    if (std::string same = SameFileRefusal(path, outPath); !same.empty()) return Fail(same);
    fax::FaxReader reader;
    if (FaxProblem p = OpenFax(path, reader)) return Fail(p.Message(path));
    fax::FaxReader::Page page;
    if (auto e = reader.LoadPage(number, page); e != fax::PageError::None)
        return Fail(PageProblem(reader, page.number, e).Message(path));
    if (page.picture) return Fail(fax::PictureRefusal(path, page.number));

    // What the data really holds decides the height.
    const std::size_t bpl = page.bytesPerLine;
    std::vector<std::uint8_t> pixels;
    std::uint32_t height = 0;
    if (!fax::ReadWholePage(reader.file(), page, pixels, height))
        return Fail(PageProblem(reader, page.number, fax::PageError::ReadFailed).Message(path));
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
    ReportWritten(outPath);
    return kOk;
}

}  // namespace cli
