// The steps of printing a fax: the print file, choosing a printer, the range check, the
// document and the page loop. The Print Fax dialog is a thin view over this class.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "print/print_engine.h"

class QPrinter;
class QWidget;

namespace app {

struct ViewerState;

inline const QString kPrintFaxTitle = QStringLiteral("Vantorel Print Fax");

// The progress window as the job sees it.
class PrintProgress {
public:
    virtual ~PrintProgress() = default;
    virtual void showFile(const QString& path) = 0;
    virtual void showPage(unsigned current, unsigned first, unsigned last) = 0;
    virtual bool abortRequested() const = 0;
};

// The dialog's choices, as stored in the settings.
struct PrintChoices {
    unsigned scalingFactor = 1;   // 1 API, 2 Pre 300 X 300, 3 HP 300 X 300
    unsigned prnAspect = 1;       // 1 Scale to Printer, 0 actual size
    unsigned dither = 2;          // 2 Normal, 1 Light
    unsigned printBlankPage = 0;
};

class PrintJob {
public:
    explicit PrintJob(ViewerState& state);
    ~PrintJob();

    // Opens the default fax for printing; false (after any message) when it cannot be printed.
    bool Open(QWidget* owner);
    unsigned pageCount() const { return file_.pageCount(); }
    const QString& path() const { return path_; }

    // The stored choices, normalised the way the dialog's buttons show them.
    PrintChoices StoredChoices() const;
    const QString& printerText() const;

    // Select/Setup Printer: the print dialog, then the chosen printer's properties.
    // True when a printer was chosen (its text is stored).
    bool SelectPrinter(QWidget* owner);

    enum class Outcome { BadRange, Printed, Cancelled };
    // The Print button: stores the choices, checks the range, prints. `makeProgress` is
    // called once the range is good (the dialog hides itself then).
    Outcome Print(QWidget* owner, const PrintChoices& choices, const QString& firstText, const QString& lastText,
                  const std::function<std::unique_ptr<PrintProgress>()>& makeProgress);

    // The last run of the page loop (for the caller's record).
    const fax::print::PrintRun& lastRun() const { return run_; }
    // Sheets the printer got in the last run.
    unsigned sheets() const { return sheets_; }

    // Closes the print file.
    void Release();

private:
    void StoreChoices(const PrintChoices& choices, bool withBlankPage);
    std::unique_ptr<QPrinter> OpenPrinterOrSetup(QWidget* owner);
    void RememberSetup(QPrinter& printer);

    ViewerState& state_;
    QString path_;
    fax::print::PrintFile file_;
    fax::print::PrintRun run_;
    unsigned sheets_ = 0;
    // The printer chosen in this dialog with its page setup, used again when its text is printed to.
    std::unique_ptr<QPrinter> chosen_;
};

// Reads the first or last page field: at most 4 characters, leading decimal digits.
unsigned ParsePageField(const QString& text);

}  // namespace app
