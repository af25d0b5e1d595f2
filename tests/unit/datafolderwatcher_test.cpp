// The data folder as a synchroniser and other programs change it: what the watcher reports per
// note, and how a conflict copy becomes a note of its own under the same id on every computer.
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "store/datafolderwatcher.h"
#include "store/notefiles.h"
#include "store/subfunction.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

using namespace stikko;
using namespace std::chrono_literals;
using stikko::test::readAll;
using stikko::test::TestEnv;

namespace {

constexpr auto kGrace = 300ms;
constexpr char kA[] = "20040201_090503_07";
constexpr char kB[] = "20040201_090503_08";
constexpr char kC[] = "20040201_090503_09";
constexpr char kD[] = "20040201_090503_10";
constexpr char kSentinel[] = "20040201_090503_11";

// How a synchroniser brings a file in: a hidden temporary file renamed onto the name.
bool syncWrite(const QString& folder, const QString& name, const QByteArray& bytes) {
    const QString temp = folder + QStringLiteral(".syncthing.") + name + QStringLiteral(".tmp");
    QFile file(temp);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(folder + name).constData()) ==
           0;
}

bool move(const QString& folder, const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(folder + from).constData(),
                       QFile::encodeName(folder + to).constData()) == 0;
}

QByteArray record(const char* id, int x) {
    return QStringLiteral("[VALUE_SECTION]\noid=%1\nini_name=/home/a/stikko/./data/%1.ini\nscr_x=%2\n")
        .arg(QLatin1String(id))
        .arg(x)
        .toLatin1();
}

QByteArray body(const QByteArray& text) {
    return "{\\rtf1\\ansi " + text + "\\par}";
}

} // namespace

class DataFolderWatcherTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        env_ = std::make_unique<TestEnv>();
        data_ = env_->dataDir();
    }
    void cleanup() { env_.reset(); }

    void othersChanges_reportedPerNote_ownWritesAndTemporariesNeverCount();
    void conflictGap_isNoRemoval_andAPairArrivingInTwoStepsBecomesOneNote();
    void adoptConflictCopy_sameIdAndBytesOnEveryComputer_neverOverwrites();
    void dataFolderGone_removesNothing_andAFolderMadeAnewIsWatched();
    void writes_neverOverChangesFromElsewhere_norForAnotherComputersFolder();

  private:
    // A change to the sentinel note that the watcher must report: every event before it has
    // been looked at once it is.
    bool passSentinel(QSignalSpy& changed, int value) {
        const qsizetype before = changed.size();
        if (!syncWrite(data_, QStringLiteral("%1.ini").arg(kSentinel), record(kSentinel, value)))
            return false;
        if (!QTest::qWaitFor([&] { return changed.size() > before; }, 5000))
            return false;
        return changed.takeLast().at(0).toByteArray() == kSentinel;
    }

    std::unique_ptr<TestEnv> env_;
    QString data_;
};

void DataFolderWatcherTest::othersChanges_reportedPerNote_ownWritesAndTemporariesNeverCount() {
    NoteFiles files;
    // A is the program's own (written by it); B and the sentinel came from elsewhere before it
    // started and were read by it.
    NoteRecord a;
    InitNoteRecord(a, kA);
    a.scr_x = 10;
    QVERIFY(files.saveRecord(a));
    QVERIFY(files.saveBody(kA, body("a")));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kB), record(kB, 1)));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.rtf").arg(kB), body("b")));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kSentinel), record(kSentinel, 0)));
    NoteRecord b;
    InitNoteRecord(b, kB);
    QCOMPARE(files.loadRecord(b), FileState::Loaded);
    QCOMPARE(files.loadBody(kB).state, FileState::Loaded);

    DataFolderWatcher watcher(files);
    watcher.setTimings(10ms, kGrace);
    QSignalSpy added(&watcher, &DataFolderWatcher::noteAdded);
    QSignalSpy changed(&watcher, &DataFolderWatcher::noteChanged);
    QSignalSpy removed(&watcher, &DataFolderWatcher::noteRemoved);
    QSignalSpy conflicts(&watcher, &DataFolderWatcher::conflictCopyFound);
    QVERIFY(watcher.start());

    // The program's own writes, the same bytes brought in again, and files that are no notes.
    a.scr_x = 20;
    QVERIFY(files.saveRecord(a));
    QVERIFY(files.saveBody(kA, body("a2")));
    // A body written in the background is in place a while before the program takes it in.
    std::optional<NoteFiles::BodyWrite> write = files.prepareBodyWrite(kA);
    QVERIFY(write);
    NoteFiles::writeBody(*write, body("a2 written in the background"));
    QVERIFY(write->saved && passSentinel(changed, 10));
    QVERIFY(files.bodyWritten(*write));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.rtf").arg(kB), body("b")));
    QVERIFY(env_->writeFile(QStringLiteral("data/.syncthing.%1.ini.tmp").arg(kC), record(kC, 1)));
    QVERIFY(env_->writeFile(QStringLiteral("data/.%1.rtf.~3f2a").arg(kC), body("c")));
    QVERIFY(env_->writeFile(QStringLiteral("data/%1.ini.Ab12Cd").arg(kC), record(kC, 1)));
    QVERIFY(env_->writeFile(QStringLiteral("data/%1.INI").arg(kC), record(kC, 1)));
    QVERIFY(env_->writeFile(QStringLiteral("data/default_config.ini"), record(kC, 1)));
    QVERIFY(QDir(data_).mkpath(QStringLiteral(".stfolder")));
    QVERIFY(passSentinel(changed, 1));
    QVERIFY(changed.isEmpty());
    QVERIFY(added.isEmpty());

    // Someone else's bytes: the record by rename, the body written in place and reported only
    // once its writer has closed it.
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kB), record(kB, 2)));
    QVERIFY(changed.wait());
    QCOMPARE(changed.takeFirst(), (QVariantList{QByteArray(kB), true, false}));
    {
        QFile inPlace(data_ + QStringLiteral("%1.rtf").arg(kA));
        QVERIFY(inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(inPlace.write("{\\rtf1 half") > 0 && inPlace.flush());
        QVERIFY(passSentinel(changed, 2));
        QVERIFY(changed.isEmpty());
        QVERIFY(inPlace.write(" and the rest}") > 0);
    }
    QVERIFY(changed.wait());
    QCOMPARE(changed.takeFirst(), (QVariantList{QByteArray(kA), false, true}));

    // A new note: its body first, then its record; one with a record alone after the grace.
    QVERIFY(syncWrite(data_, QStringLiteral("%1.rtf").arg(kC), body("c")));
    QVERIFY(passSentinel(changed, 3));
    QVERIFY(added.isEmpty());
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kC), record(kC, 1)));
    QVERIFY(added.wait());
    QCOMPARE(added.takeFirst().at(0).toByteArray(), QByteArray(kC));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kD), record(kD, 1)));
    QVERIFY(added.wait());
    QCOMPARE(added.takeFirst().at(0).toByteArray(), QByteArray(kD));

    // Removed elsewhere, after the grace; removed by the program itself, never reported.
    QVERIFY(QFile::remove(data_ + QStringLiteral("%1.ini").arg(kC)));
    QVERIFY(QFile::remove(data_ + QStringLiteral("%1.rtf").arg(kC)));
    QVERIFY(files.remove(kA));
    NoteRecord c; // read while the removal waits out its grace: still a removal from elsewhere
    InitNoteRecord(c, kC);
    QCOMPARE(files.loadRecord(c), FileState::Missing);
    QVERIFY(removed.wait());
    QCOMPARE(removed.takeFirst().at(0).toByteArray(), QByteArray(kC));
    QVERIFY(!removed.wait(int(2 * kGrace.count())) && removed.isEmpty());
    QVERIFY(changed.isEmpty());
    QVERIFY(added.isEmpty());
    QVERIFY(conflicts.isEmpty());

    // Nothing wakes the watcher while nothing happens. The program's own write of a known note
    // wakes it once, when the kernel tells it, and not again after the gathering pause.
    const quint64 wakeups = watcher.counters().wakeups;
    QTest::qWait(int(2 * kGrace.count()));
    QCOMPARE(watcher.counters().wakeups, wakeups);
    QCOMPARE(files.loadRecord(b), FileState::Loaded);
    b.scr_x += 5;
    QVERIFY(files.saveRecord(b));
    QTest::qWait(int(2 * kGrace.count()));
    QCOMPARE(watcher.counters().wakeups, wakeups + 1);
    QVERIFY(changed.isEmpty());
}

void DataFolderWatcherTest::conflictGap_isNoRemoval_andAPairArrivingInTwoStepsBecomesOneNote() {
    NoteFiles files;
    NoteRecord a;
    InitNoteRecord(a, kA);
    QVERIFY(files.saveRecord(a));
    QVERIFY(files.saveBody(kA, body("mine")));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kSentinel), record(kSentinel, 0)));

    DataFolderWatcher watcher(files);
    watcher.setTimings(10ms, kGrace, 4 * kGrace);
    QSignalSpy added(&watcher, &DataFolderWatcher::noteAdded);
    QSignalSpy changed(&watcher, &DataFolderWatcher::noteChanged);
    QSignalSpy removed(&watcher, &DataFolderWatcher::noteRemoved);
    QSignalSpy conflicts(&watcher, &DataFolderWatcher::conflictCopyFound);
    QVERIFY(watcher.start());

    // The synchroniser moves the body aside, and its record a second later; between the two
    // renames of each, the note's file is missing for a moment.
    const QString bodyCopy = QStringLiteral("%1.sync-conflict-20240101-120000-ABCDEFG.rtf").arg(kA);
    const QString recordCopy = QStringLiteral("%1.sync-conflict-20240101-120001-ABCDEFG.ini").arg(kA);
    QVERIFY(move(data_, QStringLiteral("%1.rtf").arg(kA), bodyCopy));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.rtf").arg(kA), body("theirs")));
    QVERIFY(changed.wait());
    QCOMPARE(changed.takeFirst(), (QVariantList{QByteArray(kA), false, true}));
    QVERIFY(move(data_, QStringLiteral("%1.ini").arg(kA), recordCopy));
    QVERIFY(passSentinel(changed, 1));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kA), record(kA, 99)));
    QVERIFY(changed.wait());
    QCOMPARE(changed.takeFirst(), (QVariantList{QByteArray(kA), true, false}));

    QTRY_COMPARE_WITH_TIMEOUT(conflicts.size(), 2, 5000);
    QVERIFY(!removed.wait(int(2 * kGrace.count())) && removed.isEmpty());
    QStringList found{conflicts.at(0).at(0).toString(), conflicts.at(1).at(0).toString()};
    found.sort();
    QCOMPARE(found, (QStringList{bodyCopy, recordCopy}));

    // The first copy adopted takes its partner with it: one note, and nothing left to adopt.
    QString error;
    const std::optional<QByteArray> id = files.adoptConflictCopy(found.first(), &error);
    QVERIFY2(id && !id->isEmpty(), qPrintable(error));
    QCOMPARE(files.adoptConflictCopy(found.last()), std::optional<QByteArray>(QByteArray()));
    QCOMPARE(*id, NoteFiles::conflictNoteId(kA, u"sync-conflict-20240101-120000-ABCDEFG", 0));
    QCOMPARE(readAll(files.bodyPath(*id)), body("mine"));
    NoteRecord adopted;
    InitNoteRecord(adopted, id->constData());
    QCOMPARE(files.loadRecord(adopted), FileState::Loaded);
    QCOMPARE(adopted.scr_x, a.scr_x + 24); // beside the note it copies
    QVERIFY(!QFile::exists(data_ + bodyCopy) && !QFile::exists(data_ + recordCopy));
    // Its files are the program's own writes: no note added behind its back.
    QVERIFY(passSentinel(changed, 2));
    QVERIFY(added.isEmpty());
    QVERIFY(changed.isEmpty());

    // A copy of a version this program never wrote is the other computer's to adopt: it is
    // reported here only when it is still there a good while later.
    const QString theirs = QStringLiteral("%1.sync-conflict-20240101-130000-HIJKLMN.rtf").arg(kA);
    QVERIFY(syncWrite(data_, theirs, body("another computer's")));
    QVERIFY(!conflicts.wait(int(3 * kGrace.count())));
    QVERIFY(conflicts.wait(int(3 * kGrace.count())));
    QCOMPARE(conflicts.size(), 3);
    QCOMPARE(conflicts.last().at(0).toString(), theirs);
}

void DataFolderWatcherTest::adoptConflictCopy_sameIdAndBytesOnEveryComputer_neverOverwrites() {
    // Two computers: the same note and the same copy of its body, each in a data folder of its
    // own; the record names each computer's own folder.
    const QString bodyCopy = QStringLiteral("%1.sync-conflict-20240101-120000-ABCDEFG.rtf").arg(kA);
    const QByteArray tag = "sync-conflict-20240101-120000-ABCDEFG";
    const QByteArray first = NoteFiles::conflictNoteId(kA, QString::fromLatin1(tag), 0);
    QCOMPARE(first.size(), 20);
    QVERIFY(first.startsWith(kA));
    QCOMPARE(NoteFiles::conflictNoteId(kA, QString::fromLatin1(tag), 0), first);
    QVERIFY(NoteFiles::conflictNoteId(kA, QString::fromLatin1(tag), 1) != first);
    const QByteArray korean = cp949::encode(u"메모");
    QVERIFY(NoteFiles::conflictNoteId(korean, QString::fromLatin1(tag), 0).startsWith(korean));

    QByteArray made[2];
    for (int computer = 0; computer < 2; ++computer) {
        const QString storage = env_->folder() + QStringLiteral("computer%1/").arg(computer);
        QVERIFY(QDir().mkpath(storage + QStringLiteral("data")));
        env::setStorageFolder(storage);
        const QString data = storage + QStringLiteral("data/");
        NoteFiles files;
        QVERIFY(syncWrite(data, QStringLiteral("%1.ini").arg(kA), record(kA, 5)));
        QVERIFY(syncWrite(data, QStringLiteral("%1.rtf").arg(kA), body("winner")));
        QVERIFY(syncWrite(data, bodyCopy, body("loser")));
        if (computer == 1) {
            // Here another note already has the first id drawn: it is left alone.
            QVERIFY(syncWrite(data, QString::fromLatin1(first + ".rtf"), body("other")));
        }
        QString error;
        const std::optional<QByteArray> id = files.adoptConflictCopy(bodyCopy, &error);
        QVERIFY2(id && id->size() == 20, qPrintable(error));
        QCOMPARE(*id, NoteFiles::conflictNoteId(kA, QString::fromLatin1(tag), computer));
        QCOMPARE(readAll(data + QString::fromLatin1(*id + ".rtf")), body("loser"));
        // The copied body takes the note's record, naming the new note, a step beside it.
        const QByteArray newRecord = readAll(data + QString::fromLatin1(*id + ".ini"));
        QCOMPARE(newRecord, QByteArray(record(kA, 5 + 24)).replace(kA, *id));
        made[computer] = newRecord;
        QVERIFY(!QFile::exists(data + bodyCopy));
        QCOMPARE(readAll(data + QString::fromLatin1(first + ".rtf")),
                 computer == 1 ? body("other") : body("loser"));

        // A copy that says what the note says is only removed; one the other computer adopted
        // already is found under the same id.
        QVERIFY(syncWrite(data, bodyCopy, body("winner")));
        QCOMPARE(files.adoptConflictCopy(bodyCopy), std::optional<QByteArray>(QByteArray()));
        QVERIFY(!QFile::exists(data + bodyCopy));
        QVERIFY(syncWrite(data, bodyCopy, body("loser")));
        QCOMPARE(files.adoptConflictCopy(bodyCopy), id);
        // Unreadable: left as it is, and said so.
        QVERIFY(QDir(data).mkpath(QStringLiteral("%1.sync-conflict-20240102-080000-ABCDEFG.rtf").arg(kA)));
        QVERIFY(!files.adoptConflictCopy(
            QStringLiteral("%1.sync-conflict-20240102-080000-ABCDEFG.rtf").arg(kA), &error));
        QVERIFY(!error.isEmpty());
    }
    // Every computer made the same record (the body, too, by the comparisons above), only under
    // another id where that one was taken.
    QCOMPARE(QByteArray(made[0]).replace(NoteFiles::conflictNoteId(kA, QString::fromLatin1(tag), 0), "X"),
             QByteArray(made[1]).replace(NoteFiles::conflictNoteId(kA, QString::fromLatin1(tag), 1), "X"));
    env::setStorageFolder(QString());
}

void DataFolderWatcherTest::dataFolderGone_removesNothing_andAFolderMadeAnewIsWatched() {
    NoteFiles files;
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kA), record(kA, 1)));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.rtf").arg(kA), body("a")));
    DataFolderWatcher watcher(files);
    watcher.setTimings(10ms, kGrace);
    QSignalSpy added(&watcher, &DataFolderWatcher::noteAdded);
    QSignalSpy removed(&watcher, &DataFolderWatcher::noteRemoved);
    QVERIFY(watcher.start());

    // Moved away (or unmounted): the notes' windows keep them; nothing is said to be removed.
    QVERIFY(QDir(env_->folder()).rename(QStringLiteral("data"), QStringLiteral("data.old")));
    QVERIFY(!removed.wait(int(2 * kGrace.count())) && removed.isEmpty());
    QVERIFY(QFile::remove(env_->folder() + QStringLiteral("data.old/%1.ini").arg(kA)));
    QVERIFY(!removed.wait(int(2 * kGrace.count())) && removed.isEmpty());

    // Made anew: watched again.
    QVERIFY(QDir(env_->folder()).mkdir(QStringLiteral("data")));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.rtf").arg(kB), body("b")));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kB), record(kB, 1)));
    QVERIFY(added.wait());
    QCOMPARE(added.takeFirst().at(0).toByteArray(), QByteArray(kB));
    QVERIFY(removed.isEmpty());
}

void DataFolderWatcherTest::writes_neverOverChangesFromElsewhere_norForAnotherComputersFolder() {
    NoteFiles files;
    NoteRecord a;
    InitNoteRecord(a, kA);
    a.scr_x = 10;
    QVERIFY(files.saveRecord(a));
    QVERIFY(files.saveBody(kA, body("mine")));
    const QString recordPath = files.recordPath(kA);
    const QString bodyPath = files.bodyPath(kA);

    // The same record as written on a computer whose program lives in another folder: read and
    // saved again here, it is left as it is.
    const QByteArray fromB = readAll(recordPath).replace(env_->folder().toUtf8(), "/home/b/stikko/");
    QVERIFY(fromB != readAll(recordPath));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kA), fromB));
    NoteRecord taken;
    InitNoteRecord(taken, kA);
    QCOMPARE(files.loadRecord(taken), FileState::Loaded);
    QVERIFY(files.saveRecord(taken));
    QCOMPARE(readAll(recordPath), fromB);

    // Changed elsewhere since they were read: neither file is written over until it is read.
    QVERIFY(syncWrite(data_, QStringLiteral("%1.ini").arg(kA),
                      QByteArray(fromB).replace("scr_x=10", "scr_x=30")));
    QVERIFY(syncWrite(data_, QStringLiteral("%1.rtf").arg(kA), body("theirs")));
    QVERIFY(files.changedElsewhere(recordPath) && files.changedElsewhere(bodyPath));
    bool elsewhere = false;
    QVERIFY(!files.saveRecord(taken, nullptr, &elsewhere) && elsewhere);
    elsewhere = false;
    QVERIFY(!files.saveBody(kA, body("mine 2"), nullptr, &elsewhere) && elsewhere);
    QCOMPARE(readAll(bodyPath), body("theirs"));
    QCOMPARE(files.loadRecord(taken), FileState::Loaded);
    QCOMPARE(taken.scr_x, 30);
    QCOMPARE(files.loadBody(kA).rtf, body("theirs"));
    QVERIFY(!files.changedElsewhere(recordPath) && !files.changedElsewhere(bodyPath));

    // What the files hold now, made a note of its own: beside it, the same note when asked again.
    const std::optional<QByteArray> copy = files.copyAsNewNote(kA);
    QVERIFY(copy && copy->size() == 20 && copy->startsWith(kA));
    QCOMPARE(files.copyAsNewNote(kA), copy);
    QCOMPARE(readAll(files.bodyPath(*copy)), body("theirs"));
    NoteRecord copied;
    InitNoteRecord(copied, copy->constData());
    QCOMPARE(files.loadRecord(copied), FileState::Loaded);
    QCOMPARE(copied.scr_x, 30 + 24);
    QVERIFY(files.saveBody(kA, body("mine 2")));

    // A conflict copy of the record alone that says only where the note stood is removed; one
    // that holds another colour becomes a note.
    const QByteArray own = readAll(recordPath);
    const QString moved = QStringLiteral("%1.sync-conflict-20240101-120000-ABCDEFG.ini").arg(kA);
    QVERIFY(syncWrite(data_, moved, QByteArray(own).replace("scr_x=30", "scr_x=77")));
    QCOMPARE(files.adoptConflictCopy(moved), std::optional<QByteArray>(QByteArray()));
    QVERIFY(!QFile::exists(data_ + moved));
    const QString coloured = QStringLiteral("%1.sync-conflict-20240101-130000-ABCDEFG.ini").arg(kA);
    QVERIFY(own.contains("titlebk_color="));
    QVERIFY(syncWrite(data_, coloured, QByteArray(own).replace("titlebk_color=", "titlebk_color=1")));
    const std::optional<QByteArray> adopted = files.adoptConflictCopy(coloured);
    QVERIFY(adopted && !adopted->isEmpty());
    QCOMPARE(readAll(files.bodyPath(*adopted)), body("mine 2"));
}

QTEST_GUILESS_MAIN(DataFolderWatcherTest)
#include "datafolderwatcher_test.moc"
