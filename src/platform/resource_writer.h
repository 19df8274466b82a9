// Writes a resource the program carries into a file: the viewer's help page, the
// installer's payload.
#pragma once

#include <QString>

class QWidget;

namespace app {

// Writes the Qt resource `resource` (such as ":/help/tarvexhelp.htm") into `path`, created
// or truncated, in one write. A missing or empty resource or a file that cannot be created
// fails without a message; a write that does not take every byte shows "Could not save
// ..." (owned by `owner`) and fails.
bool WriteResourceFile(QWidget* owner, const QString& resource, const QString& path);

}  // namespace app
