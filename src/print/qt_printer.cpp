#include "print/qt_printer.h"

#include <cups/cups.h>

#include <algorithm>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QUrl>

namespace app {

QString JoinPrinterText(const PrinterParts& parts) {
    QString text;
    auto append = [&text](const QString& s) { text += s.left(kPrinterTextMax - text.size()); };
    append(parts.device);
    append(QStringLiteral(","));
    append(parts.driver);
    append(QStringLiteral(","));
    append(parts.port);
    return text;
}

PrinterParts SplitPrinterText(const QString& text) {
    const QStringList fields = text.split(QLatin1Char(','));
    auto field = [&fields](int i) {
        if (i >= fields.size()) return QString();
        QString f = fields[i];
        if (i > 0) {
            qsizetype blanks = 0;
            while (blanks < f.size() && f[blanks] == QLatin1Char(' ')) ++blanks;
            f.remove(0, blanks);
        }
        return f;
    };
    // A device URI may itself hold commas: the port is everything after the second comma.
    PrinterParts parts{field(0), field(1), {}};
    if (fields.size() > 2) {
        QStringList rest = fields.mid(2);
        parts.port = rest.join(QLatin1Char(','));
        while (parts.port.startsWith(QLatin1Char(' '))) parts.port.remove(0, 1);
    }
    return parts;
}

QString PrinterNameOf(const QString& text) { return text.section(QLatin1Char(','), 0, 0).left(kPrinterNameMax); }

namespace {

// The device URI CUPS keeps for a queue; empty when CUPS does not know the queue.
QString CupsDeviceUri(const QString& name) {
    const QByteArray n = name.toLocal8Bit();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, n.constData(), nullptr);
    if (!dest) return {};
    const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options);
    QString result = uri ? QString::fromLocal8Bit(uri) : QString();
    cupsFreeDests(1, dest);
    return result;
}

// The printable area is what the printer can print on, as a printer's own page
// geometry always was: margins no wider than it needs.
void UseImageableArea(QPrinter& printer) {
    printer.setFullPage(false);
    printer.setPageMargins(printer.pageLayout().minimumMargins(), printer.pageLayout().units());
}

}  // namespace

QString PrinterTextFor(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return JoinPrinterText({{}, QStringLiteral("PDF"), QUrl::fromLocalFile(printer.outputFileName()).toString()});
    const QString name = printer.printerName();
    return JoinPrinterText({name, QPrinterInfo::printerInfo(name).makeAndModel(), CupsDeviceUri(name)});
}

namespace {

// The file a file printer writes (it has no name, and a file: URI); empty for any other.
QString FileOfPrinter(const PrinterParts& parts) {
    const QUrl url(parts.port);
    return parts.device.isEmpty() && url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

QString PrinterDisplayText(const QString& text) {
    const QString file = FileOfPrinter(SplitPrinterText(text));
    return file.isEmpty() ? text : QStringLiteral("Print to File (PDF): %1").arg(file);
}

std::unique_ptr<QPrinter> OpenPrinter(const QString& text) {
    const PrinterParts parts = SplitPrinterText(text);
    if (parts.device.isEmpty()) {
        const QString file = FileOfPrinter(parts);
        // A text at its limit may have lost the end of the file name: never print to a
        // file the user did not choose.
        if (text.size() >= kPrinterTextMax || file.isEmpty()) return nullptr;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file);
        printer->setResolution(kPrinterResolution);
        // A file has no unprintable margin: the whole sheet is the printable area.
        printer->setFullPage(true);
        return printer;
    }
    const QPrinterInfo info = QPrinterInfo::printerInfo(parts.device);
    if (info.isNull()) return nullptr;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!printer->isValid()) return nullptr;
    printer->setResolution(kPrinterResolution);
    printer->setPageSize(info.defaultPageSize());
    UseImageableArea(*printer);
    return printer;
}

void UsePaperOf(const QPrinter& chosen, QPrinter& printer) {
    printer.setPageSize(chosen.pageLayout().pageSize());
    printer.setPageOrientation(chosen.pageLayout().orientation());
    UseImageableArea(printer);
}

void DiscardDocument(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        QFile::remove(printer.outputFileName());
        return;
    }
    const QByteArray queue = printer.printerName().toLocal8Bit();
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.constData(), 1, CUPS_WHICHJOBS_ACTIVE);
    int newest = 0;
    for (int i = 0; i < count; ++i)
        if (jobs[i].title && QString::fromLocal8Bit(jobs[i].title) == printer.docName()) newest = std::max(newest, jobs[i].id);
    cupsFreeJobs(count, jobs);
    if (newest > 0) cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), newest, 0);
}

fax::print::DeviceGeometry GeometryOf(QPrinter& printer) {
    return {printer.width(), printer.height(), printer.logicalDpiX(), printer.logicalDpiY()};
}

void PainterDevice::BeginSheet() {
    if (sheetBegun_) return;
    if (sheets_ > 0) printer_.newPage();
    sheetBegun_ = true;
}

void PainterDevice::EndPage() {
    BeginSheet();
    sheetBegun_ = false;
    ++sheets_;
}

void PainterDevice::Draw(const fax::print::MonoBitmap& bitmap, const fax::print::Rect& src,
                         const fax::print::Rect& dst, fax::print::Blit blit) {
    BeginSheet();
    // Only the part of the source inside the bitmap is drawn, at its place in `dst`.
    const QRect whole(0, 0, bitmap.width, bitmap.height);
    const QRect from = QRect(src.x, src.y, src.width, src.height).intersected(whole);
    if (from.isEmpty() || src.width <= 0 || src.height <= 0) return;
    const double sx = blit == fax::print::Blit::Copy ? 1.0 : double(dst.width) / src.width;
    const double sy = blit == fax::print::Blit::Copy ? 1.0 : double(dst.height) / src.height;
    const QRectF to(dst.x + (from.x() - src.x) * sx, dst.y + (from.y() - src.y) * sy, from.width() * sx,
                    from.height() * sy);

    QImage image(bitmap.bits, bitmap.width, bitmap.height, static_cast<qsizetype>(bitmap.stride), QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});  // 1 is white
    // A deep copy: the engine reuses its buffer for the next band.
    const QImage part = image.copy(from);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);  // strokes stay sharp
    painter_.drawImage(to, part);
}

}  // namespace app
