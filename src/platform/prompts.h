// The prompts seam: every message box and file dialog of the programs goes through it,
// so tests can see each prompt and answer it from a script.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;
class QPrinter;

namespace app {

enum class Icon { None, Information, Question, Error, Warning };

enum Button : unsigned { NoButton = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8 };
using Buttons = unsigned;  // Button flags

struct FileDialogSpec {
    QString title;
    QString startFolder;
    QString fileName;          // preset name (may be a full path)
    QStringList filters;       // e.g. "Fax (*.dcx *.DCX)"
    QString defaultSuffix;     // without the dot
    bool programsFirst = false;  // the first filter lists folders and programs only
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // A modal message box; returns the button chosen (the default button when closed).
    virtual Button ask(QWidget* owner, const QString& title, const QString& text, Icon icon, Buttons buttons,
                       Button defaultButton) = 0;
    // Open dialog (the chosen file must exist); empty when cancelled.
    virtual QString openFile(QWidget* owner, const FileDialogSpec& spec) = 0;
    // Save dialog (its folder must exist; asks before replacing); empty when cancelled.
    virtual QString saveFile(QWidget* owner, const FileDialogSpec& spec) = 0;
    // Printer setup; true when confirmed.
    virtual bool printerSetup(QWidget* owner, QPrinter* printer) = 0;
    // The chosen printer's own properties (page size, orientation ...), applied to `printer`.
    virtual void printerProperties(QWidget* owner, QPrinter* printer) = 0;

    // Shorthands for the common one-button boxes.
    void show(QWidget* owner, const QString& title, const QString& text, Icon icon) {
        ask(owner, title, text, icon, Ok, Ok);
    }
    bool yesNo(QWidget* owner, const QString& title, const QString& text, Button defaultButton = Yes) {
        return ask(owner, title, text, Icon::Question, Yes | No, defaultButton) == Yes;
    }
};

// The prompts in use; the Qt implementation unless a test installs its own.
Prompts& prompts();
// Installs `p` (not owned); nullptr restores the Qt implementation.
void setPrompts(Prompts* p);

// The Qt implementation: QMessageBox, QFileDialog, QPrintDialog.
class QtPrompts : public Prompts {
public:
    Button ask(QWidget* owner, const QString& title, const QString& text, Icon icon, Buttons buttons,
               Button defaultButton) override;
    QString openFile(QWidget* owner, const FileDialogSpec& spec) override;
    QString saveFile(QWidget* owner, const FileDialogSpec& spec) override;
    bool printerSetup(QWidget* owner, QPrinter* printer) override;
    void printerProperties(QWidget* owner, QPrinter* printer) override;
};

// The fax file dialogs' filter list: DCX first, then PCX, then all files; the patterns
// also match upper-case names such as FAX.DCX.
QStringList FaxFileFilters();

}  // namespace app
