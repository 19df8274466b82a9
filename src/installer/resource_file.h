// The installer's payload resources, written by the one resource writer both programs use.
#pragma once

#include <QString>

#include "app/resource_writer.h"

class QWidget;

namespace inst {

using app::OpenRegularFile;

// Writes the payload resource `id` (the alias :/payload/<id>) into `path`.
inline bool WriteResourceFile(int id, const QString& path, QWidget* owner) {
    return app::WriteResourceFile(owner, QStringLiteral(":/payload/%1").arg(id), path);
}

}  // namespace inst
