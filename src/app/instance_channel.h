#pragma once
// How a later start reaches the running instance: a local socket beside the instance marker.
// The running instance listens on it; a later start sends one request and ends. Only the user
// can reach the socket (it lies in the per-user runtime folder, and is made for the user only).

#include <QObject>
#include <QString>

class QLocalServer;

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

    // A later start: asks the instance listening at `path` for a new note and waits for its
    // answer. False when no instance answered within `timeoutMs`.
    static bool requestNewNote(const QString& path, int timeoutMs);

    static constexpr char kNewNote[] = "new-note\n";
    static constexpr char kDone[] = "ok\n";

  signals:
    void newNoteRequested();

  private:
    void accept();

    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace stikko
