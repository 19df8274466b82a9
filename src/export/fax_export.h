// The export driver: a fax to a Group 3 TIFF and that TIFF to a Group 4 PDF.
#pragma once

#include <string>

#include "export/tiff_writer.h"

namespace fax {

struct ExportResult {
    int result = 0;                          // 1 when both files were written
    ExportError error = ExportError::None;   // the first failure; None when the fax could not be opened
    bool ok() const { return result == 1; }
};

// Opens the fax read-only, creates (or truncates) the TIFF and writes it, deletes an
// existing file at the PDF path and writes the PDF from the TIFF. The TIFF is kept in
// every case; a failed PDF step reports PdfFailed, replacing any earlier code.
ExportResult ConvertFaxToTifPdf(const std::string& faxPath, const std::string& tifPath, const std::string& pdfPath);

// "Dcx-Pcx to TIF and PDF failed with error[%u]" for the result's code.
std::string ExportFailureText(ExportError error);

}  // namespace fax
