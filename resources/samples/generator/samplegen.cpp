// Renders the bundled sample faxes: realistic bilevel 1728-pixel pages at 200 dpi with a
// letterhead, body text, a table and a signature, written through the fax core's writer.
//   samplegen OUTDIR   writes OUTDIR/sample.dcx (three pages) and OUTDIR/deskof.pcx
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <vector>

#include "formats/dcx.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "formats/rle.h"

namespace {

constexpr int kWidth = fax::kFaxWidth;  // 1728 pixels at 200 dpi
constexpr int kHeight = 2200;           // 11 inches
constexpr int kMargin = 170;

QFont Font(const char* family, int pixels, bool bold = false, bool italic = false) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

class Page {
public:
    Page() : image_(kWidth, kHeight, QImage::Format_Grayscale8) {
        image_.fill(Qt::white);
        p_.begin(&image_);
        p_.setPen(Qt::black);
    }

    QPainter& painter() { return p_; }

    // Writes lines of text starting at y; returns the y below them.
    int Text(int x, int y, const QFont& font, const QStringList& lines, int leading = 0) {
        p_.setFont(font);
        int step = QFontMetrics(font).lineSpacing() + leading;
        for (const auto& line : lines) {
            p_.drawText(x, y + QFontMetrics(font).ascent(), line);
            y += step;
        }
        return y;
    }

    void Letterhead(const QString& title) {
        p_.fillRect(kMargin, 120, 90, 90, Qt::black);
        p_.fillRect(kMargin + 22, 142, 46, 46, Qt::white);
        Text(kMargin + 120, 112, Font("DejaVu Serif", 58, true), {QStringLiteral("QUORVANE")});
        Text(kMargin + 122, 180, Font("DejaVu Sans", 24), {QStringLiteral("Office Systems  -  14 Harbour Row  -  Port Elden")});
        p_.fillRect(kMargin, 232, kWidth - 2 * kMargin, 5, Qt::black);
        Text(kMargin, 246, Font("DejaVu Sans", 22), {QStringLiteral("Telephone 0455 210 733     Fax 0455 210 734")});
        Text(kWidth - kMargin - 420, 290, Font("DejaVu Sans", 34, true), {title});
    }

    void Signature(int x, int y, const QString& name) {
        QPainterPath path;
        path.moveTo(x, y + 40);
        path.cubicTo(x + 40, y - 30, x + 70, y + 80, x + 110, y + 20);
        path.cubicTo(x + 140, y - 20, x + 150, y + 60, x + 200, y + 30);
        path.cubicTo(x + 240, y + 10, x + 260, y + 50, x + 330, y + 25);
        p_.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
        p_.drawPath(path);
        p_.setPen(Qt::black);
        Text(x, y + 90, Font("DejaVu Serif", 30), {name});
    }

    void Footer(int number, int of) {
        Text(kMargin, kHeight - 150, Font("DejaVu Sans", 22),
             {QStringLiteral("Page %1 of %2").arg(number).arg(of)});
    }

    // Thresholds the painted page into fax lines: a 1 bit is white.
    std::vector<std::uint8_t> Bits() {
        p_.end();
        std::vector<std::uint8_t> bits(static_cast<std::size_t>(fax::kFaxBytesPerLine) * kHeight, 0xFF);
        for (int y = 0; y < kHeight; ++y) {
            const uchar* row = image_.constScanLine(y);
            std::uint8_t* out = &bits[static_cast<std::size_t>(y) * fax::kFaxBytesPerLine];
            for (int x = 0; x < kWidth; ++x)
                if (row[x] < 128) out[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
        }
        return bits;
    }

private:
    QImage image_;
    QPainter p_;
};

QStringList Body() {
    return {
        QStringLiteral("Dear Ms. Hallorann,"),
        QString(),
        QStringLiteral("Thank you for your order of the twelfth. We are pleased to confirm that the"),
        QStringLiteral("replacement rollers and the two service kits left our warehouse this morning"),
        QStringLiteral("and should reach your office before the end of the week."),
        QString(),
        QStringLiteral("As agreed on the telephone, the service visit is booked for Tuesday at nine."),
        QStringLiteral("Our engineer will fit the rollers, clean the scanner glass and check the"),
        QStringLiteral("paper path of both machines. Please make sure that someone can let him into"),
        QStringLiteral("the copy room; the visit takes about two hours."),
        QString(),
        QStringLiteral("The itemised invoice follows on the next page. Payment is due within thirty"),
        QStringLiteral("days; the reference number should be quoted on every remittance."),
        QString(),
        QStringLiteral("Should you have any questions, do not hesitate to call me directly."),
        QString(),
        QStringLiteral("Yours sincerely,"),
    };
}

std::vector<std::uint8_t> LetterPage() {
    Page page;
    page.Letterhead(QStringLiteral("FAX MESSAGE"));
    QFont f = Font("DejaVu Sans", 28);
    int y = page.Text(kMargin, 380, f,
                      {QStringLiteral("To:       Ms. R. Hallorann, Elden Shipping"),
                       QStringLiteral("From:     T. Marsh, Customer Service"),
                       QStringLiteral("Date:     12 November"),
                       QStringLiteral("Pages:    3 including this one"),
                       QStringLiteral("Subject:  Your order 4471-B")},
                      6);
    page.painter().fillRect(kMargin, y + 10, kWidth - 2 * kMargin, 2, Qt::black);
    y = page.Text(kMargin, y + 60, Font("DejaVu Serif", 32), Body(), 10);
    page.Signature(kMargin + 10, y + 30, QStringLiteral("Thomas Marsh"));
    page.Footer(1, 3);
    return page.Bits();
}

std::vector<std::uint8_t> InvoicePage() {
    Page page;
    page.Letterhead(QStringLiteral("INVOICE 20-1187"));
    QFont f = Font("DejaVu Sans", 27);
    int y = page.Text(kMargin, 380, f,
                      {QStringLiteral("Bill to:  Elden Shipping Ltd., Quay Street 3, Port Elden"),
                       QStringLiteral("Order:    4471-B          Customer number: 30-0912")},
                      6);
    // The table: a ruled grid with four columns.
    const int cols[] = {kMargin, kMargin + 150, kMargin + 900, kMargin + 1110, kWidth - kMargin};
    const QStringList head = {QStringLiteral("Qty"), QStringLiteral("Description"), QStringLiteral("Unit"),
                              QStringLiteral("Amount")};
    const QList<QStringList> rows = {
        {QStringLiteral("4"), QStringLiteral("Feed roller, model FR-20"), QStringLiteral("18.50"), QStringLiteral("74.00")},
        {QStringLiteral("2"), QStringLiteral("Service kit, copier series 300"), QStringLiteral("96.00"), QStringLiteral("192.00")},
        {QStringLiteral("1"), QStringLiteral("Scanner glass cleaning set"), QStringLiteral("12.75"), QStringLiteral("12.75")},
        {QStringLiteral("2"), QStringLiteral("Service visit, per hour"), QStringLiteral("55.00"), QStringLiteral("110.00")},
        {QStringLiteral("1"), QStringLiteral("Travel allowance"), QStringLiteral("24.00"), QStringLiteral("24.00")},
    };
    QPainter& p = page.painter();
    int top = y + 40, rowH = 62;
    int bottom = top + rowH * static_cast<int>(rows.size() + 1);
    p.fillRect(cols[0], top, cols[4] - cols[0], rowH, QColor(0, 0, 0));
    for (int r = 0; r <= rows.size() + 1; ++r) p.fillRect(cols[0], top + r * rowH, cols[4] - cols[0], 3, Qt::black);
    for (int c : cols) p.fillRect(c, top, 3, bottom - top + 3, Qt::black);
    p.setFont(Font("DejaVu Sans", 28, true));
    p.setPen(Qt::white);
    for (int c = 0; c < 4; ++c) p.drawText(cols[c] + 16, top + 42, head[c]);
    p.setPen(Qt::black);
    p.setFont(f);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 4; ++c) p.drawText(cols[c] + 16, top + (r + 1) * rowH + 42, rows[r][c]);
    y = page.Text(cols[3] - 300, bottom + 40, Font("DejaVu Sans", 30, true),
                  {QStringLiteral("Total due:   412.75")});
    y = page.Text(kMargin, y + 80, Font("DejaVu Serif", 30),
                  {QStringLiteral("Payment within thirty days to account 0071 4415 20, Harbour Bank."),
                   QStringLiteral("Please quote the invoice number with your payment.")},
                  8);
    page.Footer(2, 3);
    return page.Bits();
}

std::vector<std::uint8_t> NotesPage() {
    Page page;
    page.Letterhead(QStringLiteral("SERVICE NOTES"));
    QStringList notes;
    for (int i = 1; i <= 14; ++i)
        notes << QStringLiteral("%1.  Checked unit %2: paper path clear, rollers within limits, test page good.")
                     .arg(i, 2)
                     .arg(300 + 7 * i);
    int y = page.Text(kMargin, 400, Font("DejaVu Sans Mono", 27), notes, 14);
    y = page.Text(kMargin, y + 40, Font("DejaVu Serif", 30, false, true),
                  {QStringLiteral("All machines were left in working order.")});
    page.Signature(kMargin + 10, y + 60, QStringLiteral("R. Okafor, Service Engineer"));
    page.Footer(3, 3);
    return page.Bits();
}

std::vector<std::uint8_t> DeskPage() {
    Page page;
    QPainter& p = page.painter();
    page.Text(kMargin, 150, Font("DejaVu Serif", 64, true, true), {QStringLiteral("From the desk of")});
    page.Text(kMargin, 240, Font("DejaVu Serif", 52, true), {QStringLiteral("Anna Pellworth")});
    p.fillRect(kMargin, 330, kWidth - 2 * kMargin, 8, Qt::black);
    int y = page.Text(kMargin, 420, Font("DejaVu Serif", 34),
                      {QStringLiteral("Ben,"), QString(),
                       QStringLiteral("the contracts for the harbour project are signed. Please"),
                       QStringLiteral("send copies to the accounts office and keep the originals"),
                       QStringLiteral("in the safe until Friday."), QString(),
                       QStringLiteral("The meeting with the surveyors moves to 2 p.m. on Thursday."), QString(),
                       QStringLiteral("Thanks,")},
                      14);
    page.Signature(kMargin + 10, y + 20, QStringLiteral("Anna"));
    return page.Bits();
}

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& bits) {
    std::vector<std::uint8_t> data;
    for (std::size_t off = 0; off < bits.size(); off += fax::kFaxBytesPerLine)
        fax::EncodeLine(&bits[off], fax::kFaxBytesPerLine, data);
    return data;
}

bool WritePcx(const std::string& path, const std::vector<std::uint8_t>& bits) {
    fax::AtomicFile out(path);
    auto header = fax::PcxHeader::Compose(fax::kFaxBytesPerLine, kHeight);
    auto data = Encode(bits);
    return out.Open() && out.file().WriteAll(header.bytes.data(), header.bytes.size()) &&
           out.file().WriteAll(data.data(), data.size()) && out.Commit();
}

bool WriteDcx(const std::string& path, const std::vector<std::vector<std::uint8_t>>& pages) {
    fax::DcxWriter w(path);
    if (w.Create() != fax::DcxWriter::Status::Ok) return false;
    for (const auto& bits : pages) {
        auto header = fax::PcxHeader::Compose(fax::kFaxBytesPerLine, kHeight);
        auto data = Encode(bits);
        if (w.AppendPageHeader(header.bytes.data()) != fax::DcxWriter::Status::Ok ||
            w.AppendData(data.data(), data.size()) != fax::DcxWriter::Status::Ok ||
            w.RewriteTable() != fax::DcxWriter::Status::Ok)
            return false;
    }
    return w.Finish() == fax::DcxWriter::Status::Ok;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: samplegen OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = WriteDcx(dir + "/sample.dcx", {LetterPage(), InvoicePage(), NotesPage()}) &&
              WritePcx(dir + "/deskof.pcx", DeskPage());
    if (!ok) {
        std::fprintf(stderr, "Could not write the samples into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
