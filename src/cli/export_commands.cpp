// tarvex-cli commands of the export: export.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_export.h"
#include "cli/commands.h"
#include "export/fax_export.h"

namespace cli {

int ExportCommand(const std::vector<std::string>& args);

const char* const kExportOptions[] = {"--to-dir", "--jobs", "--shard", "--summary", nullptr};
const char* const kExportFlags[] = {"--recursive", "--pdf-only", "--force", nullptr};

std::vector<Command> ExportCommands() {
    return {
        {"export", 3, 100000, ExportCommand,
         "export FAX OUT.tif OUT.pdf    FAX as a Group 3 TIFF and a Group 4 PDF (an existing PDF is replaced)\n"
         "  export --to-dir OUT [--recursive] [--jobs N] [--pdf-only] [--force] [--shard K/N] [--summary FILE] PATH...\n"
         "                                every fax named or in the folders, into OUT with the tree mirrored;\n"
         "                                finished ones skipped unless --force; K-th of N shares; JSON lines to FILE",
         kExportOptions, kExportFlags},
    };
}

int ExportCommand(const std::vector<std::string>& args) {
    if (IsBatchExport(args)) return BatchExport(args);
    if (args.size() != 3) {
        Fail("usage: tarvex-cli export FAX OUT.tif OUT.pdf");
        return kUsage;
    }
    if (std::string why = OpenFax(args[0]); !why.empty()) return Fail(why);
    fax::ExportResult r = fax::ConvertFaxToTifPdf(args[0], args[1], args[2]);
    if (!r.refusal.empty()) return Fail(r.refusal);
    if (!r.ok()) return Fail(fax::ExportFailureText(r.error));
    std::FILE* report = ReportStream(args[1]) == stderr ? stderr : ReportStream(args[2]);
    std::fprintf(report, "pages %u\ntif %s\npdf %s\n", r.pages, args[1].c_str(), args[2].c_str());
    return kOk;
}

}  // namespace cli
