#include "platform/instance_channel.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

namespace app {

QString ChannelName(std::int32_t handle) {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::tempPath();
    return QDir(folder).filePath(
        QStringLiteral("tarvex-%1-%2").arg(static_cast<qulonglong>(::getuid())).arg(handle));
}

bool PostCommandToHandle(std::int32_t handle, int id, std::int64_t parameter) {
    if (handle == 0) return false;
    QLocalSocket socket;
    socket.connectToServer(ChannelName(handle));
    if (!socket.waitForConnected(500)) return false;
    QByteArray line = QByteArray::number(id) + ' ' + QByteArray::number(static_cast<qlonglong>(parameter)) + '\n';
    socket.write(line);
    bool ok = socket.waitForBytesWritten(500);
    socket.disconnectFromServer();
    return ok;
}

QList<QByteArray> ChannelLines::Feed(const QByteArray& data) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        QByteArray piece = data.mid(start, end < 0 ? -1 : end - start);
        if (!skipping_) {
            partial_ += piece;
            if (partial_.size() > kMaxLine) {
                partial_.clear();
                skipping_ = true;
            }
        }
        if (end < 0) break;
        if (!skipping_) lines << partial_;
        partial_.clear();
        skipping_ = false;
        start = end + 1;
    }
    return lines;
}

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            auto lines = std::make_shared<ChannelLines>();
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s, lines] {
                for (const QByteArray& line : lines->Feed(s->readAll())) {
                    QList<QByteArray> parts = line.trimmed().split(' ');
                    bool ok = false;
                    int id = parts.value(0).toInt(&ok);
                    if (!ok) continue;
                    emit commandReceived(id, parts.value(1).toLongLong());
                }
            });
        }
    });
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen(std::int32_t handle) {
    handle_ = handle;
    QString name = ChannelName(handle);
    QLocalServer::removeServer(name);  // a stale socket left by a viewer that crashed
    return server_->listen(name);
}

QString InstanceChannel::errorString() const { return server_->errorString(); }

}  // namespace app
