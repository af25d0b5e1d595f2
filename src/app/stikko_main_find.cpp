// Finding notes and making them from anywhere: the find window, the index of every note's text
// that it searches, and the commands a later start of the program hands over.
//
// The index is built on the list of stored notes (NoteCatalogue), which the start reads on a
// thread of its own and which is told of everything that happens to the notes: the program's
// writes and removals by NoteFiles, what other programs do by the data folder's watcher. Once
// that list is read and the start's notes are open, the reader reads every body into the index
// on a thread of its own; each change the list tells of afterwards gives the note its new
// title and marks at once and has its body read again. The text typed in an open note and not
// saved yet is taken from its window before each search.

#include "app/stikko_main.h"
#include "note/notealarm.h"
#include "platform/codepage.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/noteindex.h"
#include "store/noteindexreader.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QTextDocument>
#include <QTimer>

namespace stikko {

// --- The index ---------------------------------------------------------------------------

void TfrmStikko_main::startIndex(bool evenWhileOpening) {
    NoteCatalogue& catalogue = noteFiles().catalogue();
    if (indexReader_ != nullptr || ending_ || !catalogue.complete() || (opening_ && !evenWhileOpening)) {
        return;
    }
    indexReader_ = new NoteIndexReader(*index_, noteFiles().dataFolder(), this);
    std::vector<IndexedNote> notes;
    const QList<NoteFacts> stored = catalogue.notes();
    notes.reserve(std::size_t(stored.size()));
    for (const NoteFacts& facts : stored) {
        notes.push_back(NoteIndexReader::noteOf(facts));
    }
    // What the list told of before is in what it says now.
    storedChanges_.clear();
    indexReader_->readAll(std::move(notes));
}

std::optional<IndexedNote> TfrmStikko_main::indexedFacts(const QByteArray& id,
                                                         const TfrmStikko_sub* window) const {
    const std::optional<NoteFacts> facts = noteFiles().catalogue().find(id);
    if (!facts) {
        return std::nullopt;
    }
    IndexedNote note = NoteIndexReader::noteOf(*facts);
    note.ringing = window != nullptr && window->alarm()->ringing();
    return note;
}

void TfrmStikko_main::storedNoteChanged(const QByteArray& id) {
    // Before the bodies are read, the list as it is then is read whole.
    if (indexReader_ == nullptr) {
        return;
    }
    storedChanges_.insert(id);
    storedChangesDue_->start();
}

void TfrmStikko_main::followStoredNotes() {
    if (ending_ || indexReader_ == nullptr) {
        return;
    }
    const QSet<QByteArray> changed = std::exchange(storedChanges_, {});
    // The open windows by id, when many notes changed at once (show-all, a synchroniser).
    constexpr qsizetype kLookedUpOneByOne = 8;
    QHash<QByteArray, TfrmStikko_sub*> windows;
    if (changed.size() > kLookedUpOneByOne) {
        for (TfrmStikko_sub* note : std::as_const(noteList)) {
            windows.insert(noteId(note->record()).toByteArray(), note);
        }
    }
    std::vector<IndexedNote> toRead;
    for (const QByteArray& id : changed) {
        const TfrmStikko_sub* window =
            changed.size() > kLookedUpOneByOne ? windows.value(id) : FindNoteWindow(id.constData());
        const std::optional<IndexedNote> facts = indexedFacts(id, window);
        if (!facts) {
            index_->remove(id);
            continue;
        }
        const IndexedNote* known = index_->note(id);
        const bool bodyChanged = known == nullptr || known->bodyStamp != facts->bodyStamp;
        index_->putFacts(*facts);
        if (!bodyChanged) {
            continue; // its record alone: the text stands
        }
        // Its body as the file holds it now; an open window's text not saved yet is taken
        // again before the next search, and stands over what is read.
        if (window != nullptr) {
            indexed_.remove(window);
        }
        toRead.push_back(*facts);
    }
    indexReader_->read(std::move(toRead));
}

void TfrmStikko_main::refreshIndex() {
    for (TfrmStikko_sub* note : std::as_const(noteList)) {
        if (note->isClosed() || note->isDeleted()) {
            continue;
        }
        const IndexedWindow now{note->body()->revision(), note->alarm()->ringing()};
        const auto seen = indexed_.constFind(note);
        if (seen != indexed_.cend() && *seen == now) {
            continue;
        }
        const QByteArray id = noteId(note->record()).toByteArray();
        std::optional<IndexedNote> indexed = indexedFacts(id, note);
        if (!indexed) {
            // Not stored yet (its files are being written): as its window says.
            const NoteRecord& record = note->record();
            indexed = IndexedNote{.id = id,
                                  .title = cp949::fieldText(record.title),
                                  .lastChange = QDateTime::currentMSecsSinceEpoch(),
                                  .hidden = record.isshow == 0,
                                  .folded = record.ismini == 1,
                                  .ringing = now.ringing};
        }
        if (note->isModified()) {
            // Typed in and not saved yet: the text as shown, changed now (by the system's
            // clock, as the files' times are).
            indexed->text = note->body()->toPlainText();
            indexed->lastChange = QDateTime::currentMSecsSinceEpoch();
            if (const IndexedNote* known = index_->note(id)) {
                indexed->unreadable = known->unreadable;
            }
            index_->put(*indexed);
        } else if (const IndexedNote* known = index_->note(id);
                   known == nullptr || known->ringing != now.ringing) {
            // Its text is what its body holds, which the reader reads.
            index_->putFacts(*indexed);
        }
        indexed_.insert(note, now);
    }
}

void TfrmStikko_main::indexClosed(TfrmStikko_sub* note, NoteClosing how) {
    indexed_.remove(note);
    // A note kept has been saved as it closed: the list of stored notes tells of it.
    if (how == NoteClosing::Deleted) {
        index_->remove(noteId(note->record()).toByteArray());
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
    startIndex(true);
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
