// Changes made to the note's files elsewhere: another computer's, brought by a synchroniser, or
// another program's. The window shows them without writing anything back, and text typed here
// and not yet saved is never lost.

#include "note/notehost.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"

#include <QFileInfo>
#include <QTimer>

namespace stikko {

void TfrmStikko_sub::followFiles() {
    if (closed_ || deleted_ || readOnly_ || following_)
        return;
    // The files as they are once the body's read and write under way are done.
    finishBodyRead();
    finishBodyWrite();
    const QByteArray id = noteId(record_).toByteArray();
    const QString bodyPath = noteFiles().bodyPath(id);
    const bool recordChanged = noteFiles().changedElsewhere(noteFiles().recordPath(id));
    const bool bodyChanged = noteFiles().changedElsewhere(bodyPath);
    if (!recordChanged && !bodyChanged)
        return;
    const bool typed = modified_;

    // Text typed here and not yet saved stays. The body written elsewhere becomes a note of its
    // own first, while the files still hold it. Should that fail, nothing is taken: the body
    // file stays unread, so no save writes over it, and the autosave tries again.
    std::optional<QByteArray> copy;
    if (typed && bodyChanged && QFileInfo::exists(bodyPath)) {
        QString error;
        copy = noteFiles().copyAsNewNote(id, &error);
        if (!copy) {
            bodyFailedNow(error);
            return;
        }
    }
    following_ = true;

    // The record from elsewhere, with what changed here and is not written yet on top of it.
    NoteRecord next = record_;
    bool ownChange = !SameNoteRecord(record_, base_);
    bool recordGone = false;
    if (recordChanged) {
        NoteRecord theirs{};
        InitNoteRecord(theirs, id.constData());
        const FileState state = noteFiles().loadRecord(theirs);
        if (state == FileState::Loaded) {
            next = theirs;
            MergeNoteRecord(next, base_, record_);
            base_ = theirs;
            ownChange = !SameNoteRecord(next, theirs);
        }
        recordGone = state == FileState::Missing;
    }
    // Hidden elsewhere while being typed in here: the typing wins, the note stays.
    if (typed && next.isshow == 0) {
        next.isshow = 1;
        ownChange = true;
    }
    BodyLoad body;
    if (bodyChanged)
        body = noteFiles().loadBody(id);
    // A body removed elsewhere leaves the text on screen: the note is on its way out, and the
    // window closes when its record is gone too.
    const bool takeBody = bodyChanged && !typed && body.state != FileState::Missing;
    applyFromFiles(next, takeBody ? &body : nullptr);

    // Removed elsewhere (or a moment between a synchroniser's two renames): a change made here
    // to the place or the settings does not bring it back; text typed here does.
    const bool writeBack = recordGone ? typed : ownChange;
    if (writeBack) {
        writeRecord();
    } else {
        recordDirty_ = false;
        writeSucceeded();
    }
    // This side's text goes to its file now where the other side's went elsewhere; otherwise
    // it waits for the autosave, as typing does.
    if (typed && (copy || recordGone) && saveBody() && !composing()) {
        modified_ = false;
        writeSucceeded();
    }
    following_ = false;

    if (copy && host_)
        host_->openCopyFromElsewhere(this, *copy);
    // Hidden elsewhere: the note leaves the screen (its record says so already), once the
    // handler that brought the change here has returned.
    if (next.isshow == 0)
        QTimer::singleShot(0, this, [this, id] {
            if (host_ && !closed_)
                host_->CloseNoteWindow(id.constData());
        });
}

} // namespace stikko
