#include "zoomedit/zoom_edit_dialog.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/file_copy.h"
#include "app/viewer_state.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "zoomedit/bitmap_file.h"
#include "zoomedit/zoom_edit.h"
#include "zoomedit/zoom_edit_command.h"

namespace app {

namespace {
int g_zoomEditOpen = 0;
}

ZoomEditDialog::ZoomEditDialog(QWidget* owner, ViewerState& state, unsigned page)
    : QDialog(owner), state_(state), page_(page), scope_(this) {
    ++g_zoomEditOpen;
    setWindowTitle(tr("Zoom/Edit Fax"));
    first_ = new QLabel(tr("Loading the editor"), this);
    second_ = new QLabel(tr("Please stand by..."), this);
    back_ = new QPushButton(tr("&Back to Vantorel"), this);
    back_->setEnabled(false);  // only for systems that cannot watch the editor
    auto* layout = new QVBoxLayout(this);
    for (QLabel* l : {first_, second_}) {
        l->setAlignment(Qt::AlignCenter);
        layout->addWidget(l);
    }
    layout->addWidget(back_, 0, Qt::AlignCenter);
    setMinimumSize(320, 120);
}

ZoomEditDialog::~ZoomEditDialog() { --g_zoomEditOpen; }

bool ZoomEditDialog::IsOpen() { return g_zoomEditOpen > 0; }

bool ZoomEditDialog::Prepare() {
    adjustSize();
    CentreOnScreen(this);
    // zoomedit.pcx counts too: a fax of that name would be removed with the work files.
    bool reserved = false;
    for (const char* name : {fax::kZoomEditDcx, fax::kZoomEditPcx})
        reserved = reserved || SameFile(state_.currentFax, QDir(state_.programDir).filePath(QLatin1String(name)));
    if (reserved) {
        prompts().show(this, QString::fromLatin1(fax::kZoomEditTitle),
                       QStringLiteral("%1\n is a reserved file used for temporary use and can not be used for other "
                                      "purposes.")
                           .arg(state_.currentFax),
                       Icon::Information);
        return false;
    }
    QTimer::singleShot(0, this, &ZoomEditDialog::Start);
    return true;
}

void ZoomEditDialog::Start() {
    ZoomEditCommand command(this, state_.programDir, state_.currentFax, page_, state_.settings.paintProgram);
    command.showDialog = [this](bool visible) {
        // The window that started Zoom/Edit steps aside with this dialog while the paint
        // program has the page (and stays away when it was closed meanwhile).
        if (QWidget* owner = parentWidget(); owner && !(visible && ShuttingDown())) owner->setVisible(visible);
        if (visible) {
            showNormal();
            raise();
        } else {
            hide();
        }
    };
    changed_ = command.Run();
    accept();
}

void RunZoomEdit(QWidget* owner, ViewerState& state, unsigned page) {
    ZoomEditDialog dialog(owner, state, page);
    if (dialog.Prepare()) dialog.exec();
}

}  // namespace app
