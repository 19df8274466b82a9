// The export driver: a fax to a Group 3 TIFF and that TIFF to a Group 4 PDF.
#pragma once

#include <atomic>
#include <string>

#include "export/pdf_text_layer.h"
#include "export/tiff_writer.h"

namespace fax {

struct ExportResult {
    int result = 0;                          // 1 when both files were written
    ExportError error = ExportError::None;   // the first failure; None when the fax could not be opened
    std::string refusal;                     // set when nothing was tried (see ExportClash)
    unsigned pages = 0;                      // pages in the TIFF
    bool cancelled = false;                  // stopped on request: nothing was written
    int systemError = 0;                     // errno of the failed create, read or write; 0 when none
    bool ok() const { return result == 1; }
};

// Why the outputs cannot be written: one of them is the fax itself (a fax named g.pdf, a
// folder x.pcx/), or both are one file. Empty when they are fine.
std::string ExportClash(const std::string& faxPath, const std::string& tifPath, const std::string& pdfPath);

// The text layer of the PDF, when wanted.
struct ExportOptions {
    PageWordsFn pageWords;                      // none: a PDF of images only
    const std::atomic<bool>* cancel = nullptr;  // looked at when the words stop coming
};

// Refuses clashing outputs (ExportClash) before anything is written. Opens the fax
// read-only, writes the TIFF and then the PDF from it. Each output appears under its name
// only when complete (an old file of that name is replaced then, and kept otherwise); a
// TIFF once complete is kept even when the PDF step fails, which reports PdfFailed,
// replacing any earlier code. A cancelled export leaves neither file changed.
ExportResult ConvertFaxToTifPdf(const std::string& faxPath, const std::string& tifPath, const std::string& pdfPath,
                                const ExportOptions& options = {});

// "Dcx-Pcx to TIF and PDF failed with error[%u]" for the result's code.
std::string ExportFailureText(ExportError error);

}  // namespace fax
