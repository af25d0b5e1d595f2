#include "app/instance_channel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <array>
#include <utility>

namespace stikko {

namespace {

// A client that has not sent its whole request by then is dropped.
constexpr int kClientTimeoutMs = 10000;

constexpr std::array<std::pair<Command::Kind, const char*>, 6> kNames = {{
    {Command::Kind::NewNote, "new-note"},
    {Command::Kind::NewFromSelection, "new-from-selection"},
    {Command::Kind::Find, "find"},
    {Command::Kind::ShowAll, "show-all"},
    {Command::Kind::HideAll, "hide-all"},
    {Command::Kind::Manager, "manager"},
}};

const char* nameOf(Command::Kind kind) {
    for (const auto& [k, name] : kNames) {
        if (k == kind)
            return name;
    }
    return "new-note";
}

std::optional<Command::Kind> kindNamed(QByteArrayView name) {
    for (const auto& [k, n] : kNames) {
        if (name == n)
            return k;
    }
    return std::nullopt;
}

// A length as the header gives it: decimal digits only, no sign, no blanks.
std::optional<qsizetype> lengthOf(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    qsizetype value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

int remaining(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(1, deadline.remainingTime()));
}

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

QByteArray InstanceChannel::encode(const Command& command) {
    if (command.kind == Command::Kind::NewNote && !command.hasText)
        return kNewNote;
    QByteArray request = nameOf(command.kind);
    if (command.hasText) {
        const QByteArray text = command.text.toUtf8();
        request += ' ' + QByteArray::number(text.size()) + '\n' + text;
    } else {
        request += '\n';
    }
    return request;
}

std::optional<Command> InstanceChannel::decode(const QByteArray& bytes, bool* complete) {
    *complete = false;
    const qsizetype eol = bytes.indexOf('\n');
    if (eol < 0) {
        *complete = bytes.size() > kMaxLine; // too long to become a line
        return std::nullopt;
    }
    *complete = true;
    if (eol > kMaxLine)
        return std::nullopt;
    const QByteArrayView line = QByteArrayView(bytes).first(eol);
    const qsizetype blank = line.indexOf(' ');
    const std::optional<Command::Kind> kind = kindNamed(blank < 0 ? line : line.first(blank));
    if (!kind)
        return std::nullopt;
    Command command;
    command.kind = *kind;
    if (blank < 0)
        return bytes.size() == eol + 1 ? std::optional(command) : std::nullopt;
    const std::optional<qsizetype> length = lengthOf(line.sliced(blank + 1));
    if (!length || *length > kMaxText || (*kind != Command::Kind::NewNote && *kind != Command::Kind::Find))
        return std::nullopt;
    const qsizetype have = bytes.size() - (eol + 1);
    if (have < *length) {
        *complete = false;
        return std::nullopt;
    }
    if (have > *length)
        return std::nullopt;
    const QByteArrayView text = QByteArrayView(bytes).sliced(eol + 1);
    command.hasText = true;
    command.text = command.kind == Command::Kind::NewNote ? noteTextFrom(text) : QString::fromUtf8(text);
    return command;
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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
    }
}

void InstanceChannel::readFrom(QLocalSocket* socket) {
    // What came so far waits on the socket itself until the request is whole: its line says
    // how long that is.
    const QByteArray head = socket->peek(kMaxLine + 1);
    const qsizetype eol = head.indexOf('\n');
    if (eol < 0) {
        if (head.size() > kMaxLine)
            socket->abort();
        return;
    }
    const QByteArrayView line = QByteArrayView(head).first(eol);
    const qsizetype blank = line.indexOf(' ');
    const std::optional<qsizetype> length =
        blank < 0 ? std::optional<qsizetype>(0) : lengthOf(line.sliced(blank + 1));
    if (!length || *length > kMaxText) {
        socket->abort();
        return;
    }
    const qsizetype size = eol + 1 + *length;
    if (socket->bytesAvailable() < size)
        return;
    bool complete = false;
    const std::optional<Command> command =
        socket->bytesAvailable() == size ? decode(socket->read(size), &complete) : std::nullopt;
    if (!command) {
        socket->abort();
        return;
    }
    socket->write(kDone);
    socket->flush();
    socket->disconnectFromServer();
    // Carried out from the event loop: a command may run a modal window of its own.
    QMetaObject::invokeMethod(
        this, [this, c = *command] { emit commandReceived(c); }, Qt::QueuedConnection);
}

bool InstanceChannel::send(const QString& path, const Command& command, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance may still be starting and not listen yet: try again until the end.
    while (true) {
        socket.connectToServer(path);
        if (socket.waitForConnected(remaining(deadline)))
            break;
        if (deadline.hasExpired())
            return false;
        socket.abort();
        QThread::msleep(100);
    }
    socket.write(encode(command));
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(remaining(deadline)))
            return false;
    }
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(remaining(deadline)))
            return false;
    }
    return socket.readLine(kMaxLine) == kDone;
}

} // namespace stikko
