// Opening the help page at an anchor, owned by the current tool window.
#pragma once

#include <QString>

class QWidget;

namespace app {

struct ViewerState;

// Opens programDir/tarvexhelp.htm at `anchor` (such as "#Build_Fax") in the browser.
void OpenHelp(QWidget* owner, const ViewerState& state, const QString& anchor);

}  // namespace app
