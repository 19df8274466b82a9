// Removing the product again, in two stages: the first copies the installer out of the
// program folder and starts that copy; the second asks, removes the program folder and
// the shortcuts.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace inst {

// {local application data}/TEMP/Tarvex: where the second stage runs from.
QString RelocationFolder();
// The first stage; true when the relocated copy was started.
bool RunFirstStage(QWidget* owner);
// The second stage's command: question, confirmation, removal, final message.
void RunUninstallCommand(QWidget* owner);
// At the end of the second stage: the relocated copy `self` deletes itself, and its
// folders when they are empty. Any other program file stays.
void RemoveRelocatedCopy(const QString& self);

// Why `folder` must not be removed, or empty when it is an installation that may go:
// it must hold the installed viewer, and must not be /, the home folder or above it,
// nor a symbolic link.
QString RemovalRefusal(const QString& folder);
// Deletes a folder depth first; symbolic links are removed, never entered, and folders
// whose names start with a dot are left. Stops at the first entry it cannot remove.
bool RemoveFolderTree(const QString& folder);

// The confirmation dialog: [Finish] removes the program folder.
class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConfirmDialog(QWidget* parent = nullptr);
    // Rejected at once (after its message) when the program folder cannot be found.
    int run();
    QLabel* explanation() const { return text_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* finishButton() const { return finish_; }
    QString folder() const { return folder_; }

private:
    void finish();
    QString folder_;
    QLabel* text_;
    QPushButton* cancel_;
    QPushButton* finish_;
};

}  // namespace inst
