// tarvex-cli print: the page printing engine onto PBM sheets, a print preview without a printer.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/file_io.h"
#include "print/print_engine.h"
#include "print/sheet_raster.h"

namespace cli {

int Print(const std::vector<std::string>& args);

const char* const kPrintOptions[] = {"--dpi", "--printable", "--first", "--last", "--scaling", "--aspect", "--dither",
                                     nullptr};
const char* const kPrintFlags[] = {"--blank", nullptr};

std::vector<Command> PrintCommands() {
    return {
        {"print", 2, 17, Print,
         "print FAX OUTDIR --dpi X[xY] --printable WxH [--first N] [--last N] [--scaling api|pre300|hp300]\n"
         "      [--aspect scale|actual] [--dither normal|light] [--blank]\n"
         "                                pages as printed sheets OUTDIR/sheet0001.pbm ... of the printable area (OUTDIR is made)",
         kPrintOptions, kPrintFlags},
    };
}

namespace {

constexpr int kMaxDpi = 2400;
constexpr int kMaxSheetPixels = 20000;  // a side; a sheet is at most 50 MB

int PrintUsage(const std::string& why) {
    std::fprintf(stderr,
                 "print: %s\nusage: tarvex-cli print FAX OUTDIR --dpi X[xY] --printable WxH [--first N] [--last N]\n"
                 "       [--scaling api|pre300|hp300] [--aspect scale|actual] [--dither normal|light] [--blank]\n",
                 why.c_str());
    return kUsage;
}

bool ParseNumber(const std::string& text, int max, int& value) {
    long n = 0;
    if (!ParseWhole(text, 1, max, n)) return false;
    value = static_cast<int>(n);
    return true;
}

// "A" or "AxB" (B = A when absent only if `single` is allowed).
bool ParsePair(const std::string& text, int max, bool single, int& a, int& b) {
    const auto x = text.find('x');
    if (x == std::string::npos) {
        if (!single || !ParseNumber(text, max, a)) return false;
        b = a;
        return true;
    }
    return ParseNumber(text.substr(0, x), max, a) && ParseNumber(text.substr(x + 1), max, b);
}

}  // namespace

int Print(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    fax::print::DeviceGeometry geometry;
    bool haveDpi = false, havePrintable = false;
    unsigned first = 0, last = 0;
    unsigned scaling = 1, aspect = 1, dither = 2, blank = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--blank") {
            blank = 1;
            continue;
        }
        if (a.rfind("--", 0) != 0) {
            positional.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) return PrintUsage(a + " lacks its value");
        const std::string& v = args[++i];
        bool ok = true;
        if (a == "--dpi") {
            ok = haveDpi = ParsePair(v, kMaxDpi, true, geometry.dpiX, geometry.dpiY);
        } else if (a == "--printable") {
            ok = havePrintable = ParsePair(v, kMaxSheetPixels, false, geometry.printableWidth, geometry.printableHeight);
        } else if (a == "--first" || a == "--last") {
            ok = ParsePage(v, a == "--first" ? first : last);
        } else if (a == "--scaling") {
            ok = v == "api" || v == "pre300" || v == "hp300";
            scaling = v == "api" ? 1 : v == "pre300" ? 2 : 3;
        } else if (a == "--aspect") {
            ok = v == "scale" || v == "actual";
            aspect = v == "scale" ? 1 : 0;
        } else if (a == "--dither") {
            ok = v == "normal" || v == "light";
            dither = v == "normal" ? 2 : 1;
        } else {
            return PrintUsage("unknown option " + a);
        }
        if (!ok) return PrintUsage("bad value for " + a + ": " + v);
    }
    if (positional.size() != 2) return PrintUsage("FAX and OUTDIR are needed");
    if (!haveDpi || !havePrintable)
        return PrintUsage(!haveDpi && !havePrintable ? "--dpi and --printable are missing"
                                                     : (haveDpi ? "--printable" : "--dpi") + std::string(" is missing"));
    const std::string& path = positional[0];
    const std::string& outDir = positional[1];
    if (std::string why = OpenFax(path); !why.empty()) return Fail(why);
    if (std::string why = MakeFolder(outDir); !why.empty()) return Fail(why);

    fax::print::PrintFile file;
    auto opened = file.Open(path);
    if (!opened.ok) return Fail(opened.message.empty() ? fax::print::kNotPrintableMessage : opened.message);
    if (first == 0) first = 1;
    if (last == 0) last = file.pageCount();
    if (first > last || last > file.pageCount()) return Fail("The Page Number(s) are invalid.");

    std::string writeFailure;
    fax::print::SheetRaster device(geometry.printableWidth, geometry.printableHeight,
                                   [&](const fax::print::Sheet& sheet, unsigned number) {
                                       char name[32];
                                       std::snprintf(name, sizeof name, "/sheet%04u.pbm", number);
                                       const std::string out = outDir + name;
                                       if (fax::SameFile(out, path)) writeFailure = "Will not overwrite the fax itself:\n" + out;
                                       else if (!fax::print::WriteSheetPbm(out, sheet))
                                           writeFailure = "Could not write:\n" + out + "\n" + std::strerror(errno);
                                       else ReportWritten(out);
                                       return writeFailure.empty();
                                   });
    fax::print::PrintHooks hooks;
    std::string engineMessage;
    hooks.error = [&](const std::string& m) { engineMessage = m; };
    hooks.aborted = [&] { return device.failed(); };
    auto options = fax::print::PrintOptions::FromSettings(scaling, aspect, dither, blank);
    auto run = fax::print::PrintPages(file, first, last, options, geometry, device, hooks);
    std::printf("sheets %u\n", device.sheets() - (device.failed() ? 1u : 0u));
    if (!writeFailure.empty()) return Fail(writeFailure);
    if (run.stopped)
        return Fail(engineMessage.empty() ? "Page " + std::to_string(run.stoppedAt) + " is not a pcx page: printing stopped."
                                          : engineMessage);
    return kOk;
}

}  // namespace cli
