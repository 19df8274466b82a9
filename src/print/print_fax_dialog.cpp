#include "print/print_fax_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/viewer_state.h"
#include "help/help.h"
#include "print/qt_printer.h"

namespace app {

namespace {
int g_open = 0;

QGroupBox* RadioGroup(QWidget* parent, const QString& title, std::initializer_list<QRadioButton*> buttons) {
    auto* box = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    for (QRadioButton* b : buttons) {
        b->setParent(box);
        layout->addWidget(b);
        group->addButton(b);
    }
    return box;
}

}  // namespace

PrintProgressWindow::PrintProgressWindow(QWidget* owner) : QDialog(owner), scope_(this) {
    setWindowTitle(kPrintFaxTitle);
    setModal(false);
    file_ = new QLabel(tr("Current Selected File"), this);
    page_ = new QLabel(tr("Printing . . . ."), this);
    abortButton_ = new QPushButton(tr("&Abort Print Job"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file_);
    layout->addWidget(page_);
    layout->addWidget(abortButton_, 0, Qt::AlignHCenter);
    connect(abortButton_, &QPushButton::clicked, this, [this] { abort_ = true; });
    show();
}

void PrintProgressWindow::showFile(const QString& path) { file_->setText(path); }

void PrintProgressWindow::showPage(unsigned current, unsigned first, unsigned last) {
    page_->setText(QStringLiteral("Printing Page: %1 of %2 through %3.").arg(current).arg(first).arg(last));
    repaint();
}

PrintFaxDialog::PrintFaxDialog(QWidget* owner, ViewerState& state)
    : QDialog(owner), state_(state), scope_(this), job_(state) {
    ++g_open;
    setWindowTitle(kPrintFaxTitle);

    auto* printerBox = new QGroupBox(tr("Printer:"), this);
    // Alt+S belongs to the button: a label claiming it too would only move the focus.
    auto* driverLabel = new QLabel(tr("Selected Printer Driver:"), printerBox);
    printer_ = new QLabel(printerBox);
    printer_->setWordWrap(true);
    printer_->setMinimumWidth(360);
    setup_ = new QPushButton(tr("&Select/Setup Printer"), printerBox);
    auto* printerLayout = new QVBoxLayout(printerBox);
    printerLayout->addWidget(driverLabel);
    printerLayout->addWidget(printer_);
    printerLayout->addWidget(setup_, 0, Qt::AlignLeft);

    for (int i = 0; i < 3; ++i)
        scaling_[i] = new QRadioButton(QStringList{tr("API"), tr("Pre 300 X 300"), tr("HP 300 X 300")}[i]);
    actual_ = new QRadioButton(tr("Print Actual Fax Size"));
    scaleToPrinter_ = new QRadioButton(tr("Scale to Printer"));
    normal_ = new QRadioButton(tr("Normal"));
    light_ = new QRadioButton(tr("Light"));
    auto* options = new QHBoxLayout;
    options->addWidget(RadioGroup(this, tr("Scaling Factor"), {scaling_[0], scaling_[1], scaling_[2]}));
    options->addWidget(RadioGroup(this, tr("Aspect"), {actual_, scaleToPrinter_}));
    options->addWidget(RadioGroup(this, tr("Dither"), {normal_, light_}));
    blank_ = new QCheckBox(tr("Print Blank Pages"), this);

    auto* rangeBox = new QGroupBox(tr("Print Range:"), this);
    auto* range = new QGridLayout(rangeBox);
    pageCount_ = new QLabel(rangeBox);
    first_ = new QLineEdit(rangeBox);
    last_ = new QLineEdit(rangeBox);
    for (QLineEdit* e : {first_, last_}) e->setMaxLength(4);
    auto* firstLabel = new QLabel(tr("Print Pa&ge"), rangeBox);
    auto* lastLabel = new QLabel(tr("&Through"), rangeBox);
    firstLabel->setBuddy(first_);
    lastLabel->setBuddy(last_);
    range->addWidget(new QLabel(tr("Number of Page(s) in Fax:"), rangeBox), 0, 0);
    range->addWidget(pageCount_, 0, 1);
    range->addWidget(firstLabel, 1, 0);
    range->addWidget(first_, 1, 1);
    range->addWidget(lastLabel, 1, 2);
    range->addWidget(last_, 1, 3);

    print_ = new QPushButton(tr("&Print"), this);
    print_->setDefault(true);
    cancel_ = new QPushButton(tr("&Cancel"), this);
    help_ = new QPushButton(tr("&Help"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {print_, cancel_, help_}) buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(printerBox);
    layout->addLayout(options);
    layout->addWidget(blank_);
    layout->addWidget(rangeBox);
    layout->addLayout(buttons);

    connect(setup_, &QPushButton::clicked, this, &PrintFaxDialog::SelectSetupPrinter);
    connect(print_, &QPushButton::clicked, this, &PrintFaxDialog::PrintPages);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(help_, &QPushButton::clicked, this, [this] { ShowHelp(this, state_, QStringLiteral("#print_fax")); });
}

PrintFaxDialog::~PrintFaxDialog() { --g_open; }

bool PrintFaxDialog::IsOpen() { return g_open > 0; }

bool PrintFaxDialog::Prepare() {
    if (!job_.Open(this)) return false;
    pageCount_->setText(QStringLiteral("%1").arg(job_.pageCount(), 4, 10, QLatin1Char('0')));
    first_->setText(QStringLiteral("1"));
    last_->setText(QString::number(job_.pageCount()));
    printer_->setText(PrinterDisplayText(job_.printerText()));
    const PrintChoices c = job_.StoredChoices();
    (c.dither == 2 ? normal_ : light_)->setChecked(true);
    scaling_[c.scalingFactor - 1]->setChecked(true);
    (c.prnAspect == 1 ? scaleToPrinter_ : actual_)->setChecked(true);
    blank_->setChecked(c.printBlankPage != 0);
    adjustSize();
    CentreOnScreen(this);
    print_->setFocus();
    return true;
}

PrintChoices PrintFaxDialog::Choices() const {
    PrintChoices c;
    c.dither = normal_->isChecked() ? 2 : 1;
    c.scalingFactor = scaling_[0]->isChecked() ? 1 : scaling_[1]->isChecked() ? 2 : 3;
    c.prnAspect = scaleToPrinter_->isChecked() ? 1 : 0;
    c.printBlankPage = blank_->isChecked() ? 1 : 0;
    return c;
}

void PrintFaxDialog::SelectSetupPrinter() {
    if (job_.SelectPrinter(this)) {
        printer_->setText(PrinterDisplayText(job_.printerText()));
        print_->setFocus();
    }
}

void PrintFaxDialog::PrintPages() {
    QWidget* mainWindow = parentWidget() ? parentWidget()->window() : nullptr;
    const auto outcome = job_.Print(this, Choices(), first_->text(), last_->text(), [this, mainWindow] {
        hide();
        auto window = std::make_unique<PrintProgressWindow>(mainWindow);
        progress_ = window.get();
        // The job owns the window; it is gone when the job ends.
        connect(window.get(), &QObject::destroyed, this, [this] { progress_ = nullptr; });
        return std::unique_ptr<PrintProgress>(std::move(window));
    });
    switch (outcome) {
        case PrintJob::Outcome::BadRange:
            first_->setFocus();
            first_->selectAll();
            break;
        case PrintJob::Outcome::Printed: accept(); break;
        case PrintJob::Outcome::Cancelled: reject(); break;
    }
}

void RunPrintFax(QWidget* owner, ViewerState& state) {
    PrintFaxDialog dialog(owner, state);
    if (dialog.Prepare()) dialog.exec();
}

}  // namespace app
