#include "app/viewer_state.h"

#include <QDir>

namespace app {

void ViewerState::DeriveFolders() {
    // QDir joins without doubling the root's separator ("/" gives "/Fax").
    faxDir = QDir(programDir).filePath(QStringLiteral("Fax"));
    dataDir = QDir(programDir).filePath(QStringLiteral("Data"));
    accumDir = QDir(dataDir).filePath(QStringLiteral("faxaccum"));
}

}  // namespace app
