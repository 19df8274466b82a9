// Prints every page of a fax to a PDF through the viewer's print job (QPrinter, QPainter,
// the 1-ms pumped pauses and all), for the whole-process timing in compare-print.sh:
//   print_to_pdf FAX OUT.pdf
#include <QApplication>
#include <QUrl>
#include <cstdio>

#include "app/viewer_state.h"
#include "print/print_job.h"
#include "print/qt_printer.h"

namespace {
struct NoProgress : app::PrintProgress {
    void showFile(const QString&) override {}
    void showPage(unsigned, unsigned, unsigned) override {}
    bool abortRequested() const override { return false; }
};
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: print_to_pdf FAX OUT.pdf\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    app::ViewerState state;
    state.currentFax = QString::fromLocal8Bit(argv[1]);
    state.settings.printFaxPrnDrv = app::JoinPrinterText({{}, "PDF", QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2])).toString()});
    app::PrintJob job(state);
    if (!job.Open(nullptr)) return 1;
    app::PrintChoices choices;  // the stored defaults: nothing is written to the settings
    auto outcome = job.Print(nullptr, choices, "1", QString::number(job.pageCount()),
                             [] { return std::make_unique<NoProgress>(); });
    std::printf("sheets %u\n", job.sheets());
    return outcome == app::PrintJob::Outcome::Printed ? 0 : 1;
}
