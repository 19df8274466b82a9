// tarvex-cli commands of the export: export.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_export.h"
#include "cli/commands.h"
#include "export/fax_export.h"

namespace cli {

int ExportCommand(const std::vector<std::string>& args);

const char* const kExportOptions[] = {"--to-dir", "--jobs", "--shard", "--summary", "--lang", nullptr};
const char* const kExportFlags[] = {"--recursive", "--pdf-only", "--force", "--ocr", nullptr};

std::vector<Command> ExportCommands() {
    return {
        {"export", 1, 100000, ExportCommand,
         "export FAX OUT.tif OUT.pdf [--ocr [--lang L]]\n"
         "                                FAX as a Group 3 TIFF and a Group 4 PDF (an existing PDF is replaced);\n"
         "                                --ocr lays the recognised text over the PDF's pages (language L: eng)\n"
         "  export --to-dir OUT [--recursive] [--jobs N] [--pdf-only] [--force] [--shard K/N] [--summary FILE]\n"
         "                 [--ocr [--lang L]] PATH...\n"
         "                                every fax named or in the folders, into OUT with the tree mirrored;\n"
         "                                finished ones skipped unless --force; K-th of N shares; JSON lines to FILE",
         kExportOptions, kExportFlags},
    };
}

int ExportCommand(const std::vector<std::string>& given) {
    if (IsBatchExport(given)) return BatchExport(given);
    std::vector<std::string> args = given;
    TextOptions text;
    std::string why = TakeTextOptions(args, text, true);
    if (!why.empty() || args.size() != 3) {
        Fail("export: " + (why.empty() ? "FAX, OUT.tif and OUT.pdf are needed, or --to-dir OUT and the faxes" : why) +
             "\nusage: tarvex-cli export FAX OUT.tif OUT.pdf [--ocr [--lang L]]");
        return kUsage;
    }
    if (std::string cannot = OpenFax(args[0]); !cannot.empty()) return Fail(cannot);
    std::unique_ptr<ocr::Recognizer> recognizer;
    if (std::string cannot = OpenRecognizer(text, recognizer); !cannot.empty()) return Fail(cannot);
    fax::ExportResult r;
    if (std::string failed = ExportFax(args[0], args[1], args[2], recognizer.get(), r); !failed.empty())
        return Fail(failed);
    std::FILE* report = ReportStream(args[1]) == stderr ? stderr : ReportStream(args[2]);
    std::fprintf(report, "pages %u\ntif %s\npdf %s\n", r.pages, args[1].c_str(), args[2].c_str());
    return kOk;
}

}  // namespace cli
