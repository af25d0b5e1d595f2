#pragma once
// Writing a whole file so that a crash, a full disk or a refused write never leaves it half
// written: the bytes go to a temporary file in the same folder, which then replaces the old
// file in one rename. On any failure the old file is left exactly as it was.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace stikko {

// All of `path`, a plain file of at most `limit` bytes; nothing when it cannot be read in full
// or is larger (also when it grows past the limit while it is read).
std::optional<QByteArray> readWholeFile(const QString& path, qint64 limit);

// Replaces `path` with `bytes`. Creates no folders. Returns false (and, if `error` is given,
// a reason) when the file could not be written in full.
// A file that already holds exactly `bytes` is left alone: nothing changes, and no flush to
// the disk is paid for. The bytes go through env::current().writeToFile, which a test may make
// fail or come up short: a file is only renamed into place when every byte of it is on the disk.
bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error = nullptr);

// One file of a group that StagedWrites writes: `path` and `bytes` in; out, whether the file
// holds the bytes now and, if not, why.
struct AtomicWrite {
    QString path;
    QByteArray bytes;
    bool written = false;
    QString error;
};
// A group of files written as writeFileAtomically writes one: each to its own temporary,
// renamed into place only once its own flush to the disk succeeded, so each file is replaced
// whole or left as it was, whatever happens to the others. Unlike writeFileAtomically it does
// not look whether a file holds its bytes already: its caller has read the files to decide
// what to write. The flushes run side by side: each
// waits for the disk, which serves many at once, so a group of small files costs about one
// wait rather than one each. Two steps, so that the slow one can run on another thread:
// stage() makes each file's temporary, writes it and flushes it; then commit() renames one
// into place, or discard() removes it and leaves the file as it is. Temporaries neither
// committed nor discarded are removed when the group goes.
class StagedWrites {
  public:
    explicit StagedWrites(std::vector<AtomicWrite> files);
    ~StagedWrites();
    StagedWrites(const StagedWrites&) = delete;
    StagedWrites& operator=(const StagedWrites&) = delete;

    // Runs once, on any one thread (nothing else may touch the group meanwhile). A file whose
    // temporary could not be made, written or flushed gets its `error`. At most a few dozen temporaries are
    // open at a time, and the flushes run side by side.
    void stage();
    std::size_t size() const { return files_.size(); }
    const AtomicWrite& file(std::size_t i) const { return files_[i]; }
    // Puts file `i`'s flushed temporary in its place. True when the file holds its bytes now;
    // false, with the file's error, when it does not.
    bool commit(std::size_t i);
    // Removes file `i`'s temporary, if it has one; the file stays as it is.
    void discard(std::size_t i);

  private:
    std::vector<AtomicWrite> files_;
    std::vector<QString> temps_;   // each file's flushed temporary, or empty
    std::vector<QString> targets_; // the file each temporary replaces (a link's target)
};

// True for a name this writer gives its temporary files while it writes `<name>`:
// ".<name>.stikko-XXXXXX.tmp" in the same folder, XXXXXX six random letters and digits. Hidden,
// so file managers and synchronisers that skip hidden files pass it by, and marked with the
// program's name, so that no file the user made or copied is taken for one. A file of such a
// name outlives the write only when the process was killed halfway. Older builds named their
// temporaries "<name>.XXXXXX", which a user's copy ("x.rtf.Backup") can equally be: those are
// not recognised.
bool isTemporaryFileName(const QString& fileName);
// Removes the temporaries a killed writer left in `folder` for files whose names end in one
// of `suffixes` (".ini", ".rtf"); returns how many were removed. Only call it while no other
// process can be writing there.
int removeLeftoverTemporaries(const QString& folder, const QStringList& suffixes);

} // namespace stikko
