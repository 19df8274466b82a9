// A program folder, a settings store and a desktop of stand-ins for the help tests: a
// browser script that records how it was started, and the default browser's own
// desktop entry.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <string>

#include "app/viewer_state.h"
#include "platform/scripted_prompts.h"
#include "platform/shell.h"
#include "support/test_files.h"

namespace helpfix {

QString Q(const std::string& s);
QString ReadAll(const QString& path);

class HelpDesk {
public:
    HelpDesk();
    ~HelpDesk();

    // $BROWSER for this test (unset when empty).
    void SetBrowserVariable(const QString& value);
    // Makes `desktopId` the desktop's browser; with a non-empty `exec` the entry exists.
    void SetDesktopBrowser(const QString& desktopId, const QString& exec);
    // The arguments the stand-in browser was started with, its working folder first;
    // empty when it did not run within a few seconds.
    QStringList BrowserRun();

    QString browserScript;  // the stand-in browser
    QString helpPage;       // programDir/tarvexhelp.htm
    testing_support::TempDir dir;
    app::ViewerState state;
    app::ScriptedPrompts prompts;
    app::RecordingShell shell;

private:
    QString record_;
    std::map<std::string, QByteArray> saved_;
};

}  // namespace helpfix
