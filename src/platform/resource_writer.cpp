#include "platform/resource_writer.h"

#include <QFile>

#include "formats/file_io.h"
#include "platform/prompts.h"
#include "viewer/viewer_state.h"

namespace app {

bool WriteResourceFile(QWidget* owner, const QString& resource, const QString& path) {
    QFile in(resource);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = in.readAll();
    if (bytes.isEmpty()) return false;
    fax::File out = fax::File::Create(QFile::encodeName(path).toStdString());
    if (!out) return false;
    if (!out.WriteAll(bytes.constData(), static_cast<std::size_t>(bytes.size()))) {
        out.Close();
        prompts().show(owner, kProductName,
                       QStringLiteral("Could not save [email addresses to send to] file:\n%1\nCheck hard-drive.").arg(path),
                       Icon::Error);
        return false;
    }
    return true;
}

}  // namespace app
