// The File menu's Open, Copy, MoveAs and Delete commands. A plain class over the main
// window's FaxHost: every dialog and message goes through app::prompts(), so tests drive
// it without a screen.
#pragma once

#include <QString>

#include "platform/prompts.h"

namespace app {

class FaxHost;

class FileCommands {
public:
    explicit FileCommands(FaxHost& host);

    void open();    // 32771
    void copy();    // 32772
    void moveAs();  // 32774
    void remove();  // 32773 Delete

    // The file dialog set-up shared by the four commands: fax filters, "dcx" suffix and,
    // as starting folder, the folder of CurrentFax (cleared first when it does not exist)
    // or else FaxDir. `presetCurrentFax` puts CurrentFax into the file name box.
    FileDialogSpec dialogSpec(const QString& title, bool presetCurrentFax);

private:
    enum class Operation { Copy, Move };
    void transfer(Operation op);
    void error(const QString& text);

    FaxHost& host_;
};

// True when the two paths name the same file on disk: the same file when both exist
// (so hard links, symbolic links and "dir/../name" spellings match), else the same
// normalised absolute path. Letter case counts wherever the file system makes it count.
bool SameFile(const QString& a, const QString& b);

// Copies `source` to `target` through a file written beside the target and renamed over
// it once complete, so a failure leaves an existing target as it was.
bool CopyFileReplacing(const QString& source, const QString& target);

// Moves `source` to `target`: a rename on one file system, otherwise a copy as above and
// the source removed only after the copy is complete. On failure the source stays.
bool MoveFileReplacing(const QString& source, const QString& target);

}  // namespace app
