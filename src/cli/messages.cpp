// tarvex-cli's own words for what went wrong: the file and the system's reason. The window
// keeps its texts (which point at its menus and ask whether a file is open elsewhere); the
// command line phrases the same codes for a terminal.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/commands.h"
#include "formats/file_io.h"
#include "formats/pcx.h"

namespace cli {

namespace {

constexpr const char* kNotAFax = "is not a DCX or PCX fax file: ";
constexpr const char* kNoHeader = "has no complete header: the file ends first";

std::string SystemReason(int error) { return std::strerror(error ? error : EIO); }

// File::OpenRead refuses a folder (EISDIR) and a FIFO or device (ENOTSUP) at once; empty for
// any other error.
std::string NotRegular(int error) {
    if (error == EISDIR) return "it is a folder";
    if (error == ENOTSUP) return "it is a FIFO or device, not a regular file";
    return {};
}

FaxProblem FileProblem(std::string reason) { return {0, std::move(reason)}; }

FaxProblem TooShort() {
    return FileProblem(kNotAFax + ("it holds fewer than " + std::to_string(fax::kPcxHeaderSize) + " bytes"));
}

std::string Capitalised(std::string text) {
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

std::string FaxProblem::Message(const std::string& path) const {
    if (page > 0) return "Page " + std::to_string(page) + " of:\n" + path + "\n" + reason + ".";
    return path + "\n" + Capitalised(reason) + ".";
}

std::string FaxProblem::Line() const {
    return page > 0 ? "Page " + std::to_string(page) + " " + reason + "." : Capitalised(reason) + ".";
}

FaxProblem CheckProblem(const fax::FaxCheck& check) {
    switch (check.step) {
        case 0: return {};
        case 1: return FileProblem(kNotAFax + std::string("its name holds neither .dcx nor .pcx"));
        case 2: return FileProblem("can not be accessed: " + SystemReason(check.systemError));
        case 3: return FileProblem("can not be opened: " + SystemReason(check.systemError));
        case 4:
            if (std::string special = NotRegular(check.systemError); !special.empty())
                return FileProblem(kNotAFax + special);
            if (check.systemError) return FileProblem("can not be read: " + SystemReason(check.systemError));
            return TooShort();
        default:
            return FileProblem(kNotAFax + std::string("it starts with neither a DCX page table nor a PCX page header"));
    }
}

FaxProblem PageProblem(const fax::FaxReader& reader, unsigned number, fax::PageError error) {
    using fax::PageError;
    const int systemError = errno;  // of the read that failed, for ReadFailed
    switch (error) {
        case PageError::None: return {};
        case PageError::ShortFile: return TooShort();
        case PageError::ShortTable: return FileProblem("is a damaged DCX: its page table is cut short");
        case PageError::ShortHeader:
            if (reader.kind() == fax::FaxKind::Dcx && reader.pageCount() == 0)
                return FileProblem("is a DCX that lists no pages");
            return {number, kNoHeader};
        case PageError::NotRunLength: return {number, "is not a run-length PCX page"};
        case PageError::TooWide:
            return {number, "is too wide: more than " + std::to_string(fax::kMaxBytesPerLine) + " bytes (" +
                                std::to_string(fax::kMaxBytesPerLine * 8) + " pixels) a line"};
        case PageError::TooNarrow:
            return {number, "is too narrow: fewer than " + std::to_string(fax::kMinBytesPerLine) + " bytes a line"};
        case PageError::Damaged: return {number, "is a picture whose header values do not fit together"};
        case PageError::ReadFailed: break;
    }
    return {number, "can not be read: " + SystemReason(systemError)};
}

FaxProblem OpenFax(const std::string& path, fax::FaxReader& reader) {
    if (FaxProblem p = CheckProblem(fax::CheckFaxContent(path))) return p;
    if (!reader.Open(path)) return CheckProblem(fax::OpenFailure(path, errno));
    if (auto e = reader.ReadLayout(); e != fax::PageError::None) {
        FaxProblem p = PageProblem(reader, 0, e);
        p.page = 0;
        return p;
    }
    return {};
}

std::string OpenFax(const std::string& path) {
    fax::FaxReader reader;
    FaxProblem p = OpenFax(path, reader);
    return p ? p.Message(path) : std::string();
}

std::string OpenInput(const std::string& path) {
    fax::File f = fax::File::OpenRead(path);
    if (f) return {};
    const int error = errno;
    const std::string special = NotRegular(error);
    return FileProblem("can not be opened: " + (special.empty() ? SystemReason(error) : special)).Message(path);
}

std::string ExportFailure(const fax::ExportResult& r) {
    using fax::ExportError;
    const std::string page = "page " + std::to_string(r.pages + 1) + " ";  // the pages before it were written
    std::string reason;
    bool system = false;  // a call of the system failed: its reason follows
    switch (r.error) {
        case ExportError::None: reason = "the fax can not be opened", system = true; break;
        case ExportError::ShortFile:
            reason = "the fax holds fewer than " + std::to_string(fax::kPcxHeaderSize) + " bytes";
            break;
        case ExportError::ShortTable: reason = "the DCX page table is cut short"; break;
        case ExportError::ShortPage: reason = page + kNoHeader; break;
        case ExportError::TooWide:
            reason = page + "is wider than a fax: more than " + std::to_string(fax::kFaxBytesPerLine) + " bytes (" +
                     std::to_string(fax::kFaxBytesPerLine * 8) + " pixels) a line";
            break;
        case ExportError::DamagedPage: reason = page + "is damaged: its lines are 0 bytes wide"; break;
        case ExportError::NotRunLength: reason = page + "is missing or is not a run-length PCX page"; break;
        case ExportError::ReadFailed:
        case ExportError::ReadFailedInRun: reason = "the fax can not be read", system = true; break;
        case ExportError::TifCreateFailed: reason = "the TIF file can not be created", system = true; break;
        case ExportError::TooLarge: reason = "the TIF file would pass 4 GiB, more than its offsets can reach"; break;
        case ExportError::PdfFailed: reason = "the PDF file can not be written", system = true; break;
        default: reason = "the TIF file can not be written", system = true; break;
    }
    if (system && r.systemError) reason += ": " + SystemReason(r.systemError);
    return fax::ExportFailureText(r.error) + ": " + reason + ".";
}

std::string MakeFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (std::filesystem::is_directory(path)) return {};
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    return "Can not create the folder:\n" + path + "\n" + ec.message();
}

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

void ReportWritten(const std::string& output) { std::fprintf(ReportStream(output), "wrote %s\n", output.c_str()); }

}  // namespace cli
