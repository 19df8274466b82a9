// The "Build Fax from pcx file(s)" dialog: the user picks PCX files of the Data folder
// into a page list, and the tool builds a new DCX of them in that order.
#pragma once

#include <QDialog>
#include <QStringList>

#include "platform/window_stack.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace app {

struct ViewerState;

class BuildFaxDialog : public QDialog {
    Q_OBJECT
public:
    BuildFaxDialog(QWidget* owner, ViewerState& state);
    ~BuildFaxDialog() override;

    static bool IsOpen();
    // At most this many names are listed.
    static constexpr int kMaxListed = 4001;

    // Lists the Data folder and forms the default name; false (after the message) when
    // there is nothing to build from.
    bool Prepare();
    // True after Build made a new fax (state.currentFax then names it).
    bool built() const { return built_; }

    // The list actions, as the buttons and the lists trigger them.
    void AddPcx();
    void AddAll();
    void RemovePcx();
    void RemoveAll();
    void Build();
    // A selection change in the From list; `addAtOnce` when Shift or the left mouse
    // button is down, so a click adds the file while moving with the keys only selects.
    void FromSelectionChanged(int row, bool addAtOnce);

    QListWidget* fromList() const { return from_; }
    QListWidget* toList() const { return to_; }
    QLineEdit* nameEdit() const { return name_; }
    QPushButton* helpButton() const { return help_; }
    QStringList pages() const;  // the To list, top to bottom
    int rememberedIndex() const { return remembered_; }

private:
    void Append(const QString& name);

    ViewerState& state_;
    ToolWindowScope scope_;
    QListWidget* from_;
    QListWidget* to_;
    QLineEdit* name_;
    QPushButton* build_;
    QPushButton* help_;
    QString selected_;   // the From list's most recently selected name
    int remembered_ = 0; // shared by both lists
    bool built_ = false;
};

}  // namespace app
