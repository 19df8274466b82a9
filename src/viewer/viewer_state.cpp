#include "viewer/viewer_state.h"

namespace app {

void ViewerState::DeriveFolders() {
    faxDir = programDir + QStringLiteral("/Fax");
    dataDir = programDir + QStringLiteral("/Data");
    accumDir = dataDir + QStringLiteral("/faxaccum");
}

}  // namespace app
