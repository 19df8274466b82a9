#include "export/export_command.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "app/viewer_state.h"
#include "export/fax_export.h"
#include "export/pdf_writer.h"
#include "export/view_exports_dialog.h"
#include "formats/fax_check.h"
#include "formats/fax_reader.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"

namespace app {

namespace {

constexpr int kBusyWaitMs = 10;

std::string CorePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

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
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result = fax::ConvertFaxToTifPdf(CorePath(fax), CorePath(tifPath), CorePath(pdfPath));
        QApplication::restoreOverrideCursor();
    }
    if (!result.ok()) {
        prompts().show(owner, kProductName, QString::fromStdString(fax::ExportFailureText(result.error)), Icon::None);
        return false;
    }
    ViewExportsDialog dialog(owner, tifPath, pdfPath);
    dialog.exec();
    return true;
}

}  // namespace app
