// The "Vantorel Configure" dialog (open maximized, the bitmap editor) and its "Select
// Paint Program" dialog.
#pragma once

#include <QDialog>

#include "platform/prompts.h"
#include "platform/window_stack.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace app {

struct ViewerState;

// Where the program chooser starts: the folder of an absolute `paintProgram` (never above
// "/"), else the program folder.
QString PaintProgramStartFolder(const QString& paintProgram, const QString& programDir);
// The program chooser's title, filters, preset name and starting folder.
FileDialogSpec PaintProgramDialogSpec(const QString& paintProgram, const QString& programDir);

// A dialog of this folder: on the open-window stack while it exists; when shown, centred
// on the desktop with the focus on `initialFocus_`.
class CentredToolDialog : public QDialog {
protected:
    explicit CentredToolDialog(QWidget* owner) : QDialog(owner), scope_(this) {}
    void showEvent(QShowEvent* event) override;
    QWidget* initialFocus_ = nullptr;

private:
    ToolWindowScope scope_;
};

class ConfigureDialog : public CentredToolDialog {
    Q_OBJECT
public:
    ConfigureDialog(QWidget* owner, ViewerState& state);

    QPushButton* selectButton() const { return select_; }
    QCheckBox* openMaxBox() const { return openMax_; }
    QCheckBox* recogniseBox() const { return recognise_; }
    QComboBox* languageBox() const { return language_; }
    QPushButton* helpButton() const { return help_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* applyButton() const { return apply_; }

private:
    ViewerState& state_;
    QPushButton* select_;
    QCheckBox* openMax_;
    QCheckBox* recognise_;
    QComboBox* language_;
    QPushButton* help_;
    QPushButton* cancel_;
    QPushButton* apply_;
};

class SelectPaintProgramDialog : public CentredToolDialog {
    Q_OBJECT
public:
    SelectPaintProgramDialog(QWidget* owner, ViewerState& state);

    QLineEdit* pathEdit() const { return path_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* applyButton() const { return apply_; }

private:
    void browse();
    void store();

    ViewerState& state_;
    QLineEdit* path_;
    QPushButton* browse_;
    QPushButton* apply_;
};

// Tools > Configure: runs the dialog modally.
void RunConfigure(QWidget* owner, ViewerState& state);

}  // namespace app
