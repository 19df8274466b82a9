// How one program reaches a running viewer: the viewer's handle (its process id) is
// kept in the settings as TransHandle, and the viewer listens on a local socket named
// after it. Posting a command to a handle that nobody listens on is lost, harmlessly.
#pragma once

#include <QObject>
#include <cstdint>

class QLocalServer;

namespace app {

// The socket name for a handle: tarvex-<uid>-<handle>.
QString ChannelName(std::int32_t handle);

// Sends window command `id` with `parameter` to the viewer registered under `handle`.
// True when a viewer took it.
bool PostCommandToHandle(std::int32_t handle, int id, std::int64_t parameter = 0);

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;
    // Starts listening under `handle`; false when the name cannot be taken.
    bool listen(std::int32_t handle);
    std::int32_t handle() const { return handle_; }

signals:
    void commandReceived(int id, qint64 parameter);

private:
    QLocalServer* server_;
    std::int32_t handle_ = 0;
};

}  // namespace app
