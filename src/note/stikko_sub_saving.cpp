// Writing the note: the record whenever it changes, the body a while after it changes and when
// the window closes. A write that fails is told once, marked in the title bar and retried until
// it succeeds; a file that could not be read is never written over.

#include "note/bodywriter.h"
#include "note/notealarm.h"
#include "note/notegestures.h"
#include "note/notehost.h"
#include "note/notepictures.h"
#include "note/notetitlebar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "platform/rtf.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

namespace stikko {

void TfrmStikko_sub::scheduleAutosave() {
    const qint64 now = env::steadyMs();
    timAutosave->start(int(std::max<qint64>(0, autosave_.changed(now) - now)));
    // While the body cannot be written the next try waits, but its copy in the recovery folder
    // follows the typing as the file would: a crash meanwhile costs no more typing than with
    // the body saved.
    if (bodyFailed_) {
        if (recoveryCopyDueFrom_ < 0)
            recoveryCopyDueFrom_ = now;
        const qint64 due =
            std::min(now + AutosaveSchedule::kQuietMs, recoveryCopyDueFrom_ + AutosaveSchedule::kCeilingMs);
        recoveryCopy_->start(int(std::max<qint64>(0, due - now)));
    }
}

void TfrmStikko_sub::writeFailed(const QString& path, const QString& reason) {
    // The first failure of a run is told; the retries that follow are quiet.
    if (!failureTold_ && host_) {
        failureTold_ = true;
        host_->reportWriteFailure(path, reason);
    }
    if (!closed_ && !deleted_) {
        const qint64 now = env::steadyMs();
        timAutosave->start(int(std::max<qint64>(0, autosave_.failed(now) - now)));
    }
    updateMark();
}

void TfrmStikko_sub::writeSucceeded() {
    // The body is in its file again: the copy kept while it could not be is not needed.
    if (!bodyFailed_ && !recoveryPath_.isEmpty()) {
        QFile::remove(recoveryPath_);
        recoveryPath_.clear();
    }
    if (!hasUnsavedFailure()) {
        failureTold_ = false;
        if (!modified_) {
            autosave_.saved();
            timAutosave->stop();
        }
    }
    updateMark();
}

void TfrmStikko_sub::enterReadOnly(const QString& path, bool recordUnreadable) {
    readOnly_ = true;
    recordUnreadable_ = recordUnreadable_ || recordUnreadable;
    if (unreadablePath_.isEmpty())
        unreadablePath_ = path;
    if (reDoc)
        reDoc->setReadOnly(true);
    showCommandStates(); // nothing changes the body now
    updateMark();
    // A folder that cannot be written was told once for all its notes.
    if (host_ && !folderReadOnly_)
        host_->reportReadFailure(path);
}

void TfrmStikko_sub::openInReadOnlyFolder() {
    folderReadOnly_ = true;
}

void TfrmStikko_sub::updateMark() {
    using Picture = NoteTitleBar::Picture;
    const bool shown = readOnly_ || hasUnsavedFailure();
    if (readOnly_) {
        pnTitle->setPicture(Picture::Mark, notepictures::readOnlyMark(), QSize(16, 16));
        pnTitle->setPictureTip(
            Picture::Mark,
            (folderReadOnly_ ? QStringLiteral("메모장 폴더에 쓸 수 없어 읽기 전용으로 열었습니다.\n%1")
                             : QStringLiteral("읽을 수 없는 파일이 있어 읽기 전용으로 열었습니다.\n%1"))
                .arg(QDir::toNativeSeparators(QDir::cleanPath(unreadablePath_))));
    } else if (shown) {
        pnTitle->setPicture(Picture::Mark, notepictures::unsavedMark(), QSize(16, 16));
        pnTitle->setPictureTip(Picture::Mark,
                               QStringLiteral("저장하지 못한 내용이 있습니다. 잠시 후 다시 저장합니다."));
    }
    pnTitle->setPictureShown(Picture::Mark, shown);
}

bool TfrmStikko_sub::writeRecord() {
    if (!recordWritable())
        return true;
    recordPending_ = false; // this save takes the place of the caller's
    QString reason;
    bool elsewhere = false;
    const bool saved = noteFiles().saveRecord(record_, &reason, &elsewhere);
    return recordSaved(saved, reason, elsewhere);
}

bool TfrmStikko_sub::recordWritable() const {
    // Not deleted on purpose, nor a file that must not be written over.
    return !deleted_ && !recordUnreadable_;
}

bool TfrmStikko_sub::recordSaved(bool saved, const QString& reason, bool elsewhere,
                                 const NoteRecord* written) {
    recordPending_ = false;
    if (saved) {
        base_ = written ? *written : record_;
        // A change made since the record was sent is still to be written (or retried).
        recordDirty_ = recordDirty_ && !SameNoteRecord(base_, record_);
        writeSucceeded();
        return true;
    }
    if (elsewhere && !following_) {
        // Someone else's record is taken first; what changed here is written on top of it.
        followFiles();
        return !recordDirty_;
    }
    recordDirty_ = true;
    writeFailed(noteFiles().recordPath(noteId(record_)), reason);
    return false;
}

void TfrmStikko_sub::finishBodyWrite() {
    if (!bodyWriter_)
        return;
    finishingWrite_ = true;
    bodyWriter_->finish();
    finishingWrite_ = false;
}

void TfrmStikko_sub::startBodyWrite() {
    if (readOnly_ || closed_ || deleted_)
        return;
    if (!bodyWriter_) {
        bodyWriter_ = new BodyWriter(body_, this);
        connect(bodyWriter_, &BodyWriter::written, this, &TfrmStikko_sub::bodyWriteDone);
    }
    if (bodyWriter_->busy()) {
        writeAgain_ = true; // once this one is done
        return;
    }
    writeAgain_ = false;
    bodyWriter_->start([this](BodySnapshot& copy) -> std::optional<NoteFiles::BodyWrite> {
        copiedChanges_ = changes_;
        copiedComposing_ = composing();
        firstChangeSinceCopy_ = -1;
        // The file takes the syllable being composed as shown; the body still counts as
        // changed until it is committed.
        if (copiedComposing_) {
            copy.extra = reDoc->preeditText();
            copy.extraAt = reDoc->textCursor().position();
            copy.extraFormat = reDoc->currentCharFormat();
        }
        QString reason;
        bool elsewhere = false;
        std::optional<NoteFiles::BodyWrite> write =
            noteFiles().prepareBodyWrite(noteId(record_), &reason, &elsewhere);
        if (!write) {
            // Told once the copy's handler is over.
            QTimer::singleShot(0, this, [this, reason, elsewhere] { bodyWriteRefused(reason, elsewhere); });
        }
        return write;
    });
}

void TfrmStikko_sub::bodyWriteDone(const NoteFiles::BodyWrite& write) {
    if (deleted_)
        return;
    if (!write.saved) {
        bodyWriteRefused(write.error, write.changedElsewhere);
        return;
    }
    bodyFailed_ = false;
    if (changes_ == copiedChanges_ && !copiedComposing_)
        modified_ = false;
    writeSucceeded();
    if (modified_ && !closed_) {
        // What changed since the copy is due as if the autosave had seen it first then.
        const qint64 now = env::steadyMs();
        autosave_.saved();
        const qint64 due = autosave_.changed(firstChangeSinceCopy_ >= 0 ? firstChangeSinceCopy_ : now);
        timAutosave->start(int(std::max<qint64>(0, due - now)));
        if (writeAgain_ && !finishingWrite_ && due <= now)
            startBodyWrite();
    }
    // The title taken from the text goes with it.
    if (!closed_ && (recordDirty_ || !SameNoteRecord(record_, base_)))
        writeRecord();
}

void TfrmStikko_sub::bodyWriteRefused(const QString& reason, bool changedElsewhere) {
    if (closed_ || deleted_)
        return;
    if (changedElsewhere && !following_) {
        // Someone else's body is taken first: with text typed here, it becomes a note of its
        // own and this text is saved.
        followFiles();
        return;
    }
    bodyFailedNow(reason);
}

bool TfrmStikko_sub::saveBody() {
    if (deleted_)
        return true;
    if (readOnly_)
        return false;
    // The body read and the write under way in the background first: what is written now is
    // the body as it is, and newer.
    finishBodyRead();
    finishBodyWrite();
    const QByteArrayView id = noteId(record_);
    const std::unique_ptr<QTextDocument> shown = reDoc ? reDoc->documentAsShown() : nullptr;
    QString reason;
    bool elsewhere = false;
    if (noteFiles().saveBody(id, rtf::write(shown ? *shown : *body_), &reason, &elsewhere)) {
        bodyFailed_ = false;
        writeSucceeded();
        return true;
    }
    if (elsewhere && !following_) {
        // Someone else's body is taken first: with text typed here, it becomes a note of its
        // own and this text is saved.
        followFiles();
        return !bodyFailed_;
    }
    bodyFailedNow(reason);
    return false;
}

void TfrmStikko_sub::autosaveTimeout() {
    // A composition in progress is left alone: committing it would break the syllable being
    // typed. The file takes it as shown, and the body still counts as changed until the
    // syllable is committed (at close, on focus loss) or given up.
    if (closed_ || deleted_)
        return;
    // The body is written in the background; the title taken from its text goes with it.
    if (modified_ && !readOnly_) {
        startBodyWrite();
        return;
    }
    if (recordDirty_ || !SameNoteRecord(record_, base_))
        writeRecord();
}

std::optional<QString> TfrmStikko_sub::saveRecoveryCopy(QString* error) {
    if (deleted_ || readOnly_ || !modified_ || bodyPending_)
        return std::nullopt;
    commitComposition();
    return keepRecoveryCopy(error);
}

std::optional<QString> TfrmStikko_sub::keepRecoveryCopy(QString* error) {
    if (deleted_ || readOnly_ || !modified_ || bodyPending_)
        return std::nullopt;
    // The body as shown, a syllable being composed with it.
    const std::unique_ptr<QTextDocument> shown = reDoc ? reDoc->documentAsShown() : nullptr;
    const QByteArray rtf = rtf::write(shown ? *shown : *body_);
    // The copy of this run of failures is kept current; one of an earlier run is never
    // replaced (a new one is made beside it).
    if (!recoveryPath_.isEmpty()) {
        if (writeFileAtomically(recoveryPath_, rtf, error))
            return recoveryPath_;
        recoveryPath_.clear();
    }
    if (const std::optional<QString> path = noteFiles().saveRecoveryCopy(noteId(record_), rtf, error)) {
        recoveryPath_ = *path;
        return path;
    }
    return std::nullopt;
}

void TfrmStikko_sub::bodyFailedNow(const QString& reason) {
    bodyFailed_ = true;
    recoveryCopy_->stop();
    recoveryCopyDueFrom_ = -1;
    const QString path = noteFiles().bodyPath(noteId(record_));
    // What could not be written goes to the recovery folder at once, and again at every
    // failed try, so that a crash meanwhile loses none of it.
    QString error;
    if (const std::optional<QString> copy = keepRecoveryCopy(&error))
        qWarning("stikko: could not save %s; its text is kept in %s until it can", qPrintable(path),
                 qPrintable(*copy));
    else if (modified_)
        qWarning("stikko: could not save %s, nor a copy in %s (%s)", qPrintable(path),
                 qPrintable(noteFiles().recoveryFolder()), qPrintable(error));
    writeFailed(path, reason);
}

bool TfrmStikko_sub::saveOnClose() {
    if (closed_)
        return true;
    if (!deleted_)
        commitComposition();
    alarm_->stop(); // the sound ends with the window and frees the player
    timAutosave->stop();
    bool ok = true;
    if (!deleted_) {
        if (modified_) {
            if (saveBody())
                modified_ = false;
            else
                ok = false;
        }
        // A record that holds nothing new since it was written or read is not written again,
        // unless its file is no longer what the window saw there.
        if ((recordDirty_ || recordPending_ || !SameNoteRecord(record_, base_) ||
             noteFiles().changedElsewhere(noteFiles().recordPath(noteId(record_)))) &&
            !writeRecord())
            ok = false;
    }
    if (ok)
        closed_ = true;
    return ok;
}

bool TfrmStikko_sub::saveAtEnd() {
    gestures_->endCursor();
    return saveOnClose();
}

bool TfrmStikko_sub::closeAs(NoteClosing how) {
    if (how == NoteClosing::Deleted) {
        deleted_ = true;
        return close();
    }
    const int32_t shown = record_.isshow;
    if (how == NoteClosing::Hidden)
        record_.isshow = 0;
    if (close())
        return true;
    // Still open: its record must not say hidden, or a later save would hide it for good.
    record_.isshow = shown;
    return false;
}

void TfrmStikko_sub::closeEvent(QCloseEvent* event) {
    gestures_->endCursor();
    if (!saveOnClose() && !deleted_) {
        // The note could not be written: it stays open with its text, and the user knows.
        event->ignore();
        return;
    }
    event->accept();
    // A close the window system started (not the host) still takes the note off the list.
    if (event->spontaneous() && host_)
        host_->noteWindowGone(this);
}

} // namespace stikko
