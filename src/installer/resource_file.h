// Writing one embedded data resource into a file. The viewer writes its help page the same
// way; this is the installer's copy until the two share one.
#pragma once

#include <QString>

class QWidget;

namespace inst {

// Writes the resource `id` (the alias :/payload/<id>) into `path`, created or truncated,
// with one write. A missing or empty resource or a file that cannot be opened fails
// silently; a short write shows the hard-drive message first.
bool WriteResourceFile(int id, const QString& path, QWidget* owner);

// open(2) with `flags` (new files 0666 before the umask) that gives a descriptor only for a
// regular file: a pipe or device standing at `path` would block or swallow the data. -1 else.
int OpenRegularFile(const QString& path, int flags);

}  // namespace inst
