// tarvex-cli export --to-dir: many faxes and folders to TIFF and PDF, in worker processes.
#pragma once

#include <string>
#include <vector>

namespace cli {

// True when the export arguments ask for the batch form (they carry --to-dir).
bool IsBatchExport(const std::vector<std::string>& args);

// export --to-dir OUT [--recursive] [--jobs N] [--pdf-only] [--force] [--shard K/N]
//        [--summary FILE] [--ocr [--lang L]] PATH...
// Every DCX/PCX named or found in a named folder is converted into OUT, the folder tree
// mirrored below it; a fax that fails is reported and the rest go on. A fax whose outputs an
// earlier run finished is skipped unless --force; --shard K/N takes only the K-th of N fixed
// parts of the faxes, so that N runs on any machines share the work; --summary appends a JSON
// line for each fax to FILE. Exit 1 when any failed.
int BatchExport(const std::vector<std::string>& args);

}  // namespace cli
