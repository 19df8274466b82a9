// The folder dialog: proposes a program folder, switches between the six options, and on
// [Next >] checks the folder and installs into it.
#pragma once

#include <QDialog>
#include <QHash>

#include "installer/folder_options.h"
#include "installer/payload.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace inst {

class DelayedTips;

class FolderDialog : public QDialog, public PayloadView {
    Q_OBJECT
public:
    // `self` is the installer's own program file (the last payload step copies it).
    FolderDialog(const QString& self, QWidget* parent = nullptr);
    ~FolderDialog() override;

    // Opens the dialog modally; Accepted only after the folder, files and registrations
    // are in place. Rejected at once when no folder can be proposed.
    int run();
    QString acceptedFolder() const { return accepted_; }

    // Parts the tests look at.
    QRadioButton* option(int id) const { return options_.value(id); }
    QLineEdit* folderField() const { return field_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* exitButton() const { return exit_; }
    QLabel* sourceLine() const { return source_; }
    DelayedTips* optionTips() const { return optionTips_; }
    DelayedTips* fieldTips() const { return fieldTips_; }

    // PayloadView
    void showProgress(const QString& bar) override;
    void showSource(const QString& text) override;
    void showDestination(const QString& text) override;
    QWidget* owner() override { return this; }

private:
    bool prepare();
    void showPick(const FolderPick& pick);
    void optionClicked(int id);
    void nextClicked();

    QString self_;
    QString start_;
    QString accepted_;
    QHash<int, QRadioButton*> options_;
    QLineEdit* field_;
    QLabel* source_;
    QLabel* destination_;
    QLabel* bar_;
    QPushButton* exit_;
    QPushButton* next_;
    DelayedTips* optionTips_;
    DelayedTips* fieldTips_;
};

}  // namespace inst
