// The "Vantorel dcx to pcx BreakUp" dialog: splits the default fax into PCX page files
// in the Data folder, named from a seed the user types.
#pragma once

#include <QDialog>

#include "platform/window_stack.h"
#include "tools/breakup.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

struct ViewerState;

class BreakUpDialog : public QDialog {
    Q_OBJECT
public:
    BreakUpDialog(QWidget* owner, ViewerState& state);
    ~BreakUpDialog() override;

    // While a BreakUp dialog exists a second one is refused ("... is busy.").
    static bool IsOpen();

    // The opening steps: false (after showing why) when the dialog must not be shown.
    bool Prepare();

    QLineEdit* seedEdit() const { return seed_; }
    QLabel* sourceLabel() const { return source_; }
    QLabel* countLabel() const { return count_; }
    QLabel* outputLabel() const { return output_; }
    QPushButton* breakUpButton() const { return breakUp_; }
    QPushButton* exitButton() const { return exit_; }
    QPushButton* helpButton() const { return help_; }

private:
    void BreakUpPages();

    ViewerState& state_;
    ToolWindowScope scope_;
    fax::BreakUp core_;
    QLabel* source_;
    QLabel* count_;
    QLineEdit* seed_;
    QLabel* output_;
    QPushButton* breakUp_;
    QPushButton* exit_;
    QPushButton* help_;
};

}  // namespace app
