// Copying and moving whole files so that a failure never costs the file that was there:
// File > Copy and MoveAs, Zoom/Edit's work files and the installer's own copy share it.
#pragma once

#include <QString>

namespace app {

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
