// The printer side of printing on the desktop: the printer text kept in the settings,
// opening a QPrinter from it, its geometry for the engine, and the engine's device
// drawing onto a QPrinter with QPainter.
#pragma once

#include <QString>
#include <memory>

#include "print/print_engine.h"

class QPainter;
class QPrinter;

namespace app {

inline constexpr int kPrinterTextMax = 180;   // PrintFaxPrnDrv
inline constexpr int kPrinterNameMax = 79;    // the name taken for the properties sheet
// Qt hands every printer a PDF, so the device resolution is only the grid the bands are
// placed on. 300 dpi makes HP 300 X 300's one-to-one copy the fax's actual size, as it was
// meant for 300-dpi printers; the other settings fit the printable width at any resolution.
inline constexpr int kPrinterResolution = 300;

// Device, driver and port of the printer text: the printer's name, its make and model,
// and its device URI. A file printer (the print dialog's "Print to File") has no name and
// a file: URI.
struct PrinterParts {
    QString device, driver, port;
};

// "device,driver,port"; each append stops when the text reaches 180 characters.
QString JoinPrinterText(const PrinterParts& parts);
// Split at the commas; blanks after a comma are skipped.
PrinterParts SplitPrinterText(const QString& text);
// The text up to its first comma, at most 79 characters.
QString PrinterNameOf(const QString& text);

// The printer text as the dialog shows it: a file printer by its file, any other as stored.
QString PrinterDisplayText(const QString& text);
// The text for the printer a print dialog has chosen (make and model and URI from CUPS).
QString PrinterTextFor(const QPrinter& printer);
// Opens the printer the text names, on its default paper; null when there is no such printer.
std::unique_ptr<QPrinter> OpenPrinter(const QString& text);
// Paper size and orientation as on `chosen` (a printer's properties), the margins the
// printer cannot print on kept.
void UsePaperOf(const QPrinter& chosen, QPrinter& printer);

// An aborted document, already handed over, taken back: a file printer's file is removed,
// a print queue's job (the newest of this user's with the document's name) cancelled.
void DiscardDocument(const QPrinter& printer);

// What the engine needs to know of the printer's page.
fax::print::DeviceGeometry GeometryOf(QPrinter& printer);

// The engine's device on a painter that has begun on a printer. A page is begun on the
// printer only when something is drawn or the page is ended, so a page left open by a
// skipped blank page never becomes an empty sheet.
class PainterDevice : public fax::print::PrintDevice {
public:
    PainterDevice(QPrinter& printer, QPainter& painter) : printer_(printer), painter_(painter) {}
    void StartPage() override {}
    void EndPage() override;
    void Draw(const fax::print::MonoBitmap& bitmap, const fax::print::Rect& src, const fax::print::Rect& dst,
              fax::print::Blit blit) override;
    unsigned sheets() const { return sheets_; }

private:
    void BeginSheet();
    QPrinter& printer_;
    QPainter& painter_;
    unsigned sheets_ = 0;
    bool sheetBegun_ = false;
};

}  // namespace app
