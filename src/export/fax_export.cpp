#include "export/fax_export.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <thread>

#include "export/g4_precoder.h"
#include "export/pdf_writer.h"
#include "formats/fax_reader.h"
#include "formats/file_io.h"

namespace fax {

std::string ExportClash(const std::string& faxPath, const std::string& tifPath, const std::string& pdfPath) {
    for (const std::string* out : {&tifPath, &pdfPath})
        if (SameFile(faxPath, *out))
            return "Can not create:\n" + *out + "\nIt is the fax file itself, which is never changed.\nNothing was written.";
    if (SameFile(tifPath, pdfPath))
        return "Can not create:\n" + tifPath + "\nThe TIF and the PDF copy can not be one file.\nNothing was written.";
    return {};
}

ExportResult ConvertFaxToTifPdf(const std::string& faxPath, const std::string& tifPath, const std::string& pdfPath,
                                const ExportOptions& options) {
    ExportResult r;
    r.refusal = ExportClash(faxPath, tifPath, pdfPath);
    if (!r.refusal.empty()) return r;
    r.refusal = FaxPictureRefusal(faxPath);
    if (!r.refusal.empty()) {
        r.refusal += "\nNothing was written.";
        return r;
    }
    File in = File::OpenRead(faxPath);
    if (!in) {
        r.systemError = errno;
        return r;
    }
    AtomicFile tif(tifPath);
    if (!tif.Open()) {
        r.error = ExportError::TifCreateFailed;
        r.systemError = errno;
        return r;
    }
    // The PDF's images are coded alongside, on a second thread, from the rows as they go
    // into the TIFF.
    G4Precoder precoder;
    TiffWriter writer;
    if (precoder.Start()) writer.SetRowListener(&precoder);
    int written = writer.WriteFaxTiff(in, tif.file());
    precoder.Finish();
    r.error = writer.exportError();
    r.systemError = writer.systemError();
    r.pages = writer.pagesWritten();
    in.Close();
    if (written != 1) return r;  // the unfinished TIFF goes with `tif`

    // The PDF is made from the finished TIFF before either takes its name, so that a cancelled
    // export can still leave both files as they were. Meanwhile the TIFF goes to the disk
    // (when it replaces a file); it takes its name just before the PDF does, and a TIFF that
    // could not be put in place keeps the PDF from it too: after a failed sync or close,
    // nothing more is replaced.
    bool tifSynced = true;
    int tifError = 0;
    auto syncTif = [&] {
        tifSynced = tif.SyncForCommit();
        tifError = errno;
    };
    std::jthread syncing;
    try {
        syncing = std::jthread(syncTif);
    } catch (const std::system_error&) {
        syncTif();
    }
    bool tifDone = false, tifFailed = false;
    auto commitTif = [&] {
        if (syncing.joinable()) syncing.join();
        tifDone = true;
        if (tifSynced && tif.Commit(false)) return true;
        if (tifSynced) tifError = errno;
        tifFailed = true;
        return false;
    };
    errno = 0;  // the PDF writer goes through libtiff, which may fail without a call of the system failing
    const bool pdfWritten = TiffToPdf(tif.tempPath(), pdfPath, options.pageWords, &precoder, commitTif) == 0;
    const int pdfError = errno;
    if (syncing.joinable()) syncing.join();
    r.cancelled = !pdfWritten && options.cancel && options.cancel->load();
    if (r.cancelled) return r;
    if (!tifDone) commitTif();  // the PDF failed before its turn came; the TIFF is whole all the same
    if (tifFailed) {
        r.error = ExportError::TifCreateFailed;
        r.systemError = tifError;
    } else if (!pdfWritten) {
        r.error = ExportError::PdfFailed;
        r.systemError = pdfError;
    }
    r.result = r.error == ExportError::None ? 1 : 0;
    return r;
}

std::string ExportFailureText(ExportError error) {
    char text[64];
    std::snprintf(text, sizeof text, "Dcx-Pcx to TIF and PDF failed with error[%u]", ExportErrorNumber(error));
    return text;
}

}  // namespace fax
