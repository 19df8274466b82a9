#include "platform/prompts.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>

namespace app {

namespace {
Prompts* g_override = nullptr;

// Qt's printer dialog without its page range and copy count: the fax dialog's own range is
// the only one, and each sheet comes out once.
class PrinterSetupDialog : public QPrintDialog {
public:
    using QPrintDialog::QPrintDialog;
    void setVisible(bool visible) override {
        QPrintDialog::setVisible(visible);  // shows the range again for a CUPS printer
        if (!visible) return;
        for (const char* name : {"gbPrintRange", "collate"})
            if (auto* w = findChild<QWidget*>(QLatin1String(name))) w->hide();
        if (auto* copies = findChild<QSpinBox*>(QStringLiteral("copies"))) {
            copies->setValue(1);
            copies->hide();
            for (auto* label : findChildren<QLabel*>())
                if (label->buddy() == copies) label->hide();
        }
    }
};

QMessageBox::StandardButton ToQt(Button b) {
    switch (b) {
        case Ok: return QMessageBox::Ok;
        case Cancel: return QMessageBox::Cancel;
        case Yes: return QMessageBox::Yes;
        case No: return QMessageBox::No;
        default: return QMessageBox::NoButton;
    }
}

QMessageBox::Icon ToQt(Icon icon) {
    switch (icon) {
        case Icon::Information: return QMessageBox::Information;
        case Icon::Question: return QMessageBox::Question;
        case Icon::Error: return QMessageBox::Critical;
        case Icon::Warning: return QMessageBox::Warning;
        case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

void Prepare(QFileDialog& d, const FileDialogSpec& spec) {
    d.setWindowTitle(spec.title);
    d.setDirectory(spec.startFolder);
    d.setNameFilters(spec.filters);
    if (!spec.filters.isEmpty()) d.selectNameFilter(spec.filters.first());
    d.setDefaultSuffix(spec.defaultSuffix);
    if (!spec.fileName.isEmpty()) d.selectFile(spec.fileName);
    d.setOption(QFileDialog::ReadOnly, false);
    if (spec.programsFirst && !spec.filters.isEmpty()) {
        // Programs have no extension to filter by: the first filter shows executables only.
        const QDir::Filters all = QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot;
        d.setFilter(all | QDir::Executable);
        const QString programs = spec.filters.first();
        QObject::connect(&d, &QFileDialog::filterSelected, &d, [&d, all, programs](const QString& filter) {
            d.setFilter(filter == programs ? all | QDir::Executable : all);
        });
    }
}

// Open dialogs want an existing file; save dialogs any name in an existing folder.
QString RunFileDialog(QWidget* owner, const FileDialogSpec& spec, bool save) {
    QFileDialog d(owner);
    Prepare(d, spec);
    d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The command asks its own "already exists. Over-Write it?"; the dialog must not ask first.
    d.setOption(QFileDialog::DontConfirmOverwrite, save);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().first();
}
}  // namespace

Prompts& prompts() {
    static QtPrompts qt;
    return g_override ? *g_override : qt;
}

void setPrompts(Prompts* p) { g_override = p; }

Button QtPrompts::ask(QWidget* owner, const QString& title, const QString& text, Icon icon, Buttons buttons,
                      Button defaultButton) {
    QMessageBox box(ToQt(icon), title, text, QMessageBox::NoButton, owner);
    for (Button b : {Ok, Cancel, Yes, No})
        if (buttons & b) box.addButton(ToQt(b));
    if (defaultButton != NoButton) box.setDefaultButton(ToQt(defaultButton));
    int r = box.exec();
    for (Button b : {Ok, Cancel, Yes, No})
        if (r == ToQt(b)) return b;
    // Closed without a button: the escape button's meaning.
    if (buttons & Cancel) return Cancel;
    if (buttons & No) return No;
    return defaultButton;
}

QString QtPrompts::openFile(QWidget* owner, const FileDialogSpec& spec) { return RunFileDialog(owner, spec, false); }

QString QtPrompts::saveFile(QWidget* owner, const FileDialogSpec& spec) { return RunFileDialog(owner, spec, true); }

bool QtPrompts::printerSetup(QWidget* owner, QPrinter* printer) {
    PrinterSetupDialog d(printer, owner);
    // Here a printer is only chosen; nothing prints when the dialog closes.
    d.setWindowTitle(QStringLiteral("Print Setup"));
    if (auto* box = d.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
    return d.exec() == QDialog::Accepted;
}

void QtPrompts::printerProperties(QWidget* owner, QPrinter* printer) {
    QPageSetupDialog d(printer, owner);
    d.exec();
}

QStringList FaxFileFilters() {
    return {QStringLiteral("Fax (*.dcx *.DCX)"), QStringLiteral("Fax (*.pcx *.PCX)"),
            QStringLiteral("All Files (*.*)")};
}

}  // namespace app
