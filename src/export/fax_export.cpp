#include "export/fax_export.h"

#include <cstdio>

#include "export/pdf_writer.h"
#include "formats/file_io.h"

namespace fax {

ExportResult ConvertFaxToTifPdf(const std::string& faxPath, const std::string& tifPath, const std::string& pdfPath) {
    ExportResult r;
    File in = File::OpenRead(faxPath);
    if (!in) return r;
    File tif = File::Create(tifPath);
    if (!tif) {
        r.error = ExportError::TifCreateFailed;
        return r;
    }
    TiffWriter writer;
    int written = writer.WriteFaxTiff(in, tif);
    r.error = writer.exportError();
    in.Close();
    tif.Close();
    if (written != 1) return r;

    if (FileExists(pdfPath)) RemoveFile(pdfPath);
    if (TiffToPdf(tifPath, pdfPath) != 0) {
        r.error = ExportError::PdfFailed;
        return r;
    }
    r.result = 1;
    return r;
}

std::string ExportFailureText(ExportError error) {
    char text[64];
    std::snprintf(text, sizeof text, "Dcx-Pcx to TIF and PDF failed with error[%u]", ExportErrorNumber(error));
    return text;
}

}  // namespace fax
