#pragma once
// Tells which names in one folder change, as the kernel reports them (inotify, read when its
// descriptor wakes the event loop): nothing runs while nothing happens. The folder that holds
// it is watched too, so a folder removed or moved away and made again is watched again.
//
// Only what happened to which name is told; what a name means is the caller's business.

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

namespace stikko {

class FolderWatch : public QObject {
    Q_OBJECT
  public:
    // What happened to a name.
    enum class Change {
        Writing,    // made, or written in place: more may follow until its writer closes it
        Attributes, // its mode, owner or times changed
        Settled,    // closed after writing, renamed in or out, or removed
    };

    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Starts watching `folder` (which may not exist yet) and the folder that holds it. False,
    // with a reason, when the system refuses (too many watches, neither folder there).
    bool start(const QString& folder, QString* error = nullptr);
    void stop();
    bool isActive() const { return fd_ >= 0; }
    // The folder itself is there and watched.
    bool folderWatched() const { return folderWatch_ >= 0; }
    // Times the kernel's descriptor woke the event loop.
    quint64 wakeups() const { return wakeups_; }

  signals:
    // A file (not a folder) in the folder.
    void nameChanged(const QString& name, stikko::FolderWatch::Change change);
    // The folder was removed, moved away or unmounted: nothing is told until it is back.
    void folderGone();
    // The folder is there again (made anew or moved back): any name in it may be new.
    void folderBack();
    // The kernel dropped events: any name may have changed.
    void eventsLost();
    // The end of one batch of events read from the kernel.
    void eventsRead();

  private:
    void readEvents();
    bool watchFolder();

    QString folder_; // without a trailing '/'
    QString parent_;
    QString leaf_;
    int fd_ = -1;
    int folderWatch_ = -1;
    int parentWatch_ = -1;
    quint64 wakeups_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace stikko
