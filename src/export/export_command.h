// The "Build TIF and PDF file..." command: copies the default fax as a Group 3 TIFF and
// a Group 4 PDF beside it, then offers to open either copy.
#pragma once

#include <QString>

class QWidget;

namespace app {

struct ViewerState;

// The copies' names for a fax path: the same folder and name with ".tif" and ".pdf" for
// its last extension. False when the path names no fax of ours (no ".dcx" or ".pcx" in
// it, ignoring case) or no file, or when its file name has no extension.
bool ExportPaths(const QString& faxPath, QString& tifPath, QString& pdfPath);

// Runs the command for state.currentFax: asks, converts, shows the failure or the
// "View TIF or PDF file" dialog (modal). True when both copies were written.
bool RunBuildTifPdfCommand(QWidget* owner, ViewerState& state);

}  // namespace app
