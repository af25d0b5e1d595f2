#pragma once
// The marker of a running instance: a lock file named "MyProgram" in the user's runtime folder.
// The lock of a process that has died is stale and is taken over, so a crash never keeps the
// program from starting again.

#include <QLockFile>
#include <QString>
#include <memory>

namespace stikko {

class SingleInstance {
  public:
    // `folder` empty = the per-user runtime folder.
    explicit SingleInstance(const QString& folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    enum class Result {
        Acquired,      // this process now holds the marker
        HeldElsewhere, // another live process holds it
        Unavailable,   // the marker cannot be made here (no such folder, no right to write)
    };
    Result acquire();
    // Gives the marker up now (it is also given up when the object goes).
    void release();
    bool held() const { return held_; }
    QString path() const { return path_; }
    // Where the running instance listens for later starts (InstanceChannel).
    QString channelPath() const { return channelPath_; }

    static constexpr char kName[] = "MyProgram";

  private:
    QString path_;
    QString channelPath_;
    std::unique_ptr<QLockFile> lock_;
    bool held_ = false;
};

} // namespace stikko
