#include "app/resource_writer.h"

#include <fcntl.h>

#include <QFile>
#include <QResource>

#include "app/viewer_state.h"
#include "formats/file_io.h"
#include "platform/prompts.h"

namespace app {

int OpenRegularFile(const QString& path, int flags) {
    return fax::OpenRegularFd(QFile::encodeName(path).toStdString(), flags);
}

bool WriteResourceFile(QWidget* owner, const QString& resource, const QString& path) {
    QResource res(resource);
    if (!res.isValid() || res.size() <= 0) return false;
    // Large resources are stored uncompressed and written straight from the mapped data.
    QByteArray unpacked;
    const char* data = reinterpret_cast<const char*>(res.data());
    qint64 size = res.size();
    if (res.compressionAlgorithm() != QResource::NoCompression) {
        unpacked = res.uncompressedData();
        data = unpacked.constData();
        size = unpacked.size();
    }
    if (size <= 0) return false;
    // Written beside the file and renamed over it, so a failure leaves the old file whole.
    // A read-only file is left alone, as opening it for writing would leave it.
    const std::string target = QFile::encodeName(path).toStdString();
    fax::AtomicFile out(target);
    if (!fax::AbsentOrWritable(target) || !out.Open()) return false;
    if (out.file().WriteAll(data, static_cast<std::size_t>(size)) && out.Commit()) return true;
    prompts().show(owner, kProductName,
                   QStringLiteral("Could not save [email addresses to send to] file:\n%1\nCheck hard-drive.").arg(path),
                   Icon::Error);
    return false;
}

}  // namespace app
