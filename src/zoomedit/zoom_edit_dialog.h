// The "Zoom/Edit Fax" dialog: stands by while the page makes its round trip through the
// user's paint program. The steps themselves are ZoomEditCommand's.
#pragma once

#include <QDialog>

#include "platform/window_stack.h"

class QLabel;
class QPushButton;

namespace app {

struct ViewerState;

class ZoomEditDialog : public QDialog {
    Q_OBJECT
public:
    // `page` is the page on screen, the one edited.
    ZoomEditDialog(QWidget* owner, ViewerState& state, unsigned page);
    ~ZoomEditDialog() override;

    // While a Zoom/Edit dialog exists a second one is refused ("... is busy.").
    static bool IsOpen();

    // The opening steps: false (after saying why) when the fax is the reserved work file;
    // otherwise the start command is posted and runs once the dialog is on screen.
    bool Prepare();

    QLabel* firstLine() const { return first_; }
    QLabel* secondLine() const { return second_; }
    QPushButton* backButton() const { return back_; }
    // Whether the last start command rewrote the fax.
    bool faxChanged() const { return changed_; }

private:
    void Start();

    ViewerState& state_;
    unsigned page_;
    ToolWindowScope scope_;
    QLabel* first_;
    QLabel* second_;
    QPushButton* back_;
    bool changed_ = false;
};

// Runs the dialog modally on state.currentFax. The caller closes its open fax before and
// reopens it at page 1 after, whatever happened.
void RunZoomEdit(QWidget* owner, ViewerState& state, unsigned page);

}  // namespace app
