// The data folder as other programs change it: a synchroniser (Syncthing, a cloud folder's
// client) bringing the notes that other computers made, changed or deleted, and the copies it
// sets aside when one note was changed on two computers at once. What arrives is shown as it
// is and never written back; text typed here is never lost.

#include "app/stikko_main.h"
#include "store/datafolderwatcher.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"

namespace stikko {

void TfrmStikko_main::startWatching() {
    if (watcher_ == nullptr) {
        watcher_ = new DataFolderWatcher(noteFiles(), this);
        connect(watcher_, &DataFolderWatcher::noteAdded, this, &TfrmStikko_main::showNoteFromElsewhere);
        connect(watcher_, &DataFolderWatcher::noteChanged, this,
                [this](const QByteArray& id) { noteChangedElsewhere(id); });
        connect(watcher_, &DataFolderWatcher::noteRemoved, this, &TfrmStikko_main::noteRemovedElsewhere);
        connect(watcher_, &DataFolderWatcher::conflictCopyFound, this, &TfrmStikko_main::conflictCopyFound);
        // The list of stored notes follows what other programs do as it follows the program's
        // own writes: whoever keeps to the list (the manager, the find index) hears of it from
        // there, shown or hidden.
        NoteCatalogue* catalogue = &noteFiles().catalogue();
        const auto reread = [catalogue](const QByteArray& id) { catalogue->reread(id); };
        connect(watcher_, &DataFolderWatcher::noteAdded, catalogue, reread);
        connect(watcher_, &DataFolderWatcher::noteChanged, catalogue, reread);
        connect(watcher_, &DataFolderWatcher::noteRemoved, catalogue, reread);
    }
    watcher_->setListingDelay(watchListingDelay);
    QString error;
    if (!watcher_->start(&error)) {
        // The notes work as before; only changes from elsewhere wait for the next start.
        qWarning("stikko: %s; changes made to the notes by other programs show at the next start",
                 qPrintable(error));
    }
}

void TfrmStikko_main::showNoteFromElsewhere(const QByteArray& id) {
    if (ending_ || !NoteFiles::isNoteId(id)) {
        return;
    }
    if (TfrmStikko_sub* note = FindNoteWindow(id.constData())) {
        note->followFiles();
        return;
    }
    NoteRecord record{};
    InitNoteRecord(record, id.constData());
    if (noteFiles().loadRecord(record) == FileState::Loaded && record.isshow != 0) {
        openNote(record, FileState::Loaded, true);
    }
}

void TfrmStikko_main::noteChangedElsewhere(const QByteArray& id) {
    // An open note takes the change (and hides when its record says so); a hidden one shows
    // when its record now says shown.
    showNoteFromElsewhere(id);
}

void TfrmStikko_main::noteRemovedElsewhere(const QByteArray& id) {
    if (ending_) {
        return;
    }
    TfrmStikko_sub* note = FindNoteWindow(id.constData());
    if (note == nullptr) {
        return;
    }
    if (note->isModified()) {
        // Typed in here while it was deleted elsewhere: the typing wins and the note is
        // written anew.
        note->followFiles();
        return;
    }
    closeNote(note, NoteClosing::Deleted);
}

void TfrmStikko_main::conflictCopyFound(const QString& fileName) {
    if (ending_) {
        return;
    }
    QString error;
    const std::optional<QByteArray> id = noteFiles().adoptConflictCopy(fileName, &error);
    if (!id) {
        // Left in the data folder as it is: nothing in it is lost.
        qWarning("stikko: cannot make %s a note of its own: %s", qPrintable(fileName), qPrintable(error));
        return;
    }
    if (!id->isEmpty() && FindNoteWindow(id->constData()) == nullptr) {
        tellCopyMade(*id);
    }
}

void TfrmStikko_main::openCopyFromElsewhere(TfrmStikko_sub*, const QByteArray& copyId) {
    if (!ending_ && FindNoteWindow(copyId.constData()) == nullptr) {
        tellCopyMade(copyId);
    }
}

void TfrmStikko_main::tellCopyMade(const QByteArray& copyId) {
    OpenNoteWindow(copyId.constData());
    const TfrmStikko_sub* copy = FindNoteWindow(copyId.constData());
    if (copy == nullptr) {
        return;
    }
    tellUser(QStringLiteral("Stikko"),
             QStringLiteral("“%1” 메모장이 이 컴퓨터와 다른 곳에서 동시에 바뀌었습니다. "
                            "두 내용을 모두 지키려고 한쪽을 옆의 새 메모장으로 열었습니다.")
                 .arg(copy->titleCaption()));
}

} // namespace stikko
