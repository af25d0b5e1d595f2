// Loading, saving and listing 1,000 note files, as at start-up with many notes and when every
// open note writes itself back at the end; and watching a data folder of 1,000 notes (2,000
// files) for what other programs change there.

#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"
#include "store/datafolderwatcher.h"
#include "store/dm.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace stikko;

constexpr int kNotes = 1000;

// A program folder of notes, with a clock and a work area that stay put.
struct Folder : env::Environment {
    QTemporaryDir dir;
    std::vector<NoteRecord> notes;
    const QDateTime start{QDate(2004, 2, 1), QTime(9, 0)};
    Dialogs dialogs;
    env::Override installed{*this, dialogs};

    QDateTime now() const override { return start; }
    QSize workArea() const override { return {1280, 770}; }

    Folder() {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        env::setProgramFolder(dir.path());
        notes.resize(kNotes);
        for (int i = 0; i < kNotes; ++i) {
            NoteRecord& r = notes[static_cast<std::size_t>(i)];
            InitNoteRecord(r, MakeNoteId(start.addMSecs(qint64(i) * 10)).constData());
            cp949::copyToField(r.title, QStringLiteral("메모 %1: 장보기와 할 일").arg(i));
            r.scr_x = i % 1000;
            r.scr_y = i % 700;
            r.scr_width = 275;
            r.scr_height = 218;
            r.isshow = 1;
            r.opt_color = 255;
            r.titlebk_color = 5467961;
            cp949::copyToField(r.alram_date, QByteArrayView("2004-02-05"));
            cp949::copyToField(r.alram_datetime, QByteArrayView("2004-02-05 07:30:00"));
        }
    }
    QString dataDir() const { return dir.path() + QStringLiteral("/data/"); }
    void saveAll() {
        for (const NoteRecord& r : notes) {
            if (!SaveNoteRecord(nullptr, r))
                std::abort();
        }
    }
    // Records and bodies of every note.
    void saveNotes() {
        saveAll();
        saveBodies();
    }
    // A body of about a kilobyte for every note.
    void saveBodies() {
        for (const NoteRecord& r : notes) {
            QFile file(cp949::fieldText(r.doc_name));
            if (!file.open(QIODevice::WriteOnly) || file.write(body(r.oid, 0)) <= 0)
                std::abort();
        }
    }
    static QByteArray body(const char* id, int version) {
        QByteArray text =
            "{\\rtf1\\ansi\\ansicpg949 " + QByteArray(id) + " v" + QByteArray::number(version % 10);
        while (text.size() < 1000)
            text += " \\par shopping, calls and other things to do";
        return text + "}";
    }
};

void BM_SaveNewNoteFiles(benchmark::State& state) {
    Folder folder;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(folder.dataDir()).removeRecursively();
        QDir().mkpath(folder.dataDir());
        state.ResumeTiming();
        folder.saveAll();
    }
    state.SetItemsProcessed(state.iterations() * kNotes);
}
BENCHMARK(BM_SaveNewNoteFiles)->Unit(benchmark::kMillisecond);

void BM_RewriteNoteFiles(benchmark::State& state) {
    Folder folder;
    folder.saveAll();
    for (auto _ : state)
        folder.saveAll();
    state.SetItemsProcessed(state.iterations() * kNotes);
}
BENCHMARK(BM_RewriteNoteFiles)->Unit(benchmark::kMillisecond);

void BM_LoadNoteFiles(benchmark::State& state) {
    Folder folder;
    folder.saveAll();
    NoteRecord r;
    for (auto _ : state) {
        for (const NoteRecord& note : folder.notes) {
            InitNoteRecord(r, note.oid);
            LoadNoteRecord(r, nullptr);
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(state.iterations() * kNotes);
}
BENCHMARK(BM_LoadNoteFiles)->Unit(benchmark::kMillisecond);

void BM_ListAndLoadByName(benchmark::State& state) {
    Folder folder;
    folder.saveAll();
    QStringList names;
    NoteRecord r;
    for (auto _ : state) {
        ListFiles(folder.dataDir(), QStringLiteral("*.ini"), names);
        for (const QString& name : names) {
            const QByteArray bytes = name.toLatin1();
            InitNoteRecord(r, bytes.left(bytes.size() - 4).constData());
            LoadNoteRecord(r, bytes.constData());
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(state.iterations() * kNotes);
}
BENCHMARK(BM_ListAndLoadByName)->Unit(benchmark::kMillisecond);

void BM_NoteFilesLoadAll(benchmark::State& state) {
    Folder folder;
    folder.saveNotes();
    NoteFiles files;
    NoteRecord r;
    for (auto _ : state) {
        for (const NoteRecord& note : folder.notes) {
            std::memcpy(&r, &note, sizeof r);
            files.loadRecord(r);
            benchmark::DoNotOptimize(files.loadBody(QByteArrayView(note.oid)));
        }
    }
    state.SetItemsProcessed(state.iterations() * kNotes);
}
BENCHMARK(BM_NoteFilesLoadAll)->Unit(benchmark::kMillisecond);

// Starting the watcher over 1,000 notes: one listing of the folder, no stat, no read.
void BM_WatcherStart(benchmark::State& state) {
    Folder folder;
    folder.saveNotes();
    NoteFiles files;
    DataFolderWatcher watcher(files);
    for (auto _ : state) {
        state.PauseTiming();
        watcher.stop();
        state.ResumeTiming();
        if (!watcher.start())
            std::abort();
    }
    state.counters["stats"] = double(watcher.counters().stats);
    state.counters["reads"] = double(watcher.counters().reads);
}
BENCHMARK(BM_WatcherStart)->Iterations(50)->Unit(benchmark::kMicrosecond);

// Another program rewrites one note's body by rename (a synchroniser's way), with bytes of the
// size the program last read: from the rename to the report, and what that cost the watcher.
void BM_WatcherOneChangedBody(benchmark::State& state) {
    Folder folder;
    folder.saveNotes();
    NoteFiles files;
    for (const NoteRecord& note : folder.notes) {
        NoteRecord r = note;
        files.loadRecord(r);
        files.loadBody(QByteArrayView(note.oid));
    }
    DataFolderWatcher watcher(files);
    watcher.setTimings(std::chrono::milliseconds(0), std::chrono::milliseconds(2000));
    int reports = 0;
    QObject::connect(&watcher, &DataFolderWatcher::noteChanged, [&reports] { ++reports; });
    if (!watcher.start())
        std::abort();
    const DataFolderWatcher::Counters before = watcher.counters();
    int version = 0;
    for (auto _ : state) {
        const NoteRecord& note = folder.notes[std::size_t(version) % folder.notes.size()];
        const QString path = cp949::fieldText(note.doc_name);
        const QString temp = folder.dataDir() + QStringLiteral(".syncthing.x.rtf.tmp");
        QFile file(temp);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(Folder::body(note.oid, ++version / kNotes + 1)) <= 0)
            std::abort();
        file.close();
        const int expected = reports + 1;
        QElapsedTimer clock;
        clock.start();
        if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0)
            std::abort();
        while (reports < expected)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    const double changes = double(state.iterations());
    state.counters["stats_per_change"] = double(watcher.counters().stats - before.stats) / changes;
    state.counters["reads_per_change"] = double(watcher.counters().reads - before.reads) / changes;
    state.counters["wakeups_per_change"] = double(watcher.counters().wakeups - before.wakeups) / changes;
}
BENCHMARK(BM_WatcherOneChangedBody)->UseManualTime()->Iterations(500)->Unit(benchmark::kMicrosecond);

// A second of an idle event loop with 1,000 notes watched: how often the watcher woke.
void BM_WatcherIdleSecond(benchmark::State& state) {
    Folder folder;
    folder.saveNotes();
    NoteFiles files;
    DataFolderWatcher watcher(files);
    if (!watcher.start())
        std::abort();
    quint64 wakeups = 0;
    for (auto _ : state) {
        const quint64 before = watcher.counters().wakeups;
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        wakeups += watcher.counters().wakeups - before;
    }
    state.counters["wakeups_per_s"] = double(wakeups) / double(state.iterations());
}
BENCHMARK(BM_WatcherIdleSecond)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

// The watcher needs an event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
