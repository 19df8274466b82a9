// Writes a resource the program carries into a file: the viewer's help page, the
// installer's payload.
#pragma once

#include <QString>

class QWidget;

namespace app {

// Writes the Qt resource `resource` (such as ":/help/tarvexhelp.htm") into `path`, through a
// file beside it renamed over it once complete, so an old file is never left half
// overwritten. A missing or empty resource or a file that cannot be created
// fails without a message; a write that does not complete shows "Could not save
// ..." (owned by `owner`) and fails.
bool WriteResourceFile(QWidget* owner, const QString& resource, const QString& path);

// open(2) with `flags` (new files 0666 before the umask) that gives a descriptor only for a
// regular file: a pipe or device standing at `path` would block or swallow the data. -1 else.
int OpenRegularFile(const QString& path, int flags);

}  // namespace app
