// tarvex-cli commands of the export: export.
#include <string>
#include <vector>

#include "cli/batch_export.h"
#include "cli/commands.h"
#include "export/fax_export.h"

namespace cli {

int ExportCommand(const std::vector<std::string>& args);

std::vector<Command> ExportCommands() {
    return {
        {"export", 3, 100000, ExportCommand,
         "export FAX OUT.tif OUT.pdf    FAX as a Group 3 TIFF and a Group 4 PDF (an existing PDF is replaced)\n"
         "  export --to-dir OUT [--recursive] [--jobs N] [--pdf-only] PATH...\n"
         "                                every fax named or in the folders, into OUT with the tree mirrored"},
    };
}

int ExportCommand(const std::vector<std::string>& args) {
    if (IsBatchExport(args)) return BatchExport(args);
    if (args.size() != 3) {
        Fail("usage: tarvex-cli export FAX OUT.tif OUT.pdf");
        return kUsage;
    }
    fax::ExportResult r = fax::ConvertFaxToTifPdf(args[0], args[1], args[2]);
    if (!r.ok()) return Fail(fax::ExportFailureText(r.error));
    return kOk;
}

}  // namespace cli
