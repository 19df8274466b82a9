// The state the main window owns and every tool reads: the product's name and version, the
// program's folders, the default fax and the settings kept in memory. Every window and tool
// of both programs includes it; it includes no window.
#pragma once

#include <QString>

#include "formats/product.h"
#include "platform/settings_store.h"

namespace app {

inline const QString kProductName = QString::fromLatin1(fax::kProductTitle);
inline const QString kVersion = QString::fromLatin1(fax::kProductVersion);

struct ViewerState {
    QString commandLine;
    QString findText;    // `tarvex FAX --find TEXT`: the text to find at start-up
    QString startDir;    // the working folder the viewer was started in
    QString programDir;  // all relative names of the viewer are taken from here
    QString faxDir;      // programDir/Fax: new faxes, starting folder of file dialogs
    QString dataDir;     // programDir/Data: loose PCX pages
    QString accumDir;    // dataDir/faxaccum: the Fax-Accumulator's pages
    QString currentFax;  // the default fax (setting DftFax)
    Settings settings;
    bool primaryInstance = true;
    int osKind = 0;
    QString osDescription;

    // Derives faxDir, dataDir and accumDir from programDir.
    void DeriveFolders();
};

}  // namespace app
