// The desktop's "open" action for documents and web addresses, behind a seam so tests
// can see what would have been opened.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

class Shell {
public:
    virtual ~Shell() = default;
    // Hands a file path or a URL to the desktop's opener; true when the opener succeeded.
    virtual bool open(const QString& pathOrUrl, const QString& workingFolder = {}) = 0;
    // Starts a program with arguments in a working folder; true unless it could not start
    // or soon ended with a failure.
    virtual bool start(const QString& program, const QStringList& arguments, const QString& workingFolder) = 0;
};

Shell& shell();

// Moves a file or a whole folder into the desktop's trash on its own file system (one
// rename, with its .trashinfo beside it, so the trash can put it back). False when no
// trash can take it; then nothing has changed.
bool MoveToTrash(const QString& path);
// Takes a user's file away so it can still be had back: into the desktop's trash where
// there is one, removed where there is none. False when the file is still there.
bool DiscardFile(const QString& path);
void setShell(Shell* s);  // nullptr restores the desktop implementation

// Records what would be opened; installed for its lifetime.
class RecordingShell : public Shell {
public:
    RecordingShell() { setShell(this); }
    ~RecordingShell() override { setShell(nullptr); }
    // Both record what they were given ("program argument..." for start); with
    // `runPrograms` set they go on to the desktop's own.
    bool open(const QString& pathOrUrl, const QString& workingFolder) override;
    bool start(const QString& program, const QStringList& arguments, const QString& workingFolder) override;
    QStringList opened;
    QStringList started;
    bool result = true;
    bool startResult = true;
    bool runPrograms = false;
};

}  // namespace app
