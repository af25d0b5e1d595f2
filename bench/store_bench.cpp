// Loading, saving and listing 1,000 note files, as at start-up with many notes and when every
// open note writes itself back at the end.

#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"
#include "store/dm.h"
#include "store/subfunction.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
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

} // namespace

BENCHMARK_MAIN();
