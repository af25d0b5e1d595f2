#include "store/datafolderwatcher.h"

#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/rtf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace stikko {

namespace {

// In the data folder: files made, written in place, closed after writing, renamed in or out,
// removed, their modes or times changed; and the folder itself going away.
constexpr quint32 kDataEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_DELETE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// In the folder that holds it: a data folder made or moved in.
constexpr quint32 kParentEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

enum class Kind { Other, Note, Conflict };

Kind kindOf(const QString& name) {
    if (name.startsWith(u'.') || isTemporaryFileName(name))
        return Kind::Other;
    if (NoteFiles::noteFileName(name))
        return Kind::Note;
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
    : QObject(parent), files_(files), gather_(new QTimer(this)), grace_(new QTimer(this)) {
    gather_->setSingleShot(true);
    grace_->setSingleShot(true);
    connect(gather_, &QTimer::timeout, this, [this] {
        ++counters_.wakeups;
        process();
    });
    connect(grace_, &QTimer::timeout, this, &DataFolderWatcher::graceTimeout);
}

DataFolderWatcher::~DataFolderWatcher() {
    stop();
}

void DataFolderWatcher::setTimings(std::chrono::milliseconds gather, std::chrono::milliseconds grace) {
    gatherTime_ = gather;
    graceTime_ = grace;
}

bool DataFolderWatcher::isWatching() const {
    return fd_ >= 0;
}

bool DataFolderWatcher::start(QString* error) {
    stop();
    const QString folder = QDir::cleanPath(files_.dataFolder());
    folder_ = folder + QLatin1Char('/');
    parent_ = QFileInfo(folder).path();
    leaf_ = QFileInfo(folder).fileName();

    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        if (error)
            *error = QStringLiteral("cannot watch %1: %2")
                         .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    parentWatch_ = ::inotify_add_watch(fd_, QFile::encodeName(parent_).constData(), kParentEvents);
    const int parentErrno = errno;
    if (!watchDataFolder() && parentWatch_ < 0) {
        if (error)
            *error = QStringLiteral("cannot watch %1: %2")
                         .arg(folder, QString::fromLocal8Bit(std::strerror(parentErrno)));
        stop();
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &DataFolderWatcher::readEvents);
    clock_.start();

    // What is there now: the notes the program is about to read, and conflict copies that came
    // while it was not running.
    if (dataWatch_ >= 0) {
        for (const QString& name : listNames(folder_)) {
            switch (kindOf(name)) {
            case Kind::Note:
                if (const std::optional<NoteFileName> file = NoteFiles::noteFileName(name); !file->body)
                    known_.insert(file->id);
                break;
            case Kind::Conflict:
                conflicts_.insert(name, now() + graceTime_.count());
                break;
            case Kind::Other:
                break;
            }
        }
    }
    armGrace();
    return true;
}

void DataFolderWatcher::stop() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = dataWatch_ = parentWatch_ = -1;
    gather_->stop();
    grace_->stop();
    rescanDue_ = folderCameBack_ = false;
    known_.clear();
    dirty_.clear();
    stamps_.clear();
    looks_.clear();
    writing_.clear();
    removing_.clear();
    adding_.clear();
    conflicts_.clear();
}

bool DataFolderWatcher::watchDataFolder() {
    const int watch = ::inotify_add_watch(fd_, QFile::encodeName(folder_).constData(), kDataEvents);
    if (watch < 0)
        return false;
    // The same folder keeps its watch; the one of a folder replaced by another goes.
    if (watch != dataWatch_ && dataWatch_ >= 0)
        ::inotify_rm_watch(fd_, dataWatch_);
    dataWatch_ = watch;
    return true;
}

void DataFolderWatcher::dataFolderLost() {
    if (dataWatch_ >= 0)
        ::inotify_rm_watch(fd_, dataWatch_);
    dataWatch_ = -1;
    // Nothing is reported about the notes while their folder is gone (moved away, unmounted):
    // their windows keep them, and they write them again where the folder is made anew.
    dirty_.clear();
    stamps_.clear();
    looks_.clear();
    writing_.clear();
    removing_.clear();
    adding_.clear();
    conflicts_.clear();
}

void DataFolderWatcher::readEvents() {
    ++counters_.wakeups;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break;
        for (const char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: every name is looked at.
                rescanDue_ = true;
                continue;
            }
            const QString name = event->len ? QFile::decodeName(event->name) : QString();
            if (event->wd == parentWatch_) {
                if (name == leaf_) {
                    const int before = dataWatch_;
                    if (watchDataFolder() && dataWatch_ != before) {
                        rescanDue_ = true;
                        folderCameBack_ = true;
                    }
                }
                continue;
            }
            if (event->wd != dataWatch_ || dataWatch_ < 0)
                continue;
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                dataFolderLost();
                continue;
            }
            if (!name.isEmpty() && !(event->mask & IN_ISDIR))
                nameEvent(name, event->mask);
        }
    }
    if ((rescanDue_ || !dirty_.isEmpty()) && !gather_->isActive())
        gather_->start(gatherTime_);
    armGrace();
}

void DataFolderWatcher::nameEvent(const QString& name, quint32 mask) {
    if (kindOf(name) == Kind::Other)
        return;
    // A file written in place is looked at when its writer closes it (or, should that never be
    // seen, after the grace period without a further write).
    if (mask & (IN_CREATE | IN_MODIFY)) {
        writing_.insert(name, now() + graceTime_.count());
        return;
    }
    if ((mask & IN_ATTRIB) && writing_.contains(name))
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
    if (seen && seen->size == stamp.size) {
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
    if (rescanDue_) {
        rescanDue_ = false;
        rescan(std::exchange(folderCameBack_, false));
    }
    QHash<QByteArray, Touched> touched;
    const QSet<QString> names = std::exchange(dirty_, {});
    for (const QString& name : names) {
        if (NoteFiles::conflictCopyName(name)) {
            // Waits for the copy of the note's other file, which may come a moment later.
            if (complete(name))
                conflicts_.insert(name, now() + graceTime_.count());
            else
                conflicts_.remove(name);
            continue;
        }
        const std::optional<NoteFileName> file = NoteFiles::noteFileName(name);
        if (!file || writing_.contains(name))
            continue;
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
        if (complete(name))
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
