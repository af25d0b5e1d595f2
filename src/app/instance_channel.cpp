#include "app/instance_channel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace stikko {

namespace {
// A request is one short line; anything longer is not one of ours.
constexpr qsizetype kMaxRequest = 64;
// A client that says nothing is dropped after this long.
constexpr int kClientTimeoutMs = 3000;
} // namespace

InstanceChannel::InstanceChannel(const QString& path, QObject* parent) : QObject(parent), path_(path) {}

bool InstanceChannel::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Whoever holds the marker owns the socket: one left behind by a run that died is stale.
    QLocalServer::removeServer(path_);
    if (!server_->listen(path_))
        return false;
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::accept);
    return true;
}

void InstanceChannel::close() {
    if (server_)
        server_->close();
}

void InstanceChannel::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kClientTimeoutMs, socket, [guard] {
            if (guard)
                guard->abort();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequest)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(kMaxRequest);
            if (line == kNewNote) {
                socket->write(kDone);
                socket->flush();
                emit newNoteRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

bool InstanceChannel::requestNewNote(const QString& path, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance may still be starting and not listen yet: try again until the end.
    while (true) {
        socket.connectToServer(path);
        if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return false;
        socket.abort();
        QThread::msleep(100);
    }
    socket.write(kNewNote);
    if (!socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return socket.readLine(kMaxRequest) == kDone;
}

} // namespace stikko
