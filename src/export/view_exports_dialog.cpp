#include "export/view_exports_dialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "platform/shell.h"

namespace app {

namespace {
constexpr int kPathEditWidth = 420;
}

ViewExportsDialog::ViewExportsDialog(QWidget* owner, const QString& tifPath, const QString& pdfPath)
    : QDialog(owner), scope_(this), tifPath_(tifPath), pdfPath_(pdfPath) {
    setWindowTitle(QStringLiteral("View TIF or PDF file"));
    setModal(true);

    viewTif_ = new QPushButton(QStringLiteral("&View TIF file"), this);
    viewPdf_ = new QPushButton(QStringLiteral("&View PDF file"), this);
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    viewTif_->setDefault(true);

    // Read-only edits rather than labels: a long path scrolls and can be copied.
    auto pathEdit = [this](const QString& path) {
        auto* e = new QLineEdit(path, this);
        e->setReadOnly(true);
        e->setMinimumWidth(kPathEditWidth);
        e->setCursorPosition(0);
        return e;
    };
    tifEdit_ = pathEdit(tifPath_);
    pdfEdit_ = pathEdit(pdfPath_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(viewTif_, 0, 0);
    grid->addWidget(tifEdit_, 0, 1);
    grid->addWidget(viewPdf_, 1, 0);
    grid->addWidget(pdfEdit_, 1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close_);
    grid->addLayout(bottom, 2, 0, 1, 2);

    connect(viewTif_, &QPushButton::clicked, this, [this] { Open(tifPath_); });
    connect(viewPdf_, &QPushButton::clicked, this, [this] { Open(pdfPath_); });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    viewTif_->setFocus();
}

void ViewExportsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(this);
    viewTif_->setFocus();
}

void ViewExportsDialog::Open(const QString& path) {
    shell().open(path, QFileInfo(path).absolutePath());
}

}  // namespace app
