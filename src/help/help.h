// The help page and the documents beside the program, opened in the user's browser or
// editor, and the maker's web site.
#pragma once

#include <QString>

class QWidget;

namespace app {

struct ViewerState;

inline const QString kHelpPage = QStringLiteral("tarvexhelp.htm");
inline const QString kReadMe = QStringLiteral("README.TXT");
inline const QString kManual = QStringLiteral("MANUAL.TXT");

// Writes the help page the program carries into programDir, replacing any older copy, and
// the read-me and the manual where they are missing. True when the help page was written.
bool WriteHelpFiles(QWidget* owner, const QString& programDir);

// The program named by a browser command text: its first word, or the quoted text when it
// starts with a double quote; a bare name is looked up on PATH. Empty when no executable
// file of that name exists.
QString BrowserCommandProgram(const QString& command);
// The user's web browser started on `url`, as a program and its arguments: the first
// entry of $BROWSER that names a program, then the desktop's default browser
// (xdg-settings) as its desktop entry says. Empty when there is none.
QStringList WebBrowserCommand(const QString& url);

// Opens a page of ours in the user's web browser at `url`; failing that hands the page
// itself to the desktop. True when either succeeded.
bool OpenPageInBrowser(const QString& page, const QString& url, const QString& workingFolder);

// The page's URL with `anchor` ("#Build_Fax", or empty).
QString HelpUrl(const QString& programDir, const QString& anchor);
// Opens the help page at `anchor` in the browser; else the page itself through the desktop
// (without the anchor); else says so, owned by `owner`.
void ShowHelp(QWidget* owner, const ViewerState& state, const QString& anchor);

// README.TXT or MANUAL.TXT from the program folder, with a message when nothing opens it.
void OpenDocument(QWidget* owner, const ViewerState& state, const QString& name);
// The maker's web site; the result is not checked.
void OpenWebSite(const ViewerState& state);

}  // namespace app
