// Finding notes and making them from anywhere: the find window, the index of every note's text
// that it searches, and the commands a later start of the program hands over.
//
// The index learns of the notes from three sides. The reader reads every note's files after
// start-up on a thread of its own, and a note again when another program changed it (the
// data folder's watcher). The windows of the open notes are looked at before each search:
// their text as shown, typing not yet saved included. And what the program does to a note
// without asking a window (hiding, deleting) is told as it happens.

#include "app/stikko_main.h"
#include "note/notealarm.h"
#include "platform/codepage.h"
#include "store/notefiles.h"
#include "store/noteindex.h"
#include "store/noteindexreader.h"

#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextDocument>
#include <QTimer>

namespace stikko {

// --- The index ---------------------------------------------------------------------------

void TfrmStikko_main::startIndex() {
    indexStart_->stop();
    if (indexReader_ != nullptr || ending_) {
        return;
    }
    indexReader_ = new NoteIndexReader(*index_, noteFiles().dataFolder(), this);
    indexReader_->readAll();
}

IndexedNote TfrmStikko_main::indexedFrom(TfrmStikko_sub* note, bool changedNow) const {
    const NoteRecord& record = note->record();
    IndexedNote indexed;
    indexed.id = noteId(record).toByteArray();
    indexed.title = cp949::fieldText(record.title);
    indexed.text = note->body()->toPlainText();
    indexed.hidden = record.isshow == 0;
    indexed.folded = record.ismini == 1;
    indexed.ringing = note->alarm()->ringing();
    indexed.unreadable = note->readOnly();
    // The last change: now for text changed here; else what the index knew, or the body file's
    // time (a note the reader has not come to yet). By the system's clock, as the files' times.
    const IndexedNote* known = index_->note(indexed.id);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (changedNow || note->isModified()) {
        indexed.lastChange = now;
    } else if (known != nullptr) {
        indexed.lastChange = known->lastChange;
    } else {
        const QFileInfo body(noteFiles().bodyPath(indexed.id));
        indexed.lastChange = body.exists() ? body.lastModified().toMSecsSinceEpoch() : now;
    }
    return indexed;
}

void TfrmStikko_main::refreshIndex() {
    for (TfrmStikko_sub* note : std::as_const(noteList)) {
        if (note->isClosed() || note->isDeleted()) {
            continue;
        }
        const NoteRecord& record = note->record();
        const IndexedWindow now{note->body()->revision(), cp949::fieldBytes(record.title).toByteArray(),
                                record.ismini == 1, note->alarm()->ringing()};
        const auto seen = indexed_.constFind(note);
        if (seen != indexed_.cend() && *seen == now) {
            continue;
        }
        if (seen == indexed_.cend() || seen->revision != now.revision) {
            index_->put(indexedFrom(note, seen != indexed_.cend()));
        } else {
            index_->putMarks(noteId(record).toByteArray(), cp949::decode(now.title), record.isshow == 0,
                             now.folded, now.ringing);
        }
        indexed_.insert(note, now);
    }
}

void TfrmStikko_main::indexClosed(TfrmStikko_sub* note, NoteClosing how) {
    indexed_.remove(note);
    if (how == NoteClosing::Deleted) {
        index_->remove(noteId(note->record()).toByteArray());
        return;
    }
    // Its text as it was saved, and its record's word on whether it is shown.
    index_->put(indexedFrom(note, false));
}

void TfrmStikko_main::indexFromElsewhere(const QByteArray& id) {
    // An open note's window took the change; its text is looked at before the next search.
    // A note the reader has not read yet is read with the rest.
    if (indexReader_ != nullptr && FindNoteWindow(id.constData()) == nullptr) {
        indexReader_->read(id);
    }
}

// --- The find window ---------------------------------------------------------------------

void TfrmStikko_main::nnFindClick() {
    openFindWindow(std::nullopt);
}

void TfrmStikko_main::openFindWindow() {
    openFindWindow(std::nullopt);
}

void TfrmStikko_main::openFindWindow(const std::optional<QString>& words) {
    if (ending_) {
        return;
    }
    startIndex();
    if (findWindow_ == nullptr) {
        findWindow_ = new TfrmStikko_find(*index_, *this, this);
    }
    findWindow_->openWith(words);
}

bool TfrmStikko_main::showFoundNote(const QByteArray& id, const search::Query& query) {
    if (ending_ || noteManagerOpen()) {
        return false;
    }
    TfrmStikko_sub* note = FindNoteWindow(id.constData());
    if (note == nullptr) {
        // Opening a note whose record is gone would make an empty one in its place.
        if (!NoteFiles::isNoteId(id) || !noteFiles().exists(id)) {
            index_->remove(id);
            return false;
        }
        // As the note manager shows a hidden note: its record says shown, its window opens
        // where it was.
        OpenNoteWindow(id.constData());
        note = FindNoteWindow(id.constData());
        if (note == nullptr) {
            return false;
        }
    }
    note->bringToFront(true);
    if (const std::optional<search::Span> match = query.firstMatchIn(note->body()->toPlainText())) {
        note->selectText(int(match->start), int(match->length));
    }
    return true;
}

// --- Commands from the command line --------------------------------------------------------

void TfrmStikko_main::runCommand(const Command& command) {
    if (ending_) {
        return;
    }
    // The note manager is modal: what comes meanwhile waits for it.
    if (noteManagerOpen()) {
        deferredCommands_.push_back(command);
        return;
    }
    switch (command.kind) {
    case Command::Kind::NewNote:
        if (!command.hasText) {
            newNoteRequested();
        } else if (TfrmStikko_sub* note = makeNote()) {
            note->appendText(command.text);
        }
        break;
    case Command::Kind::NewFromSelection:
        newNoteFromSelection();
        break;
    case Command::Kind::Find:
        openFindWindow(command.hasText ? std::optional<QString>(command.text) : std::nullopt);
        break;
    case Command::Kind::ShowAll:
        nnAllshowClick();
        break;
    case Command::Kind::HideAll:
        nnAllhideClick();
        break;
    case Command::Kind::Manager:
        nnAlladminClick();
        break;
    }
}

void TfrmStikko_main::newNoteFromSelection() {
    // The text selected anywhere on the desktop: X11's primary selection; where there is none
    // (Wayland), what was last copied.
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QString selected =
        clipboard->text(clipboard->supportsSelection() ? QClipboard::Selection : QClipboard::Clipboard);
    if (selected.size() > kMaxInputBytes) {
        tellUser(QStringLiteral("Stikko"),
                 QStringLiteral("선택한 글이 너무 길어 (1 MB 넘음) 메모를 만들지 않았습니다."),
                 QSystemTrayIcon::Warning);
        return;
    }
    TfrmStikko_sub* note = makeNote();
    const QString text = cleanNoteText(selected);
    if (note != nullptr && !text.isEmpty()) {
        note->appendText(text);
    }
}

} // namespace stikko
