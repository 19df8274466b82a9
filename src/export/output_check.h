// Whether an export's output file is whole: cheap checks that a batch uses to leave alone
// what an earlier run finished.
#pragma once

#include <string>

namespace fax {

// A TIFF that libtiff reads with exactly `pages` directories (at least one), each of whose
// strips lies inside the file. Quiet: libtiff's complaints about a broken file are dropped.
bool TiffComplete(const std::string& path, unsigned pages);

// A PDF that starts with "%PDF-" and ends with "%%EOF" (whitespace may follow): the writer
// puts that mark last, so a file cut short lacks it.
bool PdfComplete(const std::string& path);

}  // namespace fax
