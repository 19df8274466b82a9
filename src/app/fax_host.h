// What a command needs from the main window that owns the open fax. The tools see the
// window only through this, so they never include the viewer's own headers.
#pragma once

#include <QString>

class QWidget;

namespace app {

struct ViewerState;

class FaxHost {
public:
    virtual ~FaxHost() = default;
    virtual QWidget* window() = 0;
    virtual ViewerState& state() = 0;
    // Releases the page surface (the picture disappears) and closes the open fax.
    virtual void releaseFax() = 0;
    // Opens `path` read-only; when that succeeds it becomes CurrentFax and its page 1 is
    // shown as a new file. False (and nothing shown) when it cannot be opened.
    virtual bool showNewFile(const QString& path) = 0;
    // Sets the plain title "Vantorel 15.05.01" used while no fax is shown.
    virtual void setPlainTitle() = 0;
};

}  // namespace app
