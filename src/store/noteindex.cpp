#include "store/noteindex.h"

#include <algorithm>

namespace stikko {

NoteIndex::NoteIndex(QObject* parent) : QObject(parent) {}

NoteIndex::~NoteIndex() = default;

NoteIndex::Entry NoteIndex::entryFor(IndexedNote note) {
    Entry entry;
    entry.title = search::prepare(note.title);
    entry.text = search::prepare(note.text);
    // The note keeps its text once, in the form it is matched and shown in.
    note.title = entry.title.text;
    note.text = entry.text.text;
    entry.note = std::move(note);
    return entry;
}

void NoteIndex::store(Entry entry) {
    const auto slot = slots_.constFind(entry.note.id);
    if (slot != slots_.cend()) {
        entries_[std::size_t(*slot)] = std::move(entry);
        return;
    }
    slots_.insert(entry.note.id, qsizetype(entries_.size()));
    entries_.push_back(std::move(entry));
}

void NoteIndex::drop(const QByteArray& id) {
    const auto slot = slots_.constFind(id);
    if (slot == slots_.cend())
        return;
    const qsizetype at = *slot;
    slots_.erase(slot);
    // The last entry takes the place of the one that goes.
    if (at != qsizetype(entries_.size()) - 1) {
        entries_[std::size_t(at)] = std::move(entries_.back());
        slots_[entries_[std::size_t(at)].note.id] = at;
    }
    entries_.pop_back();
}

void NoteIndex::put(IndexedNote note) {
    Entry entry = entryFor(std::move(note));
    entry.stamp = ++clock_;
    entry.factsStamp = entry.stamp;
    removedAt_.remove(entry.note.id);
    store(std::move(entry));
    emit changed();
}

void NoteIndex::putFacts(const IndexedNote& note) {
    const auto slot = slots_.constFind(note.id);
    if (slot == slots_.cend()) {
        // Its text is still to be read: what the reader brings of it is taken.
        IndexedNote facts = note;
        facts.text.clear();
        Entry entry = entryFor(std::move(facts));
        entry.factsStamp = ++clock_;
        removedAt_.remove(entry.note.id);
        store(std::move(entry));
        emit changed();
        return;
    }
    Entry& entry = entries_[std::size_t(*slot)];
    // The title is short; the text, which may not be, stays as it was prepared.
    entry.title = search::prepare(note.title);
    entry.note.title = entry.title.text;
    entry.note.lastChange = note.lastChange;
    entry.note.hidden = note.hidden;
    entry.note.folded = note.folded;
    entry.note.ringing = note.ringing;
    entry.factsStamp = ++clock_;
    emit changed();
}

void NoteIndex::remove(const QByteArray& id) {
    removedAt_.insert(id, ++clock_);
    drop(id);
    emit changed();
}

void NoteIndex::putRead(std::vector<Entry> entries, quint64 askedAt) {
    // The program's word since the read was asked for is newer than what the read found.
    for (Entry& entry : entries) {
        if (removedAt_.value(entry.note.id, 0) > askedAt)
            continue;
        entry.stamp = 0;
        entry.factsStamp = 0;
        const auto slot = slots_.constFind(entry.note.id);
        if (slot == slots_.cend()) {
            store(std::move(entry));
            continue;
        }
        Entry& known = entries_[std::size_t(*slot)];
        if (known.stamp > askedAt)
            continue;
        if (known.factsStamp > askedAt) {
            // The text read, with the title and marks said since.
            known.text = std::move(entry.text);
            known.note.text = known.text.text;
            known.note.unreadable = entry.note.unreadable;
            known.note.bodyStamp = entry.note.bodyStamp;
            continue;
        }
        known = std::move(entry);
    }
    emit changed();
}

void NoteIndex::setComplete(bool complete) {
    if (complete_ == complete)
        return;
    complete_ = complete;
    emit changed();
}

void NoteIndex::setProgress(qsizetype readSoFar, qsizetype toRead) {
    readSoFar_ = readSoFar;
    toRead_ = toRead;
}

const IndexedNote* NoteIndex::note(const QByteArray& id) const {
    const auto slot = slots_.constFind(id);
    return slot == slots_.cend() ? nullptr : &entries_[std::size_t(*slot)].note;
}

std::vector<FoundNote> NoteIndex::search(const search::Query& query) const {
    std::vector<FoundNote> found;
    for (const Entry& entry : entries_) {
        FoundNote hit;
        hit.match = {-1, 0};
        if (!query.isEmpty()) {
            if (!query.matchesAll(entry.title.folded, entry.text.folded))
                continue;
            hit.inTitle = query.matchesAll(entry.title.folded);
            if (const std::optional<search::Span> at = query.firstMatch(entry.text.folded))
                hit.match = *at;
        }
        const IndexedNote& note = entry.note;
        hit.id = note.id;
        hit.title = note.title;
        hit.text = note.text;
        hit.lastChange = note.lastChange;
        hit.hidden = note.hidden;
        hit.folded = note.folded;
        hit.ringing = note.ringing;
        hit.unreadable = note.unreadable;
        found.push_back(std::move(hit));
    }
    std::sort(found.begin(), found.end(), [](const FoundNote& a, const FoundNote& b) {
        if (a.inTitle != b.inTitle)
            return a.inTitle;
        if (a.lastChange != b.lastChange)
            return a.lastChange > b.lastChange;
        return a.id > b.id; // ids grow with time: the newer note first
    });
    return found;
}

NoteIndex::Memory NoteIndex::memory() const {
    // A string's storage: its header and its capacity; a shared one is counted once.
    constexpr qint64 kHeader = 24;
    const auto stringBytes = [](const QString& s) { return s.isNull() ? 0 : kHeader + s.capacity() * 2; };
    Memory memory;
    memory.total = qint64(entries_.capacity()) * qint64(sizeof(Entry));
    for (const Entry& entry : entries_) {
        memory.text += entry.note.text.size() * 2;
        memory.total +=
            stringBytes(entry.note.text) + stringBytes(entry.note.title) + kHeader + entry.note.id.capacity();
        if (entry.text.folded.constData() != entry.note.text.constData())
            memory.total += stringBytes(entry.text.folded);
        if (entry.title.folded.constData() != entry.note.title.constData())
            memory.total += stringBytes(entry.title.folded);
        // The prepared texts share the note's own.
    }
    // The map from ids to places: a node per note with its key.
    memory.total += qint64(slots_.size()) * (qint64(sizeof(QByteArray) + sizeof(qsizetype)) + kHeader + 20) +
                    qint64(removedAt_.size()) * (qint64(sizeof(QByteArray) + sizeof(quint64)) + kHeader + 20);
    return memory;
}

} // namespace stikko
