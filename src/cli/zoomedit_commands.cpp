// tarvex-cli commands of Zoom/Edit: tobmp, frombmp and replace, the three steps of the
// round trip through a paint program, each on its own.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "formats/dcx.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "zoomedit/bitmap_file.h"
#include "zoomedit/zoom_edit.h"

namespace cli {

int ToBmpCommand(const std::vector<std::string>& args);
int FromBmpCommand(const std::vector<std::string>& args);
int ReplaceCommand(const std::vector<std::string>& args);

std::vector<Command> ZoomEditCommands() {
    return {
        {"tobmp", 3, 3, ToBmpCommand, "tobmp FAX PAGE OUT.bmp        page PAGE as the 1-bit bitmap a paint program edits"},
        {"frombmp", 2, 2, FromBmpCommand, "frombmp IN.bmp OUT.pcx        a bitmap (1 to 32 bits) as a black and white PCX page"},
        {"replace", 3, 3, ReplaceCommand, "replace FAX.dcx PAGE NEW.pcx  page PAGE of FAX replaced by NEW (FAX rewritten safely)"},
    };
}

namespace {

int FailWith(const fax::ToolMessages& messages) {
    for (const auto& m : messages) std::fprintf(stderr, "%s\n", m.text.c_str());
    return kFailed;
}

// An output never replaces its own input.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

int Wrote(const std::string& output) {
    ReportWritten(output);
    return kOk;
}

std::string SameFileMessage(const std::string& path) {
    return "Can not write:\n" + path + "\nIt is also the file being read.";
}

bool IsDcx(const std::string& path) {
    std::uint8_t start[4];
    fax::File f = fax::File::OpenRead(path);
    return f && f.Read(start, sizeof start) == 4 && fax::HasDcxMagic(start, sizeof start);
}

// A page file fit to go into a fax: a run-length PCX header of a width the viewer shows.
bool IsPcxPage(const std::string& path) {
    std::uint8_t head[fax::kPcxHeaderSize];
    fax::File f = fax::File::OpenRead(path);
    if (!f || f.Read(head, sizeof head) != static_cast<std::int64_t>(sizeof head)) return false;
    fax::PcxHeader h = fax::PcxHeader::FromBytes(head);
    return h.IsRunLengthPcx() && h.bytesPerLine() >= fax::kMinBytesPerLine && h.bytesPerLine() <= fax::kMaxBytesPerLine;
}

}  // namespace

int ToBmpCommand(const std::vector<std::string>& args) {
    const std::string& faxPath = args[0];
    const std::string& out = args[2];
    unsigned page = 0;
    if (!ParsePage(args[1], page)) return kUsage;
    if (SameFile(faxPath, out)) return Fail(SameFileMessage(out));
    if (std::string why = OpenFax(faxPath); !why.empty()) return Fail(why);
    if (!IsDcx(faxPath)) {
        if (page != 1) return Fail("The fax:\n" + faxPath + "\nhas no page " + args[1] + ".");
        fax::ConversionResult r = fax::PageToBitmap(faxPath, out);
        return r.ok ? Wrote(out) : FailWith(r.messages);
    }
    // The page is copied out first, as Zoom/Edit does, into a work file beside the output.
    fax::EditCopyBuffer buffer;
    if (!buffer.ok()) return Fail(fax::EditCopyBuffer::NoMemoryMessage().text);
    std::filesystem::path dir = std::filesystem::path(out).parent_path();
    const std::string work = (dir / (".tobmp." + std::to_string(::getpid()) + ".pcx")).string();
    fax::EditStep step = fax::ExtractDcxPage(faxPath, page, work, buffer);
    if (!step.ok) {
        fax::RemoveFile(work);
        return FailWith(step.messages);
    }
    fax::ConversionResult r = fax::PageToBitmap(work, out);
    fax::RemoveFile(work);
    return r.ok ? Wrote(out) : FailWith(r.messages);
}

int FromBmpCommand(const std::vector<std::string>& args) {
    if (SameFile(args[0], args[1])) return Fail(SameFileMessage(args[1]));
    if (std::string why = OpenInput(args[0]); !why.empty()) return Fail(why);
    fax::ConversionResult r = fax::BitmapToPage(args[0], args[1]);
    return r.ok ? Wrote(args[1]) : FailWith(r.messages);
}

int ReplaceCommand(const std::vector<std::string>& args) {
    const std::string& faxPath = args[0];
    const std::string& newPage = args[2];
    unsigned page = 0;
    if (!ParsePage(args[1], page)) return kUsage;
    if (SameFile(faxPath, newPage)) return Fail(SameFileMessage(faxPath));
    if (std::string why = OpenFax(faxPath); !why.empty()) return Fail(why);
    if (std::string why = OpenInput(newPage); !why.empty()) return Fail(why);
    if (!IsPcxPage(newPage)) return Fail(newPage + "\nis not dcx or PCX_ZE.");
    fax::EditCopyBuffer buffer;
    if (!buffer.ok()) return Fail(fax::EditCopyBuffer::NoMemoryMessage().text);
    fax::EditStep step = fax::ReplaceDcxPage(faxPath, page, newPage, buffer);
    return step.ok ? Wrote(faxPath) : FailWith(step.messages);
}

}  // namespace cli
