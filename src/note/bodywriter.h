#pragma once
// Writes a note's body in the background, so that a body of many megabytes never holds the
// program: the body is copied a slice at a time on the main thread (BodyCapture), and the copy
// is made into RTF and written (the one atomic writer, through NoteFiles) on a thread of its
// own. One write at a time; the note starts the next once this one is told.

#include "note/bodysnapshot.h"
#include "store/notefiles.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QTimer;
class QTextDocument;

namespace stikko {

class BodyWriter : public QObject {
    Q_OBJECT
  public:
    explicit BodyWriter(QTextDocument* body, QObject* parent = nullptr);
    ~BodyWriter() override;
    BodyWriter(const BodyWriter&) = delete;
    BodyWriter& operator=(const BodyWriter&) = delete;

    // Called once the copy is complete, with it (which may still take text not in the body):
    // the write to make, or nothing (it must not be made; the caller has seen to that).
    using Prepare = std::function<std::optional<NoteFiles::BodyWrite>(BodySnapshot& copy)>;
    // Starts a write of the body as it will be when its copy is complete.
    void start(Prepare prepare);
    // A write is under way (its copy being taken, or it being written).
    bool busy() const { return copying_ || writing_; }
    // The copy is complete and being written: later changes are not in it.
    bool writing() const { return writing_; }
    // Completes the write under way now: the rest of the copy at once, the writing waited
    // for; `written` has been emitted when it returns. Nothing when none is under way.
    void finish();
    // Drops a write under way: its copy, or, when it is being written, the telling of what
    // came of it (the write itself is waited for, and the files' owner learns of it).
    void drop();

  signals:
    // What came of a write (NoteFiles::writeBody's result), which the files' owner has taken
    // in already.
    void written(const NoteFiles::BodyWrite& write);

  private:
    struct Job;
    void slice();
    void copied();
    void done(quint64 generation);
    // Tells the files' owner what came of the write under way, if one was (waiting for it
    // when `wait`: else it has told that it is done).
    std::optional<NoteFiles::BodyWrite> takeIn(bool wait);

    BodyCapture capture_;
    QTimer* slices_ = nullptr;
    Prepare prepare_;
    bool copying_ = false;
    bool writing_ = false;
    std::thread worker_;
    std::shared_ptr<Job> job_;
    quint64 generation_ = 0;
};

} // namespace stikko
