#include "installer/resource_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QResource>

#include "platform/prompts.h"
#include "viewer/viewer_state.h"

namespace inst {

int OpenRegularFile(const QString& path, int flags) {
    // Non-blocking only while opening, so a pipe without a reader cannot hold us here.
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool WriteResourceFile(int id, const QString& path, QWidget* owner) {
    QResource resource(QStringLiteral(":/payload/%1").arg(id));
    if (!resource.isValid() || resource.size() <= 0) return false;
    // Payload data is stored uncompressed, so it is written straight from the mapped resource.
    QByteArray unpacked;
    const char* data = reinterpret_cast<const char*>(resource.data());
    qint64 size = resource.size();
    if (resource.compressionAlgorithm() != QResource::NoCompression) {
        unpacked = resource.uncompressedData();
        data = unpacked.constData();
        size = unpacked.size();
    }
    const int fd = OpenRegularFile(path, O_RDWR | O_CREAT | O_TRUNC);
    if (fd < 0) return false;
    const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
    ::close(fd);
    if (written == size) return true;
    app::prompts().show(owner, app::kProductName,
                        QStringLiteral("Could not save [email addresses to send to] file:\n%1\nCheck hard-drive.").arg(path),
                        app::Icon::Error);
    return false;
}

}  // namespace inst
