#include "platform/prompts.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSortFilterProxyModel>
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

// Folders and the files the user may run. QDir::Executable cannot say this in a file
// dialog: its model then hides every entry that is readable or writable as well.
class ProgramsOnly : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setOn(bool on) {
        on_ = on;
        invalidateFilter();
    }
    // The file system model's own order stays (folders first, names in natural order).
    void sort(int column, Qt::SortOrder order) override { sourceModel()->sort(column, order); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!on_ || !files) return true;
        const QModelIndex entry = files->index(row, 0, parent);
        return files->isDir(entry) || files->fileInfo(entry).isExecutable();
    }

private:
    bool on_ = true;
};

void Prepare(QFileDialog& d, const FileDialogSpec& spec) {
    if (spec.programsFirst && !spec.filters.isEmpty()) {
        // A desktop's own file dialog would show every file under the programs' filter.
        d.setOption(QFileDialog::DontUseNativeDialog);
        auto* programs = new ProgramsOnly(&d);
        d.setProxyModel(programs);
        const QString first = spec.filters.first();
        QObject::connect(&d, &QFileDialog::filterSelected, programs,
                         [programs, first](const QString& filter) { programs->setOn(filter == first); });
    }
    d.setWindowTitle(spec.title);
    d.setDirectory(spec.startFolder);
    d.setNameFilters(spec.filters);
    if (!spec.filters.isEmpty()) d.selectNameFilter(spec.filters.first());
    d.setDefaultSuffix(spec.defaultSuffix);
    if (!spec.fileName.isEmpty()) d.selectFile(spec.fileName);
    d.setOption(QFileDialog::ReadOnly, false);
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
