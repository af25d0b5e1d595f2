#include "store/datafolderwatcher.h"

#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/folderwatch.h"
#include "platform/rtf.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <dirent.h>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace stikko {

namespace {

enum class Kind { Other, Note, Conflict };

Kind kindOf(const QString& name) {
    // A note file's name (it ends in ".ini" or ".rtf") is never a writer's temporary one (which
    // ends in six letters and digits): the cheap look first, it settles most names.
    if (NoteFiles::noteFileName(name))
        return Kind::Note;
    if (name.startsWith(u'.') || isTemporaryFileName(name))
        return Kind::Other;
    if (NoteFiles::conflictCopyName(name))
        return Kind::Conflict;
    return Kind::Other;
}

QString recordName(const QByteArray& id) {
    return cp949::decode(id) + QStringLiteral(".ini");
}

QString bodyName(const QByteArray& id) {
    return cp949::decode(id) + QStringLiteral(".rtf");
}

// The names in `folder` that may be files (folders left out), as readdir gives them: no stat.
QStringList listNames(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_DIR)
            names << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

DataFolderWatcher::DataFolderWatcher(NoteFiles& files, QObject* parent)
    : QObject(parent), files_(files), watch_(std::make_unique<FolderWatch>()), gather_(new QTimer(this)),
      grace_(new QTimer(this)) {
    gather_->setSingleShot(true);
    grace_->setSingleShot(true);
    connect(gather_, &QTimer::timeout, this, [this] {
        ++counters_.wakeups;
        process();
    });
    connect(grace_, &QTimer::timeout, this, &DataFolderWatcher::graceTimeout);
    connect(watch_.get(), &FolderWatch::nameChanged, this,
            [this](const QString& name, FolderWatch::Change change) {
                nameEvent(name, change == FolderWatch::Change::Writing,
                          change == FolderWatch::Change::Attributes);
            });
    connect(watch_.get(), &FolderWatch::eventsRead, this, &DataFolderWatcher::eventsRead);
    connect(watch_.get(), &FolderWatch::folderGone, this, &DataFolderWatcher::dataFolderLost);
    connect(watch_.get(), &FolderWatch::eventsLost, this, [this] { rescanDue_ = true; });
    connect(watch_.get(), &FolderWatch::folderBack, this, [this] {
        rescanDue_ = true;
        folderCameBack_ = true;
    });
}

DataFolderWatcher::~DataFolderWatcher() {
    stop();
}

void DataFolderWatcher::setTimings(std::chrono::milliseconds gather, std::chrono::milliseconds grace,
                                   std::chrono::milliseconds othersCopy) {
    gatherTime_ = gather;
    graceTime_ = grace;
    othersCopyTime_ = othersCopy;
}

bool DataFolderWatcher::isWatching() const {
    return watch_->isActive();
}

DataFolderWatcher::Counters DataFolderWatcher::counters() const {
    Counters counters = counters_;
    counters.wakeups += watch_->wakeups();
    return counters;
}

bool DataFolderWatcher::start(QString* error) {
    stop();
    folder_ = QDir::cleanPath(files_.dataFolder()) + QLatin1Char('/');
    if (!watch_->start(folder_, error))
        return false;
    clock_.start();

    // What is there now: the notes the program is about to read, and conflict copies that came
    // while it was not running. A folder of many thousands takes a while to list, so that is
    // done on a thread of its own (after the listing delay); names reported meanwhile wait
    // for it.
    listed_ = !watch_->folderWatched();
    if (!listed_) {
        const quint64 generation = ++listings_;
        if (listingDelay_.count() <= 0)
            startListing();
        else
            QTimer::singleShot(listingDelay_, this, [this, generation] {
                if (generation == listings_ && !listed_ && !lister_.joinable())
                    startListing();
            });
    }
    armGrace();
    return true;
}

void DataFolderWatcher::setListingDelay(std::chrono::milliseconds delay) {
    listingDelay_ = delay;
}

void DataFolderWatcher::startListing() {
    auto listing = std::make_shared<Listing>();
    listing_ = listing;
    const auto list = [folder = folder_, listing] { listing->list(folder); };
    try {
        lister_ = std::thread([this, list, generation = listings_] {
            list();
            QMetaObject::invokeMethod(
                this, [this, generation] { listingDone(generation); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        list();
        listingDone(listings_);
    }
}

void DataFolderWatcher::Listing::list(const QString& folder) {
    // Names as the folder gives them: a note's file is told by its bytes, without a stat or
    // decoding.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        if (entry->d_type == DT_DIR)
            continue;
        if (const std::optional<NoteFileName> file = NoteFiles::noteFileName(QByteArrayView(entry->d_name))) {
            if (!file->body)
                records.insert(file->id);
            continue;
        }
        const QString name = QFile::decodeName(entry->d_name);
        if (kindOf(name) == Kind::Conflict)
            conflicts << name;
    }
    if (dir)
        ::closedir(dir);
}

void DataFolderWatcher::listingDone(quint64 generation) {
    if (generation != listings_ || listed_)
        return;
    if (lister_.joinable())
        lister_.join();
    const std::shared_ptr<Listing> listing = std::exchange(listing_, nullptr);
    listed_ = true;
    if (known_.isEmpty())
        known_.swap(listing->records);
    else
        known_.unite(listing->records);
    for (const QString& name : std::as_const(listing->conflicts)) {
        // Came while the program was not running: no other one is taking care of it.
        conflicts_.insert(name, now() + graceTime_.count());
        waitedFor_.insert(name);
    }
    // What was reported meanwhile.
    eventsRead();
}

void DataFolderWatcher::stop() {
    if (lister_.joinable())
        lister_.join();
    listing_.reset();
    ++listings_;
    listed_ = true;
    watch_->stop();
    gather_->stop();
    grace_->stop();
    rescanDue_ = folderCameBack_ = false;
    known_.clear();
    dataFolderLost();
}

void DataFolderWatcher::dataFolderLost() {
    // Nothing is reported about the notes while their folder is gone (moved away, unmounted):
    // their windows keep them, and they write them again where the folder is made anew.
    dirty_.clear();
    stamps_.clear();
    looks_.clear();
    writing_.clear();
    removing_.clear();
    adding_.clear();
    conflicts_.clear();
    waitedFor_.clear();
}

void DataFolderWatcher::eventsRead() {
    if (!listed_)
        return; // looked at once the folder is listed
    dropOwnWrites();
    if ((rescanDue_ || !dirty_.isEmpty()) && !gather_->isActive())
        gather_->start(gatherTime_);
    armGrace();
}

void DataFolderWatcher::dropOwnWrites() {
    // The kernel tells the program's own writes like anyone else's. A known note's file that
    // holds what the program last saw there needs nothing; looked at now rather than after the
    // gathering pause, it does not wake the program once more a moment later (at start, with
    // hundreds of records completed, that wake came after every note was drawn). Anything else
    // waits for the pause as before: the watcher's own look is kept for then.
    for (auto it = dirty_.begin(); it != dirty_.end();) {
        const std::optional<NoteFileName> file = NoteFiles::noteFileName(*it);
        const QString path = folder_ + *it;
        const std::optional<SeenContent> seen = file ? files_.lastSeen(path) : std::nullopt;
        if (seen && !seen->isAbsent() && known_.contains(file->id) && !files_.bodyWriteUnderWay(path) &&
            files_.holdsWhatItSaw(path))
            it = dirty_.erase(it);
        else
            ++it;
    }
}

void DataFolderWatcher::nameEvent(const QString& name, bool writing, bool attributesOnly) {
    if (kindOf(name) == Kind::Other)
        return;
    // A file written in place is looked at when its writer closes it (or, should that never be
    // seen, after the grace period without a further write).
    if (writing) {
        writing_.insert(name, now() + graceTime_.count());
        return;
    }
    if (attributesOnly && writing_.contains(name))
        return;
    writing_.remove(name);
    dirty_.insert(name);
}

void DataFolderWatcher::rescan(bool folderCameBack) {
    QSet<QByteArray> records;
    for (const QString& name : listNames(folder_)) {
        const Kind kind = kindOf(name);
        if (kind == Kind::Other)
            continue;
        if (kind == Kind::Note) {
            const std::optional<NoteFileName> file = NoteFiles::noteFileName(name);
            if (!file->body)
                records.insert(file->id);
            // A known note's file that neither the program nor the watcher has seen has nothing
            // to be compared with: a hidden note's body is no change.
            if (known_.contains(file->id) && !stamps_.contains(name) && !files_.lastSeen(folder_ + name))
                continue;
        }
        dirty_.insert(name);
    }
    for (const QByteArray& id : QSet<QByteArray>(known_)) {
        if (records.contains(id))
            continue;
        // A data folder made anew without this note: the note's window still has it.
        if (folderCameBack)
            known_.remove(id);
        else
            dirty_.insert(recordName(id));
    }
}

DataFolderWatcher::Look DataFolderWatcher::look(const QString& name, bool* unchanged) {
    const QString path = folder_ + name;
    ++counters_.stats;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        stamps_.remove(name);
        looks_.remove(name);
        return Look::Absent;
    }
    const Stamp stamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                      quint64(info.st_ino)};
    const auto known = looks_.constFind(name);
    if (known != looks_.constEnd() && stamps_.value(name) == stamp) {
        if (unchanged)
            *unchanged = true;
        return *known;
    }
    stamps_.insert(name, stamp);
    Look result = Look::Foreign;
    const std::optional<SeenContent> seen = files_.lastSeen(path);
    const SeenContent::Stamp now{quint64(info.st_dev), quint64(info.st_ino), stamp.mtimeNs};
    if (seen && seen->size == stamp.size && seen->stamp == now) {
        // A large file the program saw there, untouched since (same inode, size and time).
        result = Look::Same;
    } else if (seen && seen->size == stamp.size) {
        // The size the program saw: only the bytes tell.
        ++counters_.reads;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.read(std::min<qint64>(stamp.size, rtf::kMaxFileSize) + 1);
            if (file.error() == QFileDevice::NoError && SeenContent::of(bytes) == *seen)
                result = Look::Same;
        }
    }
    looks_.insert(name, result);
    return result;
}

bool DataFolderWatcher::complete(const QString& name) {
    if (writing_.contains(name))
        return false;
    ++counters_.stats;
    struct stat info {};
    return ::stat(QFile::encodeName(folder_ + name).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

void DataFolderWatcher::process() {
    if (!listed_)
        return;
    if (rescanDue_) {
        rescanDue_ = false;
        rescan(std::exchange(folderCameBack_, false));
    }
    QHash<QByteArray, Touched> touched;
    const QSet<QString> names = std::exchange(dirty_, {});
    for (const QString& name : names) {
        if (NoteFiles::conflictCopyName(name)) {
            // Waits for the copy of the note's other file, which may come a moment later.
            if (complete(name)) {
                conflicts_.insert(name, now() + graceTime_.count());
            } else {
                conflicts_.remove(name);
                waitedFor_.remove(name);
            }
            continue;
        }
        const std::optional<NoteFileName> file = NoteFiles::noteFileName(name);
        if (!file || writing_.contains(name))
            continue;
        if (files_.bodyWriteUnderWay(folder_ + name)) {
            // The program's own write, renamed into place before the program took it in: told
            // as a change, the note would wait for the write (seconds for a large body) only to
            // find its own bytes. Looked at again once the write is taken in.
            writing_.insert(name, now() + gatherTime_.count());
            continue;
        }
        bool unchanged = false;
        const Look result = look(name, &unchanged);
        if (unchanged)
            continue;
        Touched& note = touched[file->id];
        (file->body ? note.body : note.record) = result;
    }
    for (auto it = touched.cbegin(); it != touched.cend(); ++it)
        settle(it.key(), it.value());
    armGrace();
}

void DataFolderWatcher::settle(const QByteArray& id, Touched touched) {
    const QString record = recordName(id);
    const QString body = bodyName(id);
    if (known_.contains(id)) {
        if (touched.record == Look::Absent) {
            const std::optional<SeenContent> seen = files_.lastSeen(folder_ + record);
            if (seen && seen->removed) {
                // Removed by the program itself.
                forget(id);
            } else if (!removing_.contains(id)) {
                // A synchroniser moves a file aside for a moment during a conflict: only a
                // record still gone after the grace period means the note was removed.
                removing_.insert(id, now() + graceTime_.count());
            }
            return;
        }
        if (touched.record)
            removing_.remove(id);
        const bool recordChanged = touched.record == Look::Foreign;
        bool bodyChanged = touched.body == Look::Foreign;
        if (touched.body == Look::Absent) {
            const std::optional<SeenContent> seen = files_.lastSeen(folder_ + body);
            bodyChanged = seen && !seen->isAbsent();
        }
        if (recordChanged || bodyChanged)
            emit noteChanged(id, recordChanged, bodyChanged);
        return;
    }

    Look recordLook = Look::Absent;
    if (touched.record)
        recordLook = *touched.record;
    else if (!writing_.contains(record))
        recordLook = look(record);
    if (recordLook == Look::Absent) {
        adding_.remove(id);
        return;
    }
    if (recordLook == Look::Same) {
        // The program's own new note.
        known_.insert(id);
        adding_.remove(id);
        if (touched.body == Look::Foreign)
            emit noteChanged(id, false, true);
        return;
    }
    const bool hasBody = touched.body ? *touched.body != Look::Absent : complete(body);
    if (hasBody) {
        adding_.remove(id);
        known_.insert(id);
        emit noteAdded(id);
    } else if (!adding_.contains(id)) {
        adding_.insert(id, now() + graceTime_.count());
    }
}

void DataFolderWatcher::forget(const QByteArray& id) {
    for (const QString& name : {recordName(id), bodyName(id)}) {
        stamps_.remove(name);
        looks_.remove(name);
    }
    known_.remove(id);
    removing_.remove(id);
    adding_.remove(id);
}

void DataFolderWatcher::graceTimeout() {
    ++counters_.wakeups;
    if (!listed_)
        return;
    const qint64 moment = now();
    // Taken out first: a slot may run an event loop that comes back here.
    const auto takeDue = [moment](auto& pending) {
        QList<typename std::decay_t<decltype(pending)>::key_type> due;
        for (auto it = pending.begin(); it != pending.end();) {
            if (it.value() <= moment) {
                due << it.key();
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
        return due;
    };
    for (const QString& name : takeDue(writing_))
        dirty_.insert(name);
    for (const QByteArray& id : takeDue(removing_)) {
        if (!known_.contains(id))
            continue;
        const QString record = recordName(id);
        if (complete(record)) {
            // Back without an event seen for it: looked at as a change.
            stamps_.remove(record);
            looks_.remove(record);
            dirty_.insert(record);
            continue;
        }
        const std::optional<SeenContent> seen = files_.lastSeen(folder_ + record);
        const bool ours = seen && seen->removed;
        forget(id);
        if (!ours)
            emit noteRemoved(id);
    }
    for (const QByteArray& id : takeDue(adding_)) {
        if (known_.contains(id))
            continue;
        const Look recordLook = look(recordName(id));
        if (recordLook == Look::Absent)
            continue;
        known_.insert(id);
        if (recordLook == Look::Foreign)
            emit noteAdded(id);
    }
    for (const QString& name : takeDue(conflicts_)) {
        if (!complete(name))
            continue;
        if (!waitedFor_.contains(name) && !files_.setAsideHere(name)) {
            waitedFor_.insert(name);
            conflicts_.insert(name, moment + othersCopyTime_.count());
            continue;
        }
        emit conflictCopyFound(name);
    }
    if (!dirty_.isEmpty())
        process();
    else
        armGrace();
}

void DataFolderWatcher::armGrace() {
    std::optional<qint64> first;
    const auto consider = [&first](const auto& pending) {
        for (const qint64 due : pending)
            first = first ? std::min(*first, due) : due;
    };
    consider(writing_);
    consider(removing_);
    consider(adding_);
    consider(conflicts_);
    if (!first) {
        grace_->stop();
        return;
    }
    grace_->start(int(std::clamp<qint64>(*first - now(), 0, std::numeric_limits<int>::max())));
}

} // namespace stikko
