// The main window's page list (the Page item).
#pragma once

#include <QComboBox>
#include <functional>

namespace app {

// The page selector: a drop-down list that reports when its list has closed. A click or
// Enter in the list makes the entry current only after the list is hidden, so the report
// waits for the events in hand; closing without a choice keeps the preselected entry.
class PageSelector : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onClosed;
    void hidePopup() override {
        QComboBox::hidePopup();
        if (!onClosed || reportPending_) return;
        reportPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                reportPending_ = false;
                onClosed();
            },
            Qt::QueuedConnection);
    }

private:
    bool reportPending_ = false;
};

}  // namespace app
