#include "export/export_command.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <atomic>
#include <thread>

#include "app/viewer_state.h"
#include "export/fax_export.h"
#include "export/pdf_writer.h"
#include "export/view_exports_dialog.h"
#include "formats/fax_check.h"
#include "formats/fax_reader.h"
#include "ocr/fax_text.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"

namespace app {

namespace {

constexpr int kBusyWaitMs = 10;
constexpr int kProgressPollMs = 20;

std::string CorePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The export with the text layer: recognition takes seconds a page, so it runs on a worker
// thread while a progress window, page by page, keeps the window alive and offers Cancel.
// A cancelled export changes no file; missing language data is a refusal. `why` gets the
// recogniser's word when recognition failed.
fax::ExportResult ExportWithText(QWidget* owner, const QString& language, const std::string& fax,
                                 const std::string& tif, const std::string& pdf, std::string& why) {
    unsigned pages = 1;
    (void)ocr::FaxPageCount(fax, pages);
    std::atomic<bool> cancel{false}, done{false};
    std::atomic<unsigned> page{0};
    fax::ExportResult result;
    std::thread worker([&] {
        ocr::Recognizer recognizer(language.toStdString());
        if (ocr::Result opened = recognizer.Open(); !opened.ok()) {
            result.refusal = opened.message;
        } else {
            ocr::FaxPageWords words(recognizer, fax, &cancel);
            fax::ExportOptions options;
            options.cancel = &cancel;
            options.pageWords = [&](unsigned k, std::vector<ocr::Word>& found) {
                page = k;
                return words(k, found);
            };
            result = fax::ConvertFaxToTifPdf(fax, tif, pdf, options);
            if (!result.ok() && !words.result().ok()) why = words.result().message;
        }
        done = true;
    });

    QProgressDialog progress(owner);
    progress.setWindowTitle(kProductName);
    progress.setCancelButtonText(QStringLiteral("&Cancel"));
    progress.setRange(0, static_cast<int>(pages));
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.show();
    while (!done) {
        progress.setLabelText(QStringLiteral("Recognising the text of page %1 of %2 ...").arg(page + 1).arg(pages));
        progress.setValue(static_cast<int>(page));
        PumpWait(kProgressPollMs, true);
        if (progress.wasCanceled() || ShuttingDown()) cancel = true;
    }
    worker.join();
    progress.hide();
    return result;
}

}  // namespace

bool ExportPaths(const QString& faxPath, QString& tifPath, QString& pdfPath) {
    const std::string core = CorePath(faxPath);
    if (!fax::ContainsNoCase(core, ".dcx") && !fax::ContainsNoCase(core, ".pcx")) return false;
    if (!QFileInfo::exists(faxPath)) return false;
    // Only the file name's extension is replaced: a dot in a folder name must not send
    // the copies into another folder.
    const qsizetype slash = faxPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = faxPath.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash) return false;
    const QString stem = faxPath.left(dot);
    tifPath = stem + QStringLiteral(".tif");
    pdfPath = stem + QStringLiteral(".pdf");
    return true;
}

bool RunBuildTifPdfCommand(QWidget* owner, ViewerState& state) {
    const QString fax = state.currentFax;
    QString tifPath, pdfPath;
    if (!ExportPaths(fax, tifPath, pdfPath)) {
        prompts().show(owner, kProductName, QStringLiteral("Know fax file to convert to TIF and PDF."),
                       Icon::Information);
        return false;
    }
    // A copy must never replace the fax it is made from.
    std::string clash = fax::ExportClash(CorePath(fax), CorePath(tifPath), CorePath(pdfPath));
    // Picture pages have no fax coding; the user hears so before being asked anything.
    if (clash.empty()) clash = fax::FaxPictureRefusal(CorePath(fax));
    if (!clash.empty()) {
        prompts().show(owner, kProductName, QString::fromStdString(clash), Icon::Error);
        return false;
    }
    const QString question = QStringLiteral("The default fax file is:\n%1\n\nSelect [OK] to create a TIF and PDF copy "
                                            "of this fax called:\n%2\n%3")
                                 .arg(fax, tifPath, pdfPath);
    if (prompts().ask(owner, kProductName, question, Icon::Question, Ok | Cancel, Ok) != Ok) return false;

    // One conversion at a time; the window stays alive while an earlier one finishes.
    while (fax::TiffToPdfBusy() && !ShuttingDown()) PumpWait(kBusyWaitMs);

    fax::ExportResult result;
    std::string why;
    if (state.settings.recognisePdfText == 1) {
        result = ExportWithText(owner, state.settings.recogniseLanguage, CorePath(fax), CorePath(tifPath),
                                CorePath(pdfPath), why);
        if (!result.refusal.empty())
            prompts().show(owner, kProductName, QString::fromStdString(result.refusal), Icon::Error);
        if (!result.refusal.empty() || result.cancelled) return false;
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result = fax::ConvertFaxToTifPdf(CorePath(fax), CorePath(tifPath), CorePath(pdfPath));
        QApplication::restoreOverrideCursor();
    }
    if (!result.ok()) {
        if (!why.empty()) why = "\n" + why;
        prompts().show(owner, kProductName, QString::fromStdString(fax::ExportFailureText(result.error) + why),
                       Icon::None);
        return false;
    }
    ViewExportsDialog dialog(owner, tifPath, pdfPath);
    dialog.exec();
    return true;
}

}  // namespace app
