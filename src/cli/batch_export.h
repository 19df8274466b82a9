// tarvex-cli export --to-dir: many faxes and folders to TIFF and PDF, in worker processes.
#pragma once

#include <string>
#include <vector>

namespace cli {

// True when the export arguments ask for the batch form (they carry --to-dir).
bool IsBatchExport(const std::vector<std::string>& args);

// export --to-dir OUT [--recursive] [--jobs N] [--pdf-only] [--ocr [--lang L]] PATH...
// Every DCX/PCX named or found in a named folder is converted into OUT, the folder tree
// mirrored below it; a fax that fails is reported and the rest go on. Exit 1 when any failed.
int BatchExport(const std::vector<std::string>& args);

}  // namespace cli
