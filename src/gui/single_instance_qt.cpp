#include "gui/single_instance_qt.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <memory>
#include <vector>

#include "supervision/named_lock_linux.h"

namespace hw {

namespace {

const char kActivateRequest[] = "activate\n";

// The instance lock stays taken until the process ends, not just while the guard lives: the
// program's last steps (finishing a backup's clean-up) must not overlap a new copy's start.
void HoldUntilExit(std::unique_ptr<NamedLock> lock) {
    static std::vector<std::unique_ptr<NamedLock>> held;
    held.push_back(std::move(lock));
}

}  // namespace

struct SingleInstance::Private {
    std::string folder = NamedLock::RuntimeFolder();
    QLocalServer server;

    std::string LockPath(const char* kind) const { return NamedLock::InstancePath(kind); }
    QString SocketPath() const { return QString::fromStdString(NamedLock::InstancePath("socket")); }
};

SingleInstance::SingleInstance(QObject* parent) : QObject(parent), d_(std::make_unique<Private>()) {
    connect(&d_->server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = d_->server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                while (peer->canReadLine()) {
                    if (peer->readLine() == kActivateRequest) emit activationRequested();
                }
            });
        }
    });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AlreadyRun() {
    // Without a lock folder the lock cannot be created: this copy counts as a second one.
    if (d_->folder.empty()) return true;

    NamedLock criticalSection(d_->LockPath("CriticalSection"));
    if (!criticalSection.TryLock()) return true;  // another copy is inside this test now

    bool anotherRuns = true;
    auto instance = std::make_unique<NamedLock>(d_->LockPath("Default"));
    if (instance->TryLock()) {
        anotherRuns = false;
        instance->SetHolder("window " + std::to_string(QCoreApplication::applicationPid()));
        HoldUntilExit(std::move(instance));
        // We hold the instance lock, so a socket left by a copy that died is stale.
        QLocalServer::removeServer(d_->SocketPath());
        d_->server.setSocketOptions(QLocalServer::UserAccessOption);
        d_->server.listen(d_->SocketPath());
    }
    criticalSection.Unlock();
    return anotherRuns;
}

bool SingleInstance::ActivatePrevInstance() {
    if (d_->folder.empty()) return false;
    // The first copy may hold the lock a moment before it listens: keep trying for a while.
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(d_->SocketPath());
        if (socket.waitForConnected(250)) {
            socket.write(kActivateRequest);
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(500);
            if (sent) return true;
        }
        QThread::msleep(100);
    }
    return false;
}

}  // namespace hw
