// The installer's backdrop window: every run starts here, closes a running viewer and
// chooses installing or uninstalling from the command line.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <functional>

namespace inst {

enum class Mode { Install, UnInstall, UnInstall2 };
Mode ModeOf(const QString& commandLine);

// The steps after the folder dialog: shortcuts and group, DftFax, starting the viewer.
// `folderDialog` runs the folder dialog and gives the accepted folder; false = not OK.
void RunInstallCommand(QWidget* window, const std::function<bool(QString&)>& folderDialog);

// The terms shown before the folder dialog.
QString TermsText();

class InstallerWindow : public QDialog {
    Q_OBJECT
public:
    InstallerWindow(const QString& commandLine, const QString& self, QWidget* parent = nullptr);
    // Runs the whole program; returns its exit code.
    int run();
    // Where the picture is drawn in a client area of `size`.
    static QPoint PictureOrigin(const QSize& size);
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void install();
    QString commandLine_;
    QString self_;
    QPixmap picture_;
};

}  // namespace inst
