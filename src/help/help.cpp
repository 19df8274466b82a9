#include "help/help.h"

#include <QUrl>

#include "platform/shell.h"
#include "viewer/viewer_state.h"

namespace app {

void OpenHelp(QWidget*, const ViewerState& state, const QString& anchor) {
    QUrl url = QUrl::fromLocalFile(state.programDir + QStringLiteral("/tarvexhelp.htm"));
    QString fragment = anchor.startsWith(QLatin1Char('#')) ? anchor.mid(1) : anchor;
    if (!fragment.isEmpty()) url.setFragment(fragment);
    shell().open(url.toString(), state.programDir);
}

}  // namespace app
