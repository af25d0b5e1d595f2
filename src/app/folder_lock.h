#pragma once
// The marker that one program holds a data folder. The session's own marker lives in the
// user's runtime folder, which another login, another seat or another computer sharing the
// folder does not see; this one is a lock file in the folder that holds data/, so every
// session that opens the same notes finds it. It lies beside data/ and not in it: people sync
// data/ between their computers, and a lock must not travel with the notes.

#include <QLockFile>
#include <QString>
#include <memory>

namespace stikko {

class FolderLock {
  public:
    // Locks the folder that holds `dataFolder`.
    explicit FolderLock(const QString& dataFolder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    enum class Result {
        Acquired,      // this process now holds the folder
        HeldElsewhere, // a live process (of any user, on this machine or another) holds it
        Unavailable,   // no lock can be made there (a read-only folder, for one)
    };
    Result acquire();
    // Gives the folder up now (it is also given up when the object goes).
    void release();
    QString path() const { return path_; }
    // Who holds it, as far as the lock file tells: "pid 1234 on host".
    QString holder() const;

    // The lock file for a data folder: "<folder holding data>/data.lock", for the folder where
    // it really is (symbolic links followed).
    static QString lockPathFor(const QString& dataFolder);

  private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool held_ = false;
};

} // namespace stikko
