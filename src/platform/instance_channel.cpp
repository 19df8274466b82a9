#include "platform/instance_channel.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace app {

QString ChannelName(std::int32_t handle) {
    return QStringLiteral("tarvex-%1-%2").arg(static_cast<qulonglong>(::getuid())).arg(handle);
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

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                while (s->canReadLine()) {
                    QList<QByteArray> parts = s->readLine().trimmed().split(' ');
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

}  // namespace app
