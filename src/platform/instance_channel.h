// How one program reaches a running viewer: the viewer's handle (its process id) is
// kept in the settings as TransHandle, and the viewer listens on a local socket named
// after it. Posting a command to a handle that nobody listens on is lost, harmlessly.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <cstdint>

class QLocalServer;

namespace app {

// The socket for a handle: tarvex-<uid>-<handle> in $XDG_RUNTIME_DIR, or in the temp
// folder when that is not set.
QString ChannelName(std::int32_t handle);

// Sends window command `id` with `parameter` to the viewer registered under `handle`.
// True when a viewer took it.
bool PostCommandToHandle(std::int32_t handle, int id, std::int64_t parameter = 0);

// Cuts what a client sends into lines. A command line is short; a longer one is dropped
// whole (also when it arrives in pieces), so a client can never make the viewer hold more
// than one line's worth.
class ChannelLines {
public:
    static constexpr int kMaxLine = 64;  // bytes, without the line feed
    // The complete lines of `data`, in order, without their line feeds.
    QList<QByteArray> Feed(const QByteArray& data);

private:
    QByteArray partial_;
    bool skipping_ = false;  // inside a line that is already too long
};

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;
    // Starts listening under `handle`, reachable by this user only; false when the
    // socket cannot be made (errorString() says why).
    bool listen(std::int32_t handle);
    std::int32_t handle() const { return handle_; }
    QString errorString() const;

signals:
    void commandReceived(int id, qint64 parameter);

private:
    QLocalServer* server_;
    std::int32_t handle_ = 0;
};

}  // namespace app
