// Whole-file writes: a file that already holds the bytes is left alone (no new file, no flush
// to the disk), anything else is replaced in one rename.
#include "platform/atomicfile.h"
#include "platform/ini.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace stikko;

namespace {
ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class AtomicFileTest : public QObject {
    Q_OBJECT
  private slots:
    void sameBytes_leaveTheFileAlone_otherBytesReplaceIt() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("note.ini"));
        QVERIFY(writeFileAtomically(path, "[VALUE_SECTION]\nscr_x=10\n"));
        const ino_t first = inodeOf(path);
        QVERIFY(first != 0);

        QVERIFY(writeFileAtomically(path, "[VALUE_SECTION]\nscr_x=10\n"));
        QCOMPARE(inodeOf(path), first);

        // Same length, other bytes: replaced.
        QVERIFY(writeFileAtomically(path, "[VALUE_SECTION]\nscr_x=11\n"));
        QVERIFY(inodeOf(path) != first);
        QCOMPARE(readAll(path), QByteArray("[VALUE_SECTION]\nscr_x=11\n"));

        // An empty file asked to stay empty is fine; a missing one is made.
        const QString empty = dir.filePath(QStringLiteral("empty.rtf"));
        QVERIFY(writeFileAtomically(empty, ""));
        QVERIFY(QFile::exists(empty));
        QVERIFY(writeFileAtomically(empty, ""));
        QCOMPARE(readAll(empty), QByteArray());
    }

    // Whatever the writer does — fail at once, fail halfway, or claim bytes it never wrote —
    // the old file keeps its bytes, the call says it failed, and no temporary file is left.
    void failingOrShortWriter_leavesTheOldBytes_andReportsFailure_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("fails at once") << 0;
        QTest::newRow("fails halfway") << 1;
        QTest::newRow("claims what it did not write") << 2;
    }
    void failingOrShortWriter_leavesTheOldBytes_andReportsFailure() {
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("note.rtf"));
        const QByteArray old = "{\\rtf1 the text before}";
        QVERIFY(writeFileAtomically(path, old));
        int calls = 0;
        test::TestEnv env;
        env.writer = [&](int fd, const char* data, qint64 size) -> qint64 {
            ++calls;
            if (mode == 1 && calls == 1)
                return ::write(fd, data, size_t(size / 2)); // a short write: the rest is tried again
            if (mode == 2)
                return ::write(fd, data, size_t(size / 2)) < 0 ? -1 : size;
            errno = ENOSPC;
            return -1;
        };
        QString error;
        const bool written = writeFileAtomically(path, QByteArray(4000, 'x'), &error);
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("note.rtf")});
        QCOMPARE(calls, mode == 1 ? 2 : 1);
    }

    // A group is written file by file: each lands whole, one whose write fails keeps its old
    // bytes and says why without stopping the others, and no temporary is left.
    void group_eachFileOnItsOwn() {
        QTemporaryDir dir;
        std::vector<AtomicWrite> files;
        files.reserve(12);
        for (int i = 0; i < 12; ++i)
            files.push_back({dir.filePath(QStringLiteral("n%1.ini").arg(i)), "x=" + QByteArray::number(i)});
        QVERIFY(writeFileAtomically(files[5].path, "old"));
        test::TestEnv env;
        env.writer = [](int fd, const char* data, qint64 size) -> qint64 {
            if (QByteArrayView(data, size) == "x=5") {
                errno = ENOSPC;
                return -1;
            }
            return ::write(fd, data, size_t(size));
        };
        StagedWrites group(files);
        group.stage();
        for (std::size_t i = 0; i < files.size(); ++i) {
            QCOMPARE(group.commit(i), i != 5);
            QCOMPARE(group.file(i).error.isEmpty(), i != 5);
            QCOMPARE(readAll(files[i].path), i != 5 ? files[i].bytes : QByteArray("old"));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 12);
    }

    // Written on another thread, put in place by the owner: a file renamed, a file whose
    // temporary is thrown away and a file its group is dropped with keep what they should, and
    // no temporary outlives the group.
    void stagedGroup_eachFileCommittedOrDropped() {
        QTemporaryDir dir;
        std::vector<AtomicWrite> files;
        for (int i = 0; i < 3; ++i) {
            files.push_back({dir.filePath(QStringLiteral("n%1.ini").arg(i)), "new"});
            QVERIFY(writeFileAtomically(files.back().path, "old"));
        }
        {
            StagedWrites group(files);
            std::thread([&group] { group.stage(); }).join();
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 6);
            QCOMPARE(readAll(files[0].path), QByteArray("old"));
            QVERIFY(group.commit(0));
            group.discard(1);
        }
        QCOMPARE(readAll(files[0].path), QByteArray("new"));
        QCOMPARE(readAll(files[1].path), QByteArray("old"));
        QCOMPARE(readAll(files[2].path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    // What a kill leaves: the temporaries of a group staged when the process died, named as
    // the writer names them, beside copies the user made and named. Every one of the writer's
    // temporaries of a note file goes, however its random part came out; nothing else does,
    // the names older builds gave their temporaries included.
    void leftoverTemporaries_onlyTheWritersOwnAreRemoved() {
        QTemporaryDir dir;
        std::vector<AtomicWrite> files;
        files.reserve(201);
        for (int i = 0; i < 200; ++i)
            files.push_back(
                {dir.filePath(QStringLiteral("n%1.%2").arg(i).arg(i % 2 ? "ini" : "rtf")), "new"});
        files.push_back({dir.filePath(QStringLiteral("a.txt")), "new"}); // no note file
        const QStringList users = {"n1.rtf.Backup",
                                   "n1.ini.Copy01",
                                   "old.rtf.V2copy",
                                   "n1.ini.backup",
                                   "n1.ini.MgEBOQ",
                                   "n1.ini.stikko-Ab12cd.tmp",
                                   ".n1.ini.stikko-Ab12c.tmp",
                                   ".n1.ini.stikko-Ab12cd",
                                   ".n1.ini.stikko-Ab12cd.tmp.old"};
        for (const QString& name : users)
            QVERIFY(writeFileAtomically(dir.filePath(name), "mine"));

        StagedWrites group(files);
        group.stage();
        QStringList temporaries = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : users)
            temporaries.removeOne(name);
        QCOMPARE(temporaries.size(), 201);
        for (const QString& name : temporaries)
            QVERIFY2(isTemporaryFileName(name), qPrintable(name));
        for (const QString& name : users)
            QVERIFY2(!isTemporaryFileName(name), qPrintable(name));

        QCOMPARE(removeLeftoverTemporaries(dir.path(), {QStringLiteral(".ini"), QStringLiteral(".rtf")}),
                 200);
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), users.size() + 1);
        for (const QString& name : users) {
            QVERIFY2(left.removeOne(name), qPrintable(name));
            QCOMPARE(readAll(dir.filePath(name)), QByteArray("mine"));
        }
        QVERIFY(left.first().startsWith(QStringLiteral(".a.txt.stikko-")));
    }
};

QTEST_GUILESS_MAIN(AtomicFileTest)
#include "atomicfile_test.moc"
