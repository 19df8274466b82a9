// The desktop's "open" action for documents and web addresses, behind a seam so tests
// can see what would have been opened.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

class Shell {
public:
    virtual ~Shell() = default;
    // Hands a file path or a URL to the desktop; true when the desktop took it.
    virtual bool open(const QString& pathOrUrl, const QString& workingFolder = {}) = 0;
};

Shell& shell();

// Takes a user's file away so it can still be had back: into the desktop's trash where
// there is one, removed where there is none. False when the file is still there.
bool DiscardFile(const QString& path);
void setShell(Shell* s);  // nullptr restores the desktop implementation

// Records what would be opened; installed for its lifetime.
class RecordingShell : public Shell {
public:
    RecordingShell() { setShell(this); }
    ~RecordingShell() override { setShell(nullptr); }
    bool open(const QString& pathOrUrl, const QString&) override {
        opened << pathOrUrl;
        return result;
    }
    QStringList opened;
    bool result = true;
};

}  // namespace app
