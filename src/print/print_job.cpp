#include "print/print_job.h"

#include <QPainter>
#include <QPrinter>

#include "app/viewer_state.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "platform/settings_store.h"
#include "print/qt_printer.h"
#include "tools/tool_prompt.h"

namespace app {

namespace {

const QString kPrinterTrouble = QStringLiteral(
    "1. Be sure to selected your printer from the list.\n\n2. Be sure you have sufficient memory.\n\n"
    "3. Be sure you have sufficient hard drive space.");
const QString kNoPrinter = QStringLiteral("No Printer selected. Unable to print fax.");
const QString kBadRange = QStringLiteral("The Page Number(s) are invalid.");
constexpr int kPageFieldChars = 4;

void PrintError(QWidget* owner, const QString& text) { prompts().show(owner, kPrintFaxTitle, text, Icon::Error); }

// Writes a print setting only when it differs from what is stored.
template <class T>
void WriteIfChanged(T& stored, unsigned value, const char* name) {
    if (stored == value) return;
    stored = static_cast<T>(value);
    WriteUnsigned(kConfigure, QString::fromLatin1(name), value);
}

}  // namespace

unsigned ParsePageField(const QString& text) {
    const std::int32_t v = ParseSigned(text.left(kPageFieldChars));
    return v > 0 ? static_cast<unsigned>(v) : 0;
}

PrintJob::PrintJob(ViewerState& state) : state_(state) {}

PrintJob::~PrintJob() { Release(); }

void PrintJob::Release() { file_.Close(); }

bool PrintJob::Open(QWidget* owner) {
    path_ = state_.currentFax;
    auto opened = file_.Open(ToCorePath(path_));
    if (!opened.ok && !opened.message.empty()) PrintError(owner, FromCore(opened.message));
    if (!opened.ok) Release();
    return opened.ok;
}

PrintChoices PrintJob::StoredChoices() const {
    const Settings& s = state_.settings;
    PrintChoices c;
    c.dither = s.dither == 2 ? 2 : 1;
    c.scalingFactor = s.scalingFactor == 1 ? 1 : s.scalingFactor == 2 ? 2 : 3;
    c.prnAspect = s.prnAspect == 1 ? 1 : 0;
    c.printBlankPage = s.printBlankPage != 0 ? 1 : 0;
    return c;
}

const QString& PrintJob::printerText() const { return state_.settings.printFaxPrnDrv; }

void PrintJob::RememberSetup(QPrinter& printer) {
    state_.settings.printFaxPrnDrv = PrinterTextFor(printer);
    WriteText(kConfigure, QStringLiteral("PrintFaxPrnDrv"), state_.settings.printFaxPrnDrv);
}

bool PrintJob::SelectPrinter(QWidget* owner) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (auto current = OpenPrinter(printerText())) printer->setPrinterName(current->printerName());
    const bool chosen = prompts().printerSetup(owner, printer.get());
    if (chosen) RememberSetup(*printer);
    // The properties of the printer now named, whether or not a new one was chosen; its
    // page setup is used when this dialog prints to it.
    const QString name = PrinterNameOf(printerText());
    if (!name.isEmpty()) {
        if (auto named = OpenPrinter(name)) {
            prompts().printerProperties(owner, named.get());
            chosen_ = std::move(named);
        }
    }
    return chosen;
}

std::unique_ptr<QPrinter> PrintJob::OpenPrinterOrSetup(QWidget* owner) {
    if (auto printer = OpenPrinter(printerText())) return printer;
    QPrinter setup(QPrinter::HighResolution);
    if (!prompts().printerSetup(owner, &setup)) {
        PrintError(owner, kNoPrinter);
        return nullptr;
    }
    RememberSetup(setup);
    if (auto printer = OpenPrinter(printerText())) return printer;
    PrintError(owner, kPrinterTrouble);
    return nullptr;
}

void PrintJob::StoreChoices(const PrintChoices& c, bool withBlankPage) {
    Settings& s = state_.settings;
    if (withBlankPage) {
        WriteIfChanged(s.printBlankPage, c.printBlankPage, "PrintBlankPage");
        return;
    }
    WriteIfChanged(s.dither, c.dither, "Dither");
    WriteIfChanged(s.scalingFactor, c.scalingFactor, "ScalingFactor");
    WriteIfChanged(s.prnAspect, c.prnAspect, "PrnAspect");
}

PrintJob::Outcome PrintJob::Print(QWidget* owner, const PrintChoices& choices, const QString& firstText,
                                  const QString& lastText,
                                  const std::function<std::unique_ptr<PrintProgress>()>& makeProgress) {
    StoreChoices(choices, false);
    const unsigned first = ParsePageField(firstText), last = ParsePageField(lastText);
    if (first < 1 || first > last || last > pageCount()) {
        PrintError(owner, kBadRange);
        return Outcome::BadRange;
    }
    std::unique_ptr<PrintProgress> progress = makeProgress();
    progress->showFile(path_);
    sheets_ = 0;
    run_ = {};

    std::unique_ptr<QPrinter> printer = OpenPrinterOrSetup(owner);
    if (!printer) return Outcome::Cancelled;
    if (chosen_ && printer->printerName() == chosen_->printerName() && printer->outputFormat() == chosen_->outputFormat())
        UsePaperOf(*chosen_, *printer);
    printer->setDocName(QString::fromLatin1(fax::print::kDocumentName));
    const fax::print::DeviceGeometry geometry = GeometryOf(*printer);
    QPainter painter;
    if (!geometry.Valid() || !painter.begin(printer.get())) {
        PrintError(owner, kPrinterTrouble);
        return Outcome::Cancelled;
    }

    // The box on screen is what the user asked for, so it counts for this job too.
    const auto options = fax::print::PrintOptions::FromSettings(choices.scalingFactor, choices.prnAspect,
                                                                choices.dither, choices.printBlankPage);
    PainterDevice device(*printer, painter);
    fax::print::PrintHooks hooks;
    hooks.progress = [&](unsigned current, unsigned f, unsigned l) { progress->showPage(current, f, l); };
    hooks.pump = [] { PumpWait(1, true); };
    hooks.aborted = [&] { return progress->abortRequested(); };
    hooks.error = [owner](const std::string& message) { PrintError(owner, FromCore(message)); };
    run_ = fax::print::PrintPages(file_, first, last, options, geometry, device, hooks);
    // Qt's printers cannot abort a document they have begun: it is handed over whole when
    // it ends, and then taken back.
    const bool discard = run_.aborted && !printer->abort();
    painter.end();
    if (discard) DiscardDocument(*printer);
    sheets_ = device.sheets();
    progress.reset();
    Release();
    StoreChoices(choices, true);
    return Outcome::Printed;
}

}  // namespace app
