#pragma once
// How a later start reaches the running instance: a local socket beside the instance marker.
// The running instance listens on it; a later start sends one request and ends. Only the user
// can reach the socket (it lies in the per-user runtime folder, and is made for the user only).
//
// A request is one line naming the command, and for a command with text the length of the
// text in bytes, followed by the text in UTF-8: "find 9\n한글 메모". A plain new note is
// "new-note\n", as it always was. The answer is "ok\n" once the request is taken. Anything
// else (an unknown command, a length beyond kMaxText, more bytes than announced, a line longer
// than kMaxLine) ends the connection unanswered.

#include "app/commandline.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace stikko {

class InstanceChannel : public QObject {
    Q_OBJECT
  public:
    explicit InstanceChannel(const QString& path, QObject* parent = nullptr);

    // The running instance: takes over the socket (a file left by a crashed run is removed;
    // call it only while holding the instance marker). False when it cannot listen.
    bool listen();
    // Stops listening and removes the socket.
    void close();

    // A later start: hands `command` to the instance listening at `path` and waits for its
    // answer. False when no instance took it within `timeoutMs`.
    static bool send(const QString& path, const Command& command, int timeoutMs);

    // The request for `command` as it goes over the socket.
    static QByteArray encode(const Command& command);
    // What the instance takes from `bytes` (all a client sent): the command, nothing while
    // more is to come (`complete` false), or nothing with `complete` true for a request that
    // is no request.
    static std::optional<Command> decode(const QByteArray& bytes, bool* complete);

    static constexpr char kNewNote[] = "new-note\n";
    static constexpr char kDone[] = "ok\n";
    static constexpr qsizetype kMaxLine = 64;
    // A note's text from standard input (1 MB) written in UTF-8 with replacement characters
    // takes at most three times that.
    static constexpr qsizetype kMaxText = 3 * kMaxInputBytes + 16;

  signals:
    // A command arrived; it is carried out from the event loop, after the client was answered.
    void commandReceived(const stikko::Command& command);

  private:
    void accept();
    void readFrom(QLocalSocket* socket);

    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace stikko
