// The "Vantorel Print Fax" dialog and its modeless progress window.
#pragma once

#include <QDialog>

#include "platform/window_stack.h"
#include "print/print_job.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace app {

struct ViewerState;

// "Printing Page: ..." with the "&Abort Print Job" button; owned by the main window.
class PrintProgressWindow : public QDialog, public PrintProgress {
    Q_OBJECT
public:
    explicit PrintProgressWindow(QWidget* owner);
    void showFile(const QString& path) override;
    void showPage(unsigned current, unsigned first, unsigned last) override;
    bool abortRequested() const override { return abort_; }
    // Escape or the window's close box: the window stays and the job is aborted, as with
    // the button, so the way to stop a job never disappears.
    void reject() override { abort_ = true; }

    QLabel* fileLabel() const { return file_; }
    QLabel* pageLabel() const { return page_; }
    QPushButton* abortButton() const { return abortButton_; }

private:
    ToolWindowScope scope_;
    QLabel* file_;
    QLabel* page_;
    QPushButton* abortButton_;
    bool abort_ = false;
};

class PrintFaxDialog : public QDialog {
    Q_OBJECT
public:
    PrintFaxDialog(QWidget* owner, ViewerState& state);
    ~PrintFaxDialog() override;

    // While a Print Fax dialog exists a second one is refused ("... is busy.").
    static bool IsOpen();

    // The opening steps: false when the dialog must not be shown.
    bool Prepare();

    const PrintJob& job() const { return job_; }
    QLabel* printerLabel() const { return printer_; }
    QLabel* pageCountLabel() const { return pageCount_; }
    QLineEdit* firstEdit() const { return first_; }
    QLineEdit* lastEdit() const { return last_; }
    QRadioButton* scalingButton(int value) const { return scaling_[value - 1]; }  // 1..3
    QRadioButton* actualSizeButton() const { return actual_; }
    QRadioButton* scaleToPrinterButton() const { return scaleToPrinter_; }
    QRadioButton* normalButton() const { return normal_; }
    QRadioButton* lightButton() const { return light_; }
    QCheckBox* blankPagesBox() const { return blank_; }
    QPushButton* setupButton() const { return setup_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* helpButton() const { return help_; }
    // The progress window while a job runs (tests press its Abort button).
    PrintProgressWindow* progressWindow() const { return progress_; }

private:
    void SelectSetupPrinter();
    void PrintPages();
    PrintChoices Choices() const;

    ViewerState& state_;
    ToolWindowScope scope_;
    PrintJob job_;
    QLabel* printer_;
    QLabel* pageCount_;
    QLineEdit* first_;
    QLineEdit* last_;
    QRadioButton* scaling_[3];
    QRadioButton* actual_;
    QRadioButton* scaleToPrinter_;
    QRadioButton* normal_;
    QRadioButton* light_;
    QCheckBox* blank_;
    QPushButton* setup_;
    QPushButton* print_;
    QPushButton* cancel_;
    QPushButton* help_;
    PrintProgressWindow* progress_ = nullptr;
};

// File > Print: the dialog, modal. The caller closes its open fax before and reopens it after.
void RunPrintFax(QWidget* owner, ViewerState& state);

}  // namespace app
