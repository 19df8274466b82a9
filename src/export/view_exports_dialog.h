// "View TIF or PDF file": after an export, opens either copy with the desktop's
// application for it, as often as the user likes.
#pragma once

#include <QDialog>
#include <QString>

#include "platform/window_stack.h"

class QLineEdit;
class QPushButton;

namespace app {

class ViewExportsDialog : public QDialog {
    Q_OBJECT
public:
    ViewExportsDialog(QWidget* owner, const QString& tifPath, const QString& pdfPath);

    QPushButton* viewTifButton() const { return viewTif_; }
    QPushButton* viewPdfButton() const { return viewPdf_; }
    QPushButton* closeButton() const { return close_; }
    QLineEdit* tifEdit() const { return tifEdit_; }
    QLineEdit* pdfEdit() const { return pdfEdit_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Hands the file to the desktop with its folder as the working folder; the dialog
    // stays open and nothing is said when no application takes it.
    void Open(const QString& path);

    ToolWindowScope scope_;
    QString tifPath_;
    QString pdfPath_;
    QPushButton* viewTif_;
    QPushButton* viewPdf_;
    QPushButton* close_;
    QLineEdit* tifEdit_;
    QLineEdit* pdfEdit_;
};

}  // namespace app
