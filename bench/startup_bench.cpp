// Start-up with N stored notes of which S are shown: the main form made and every shown note
// opened, its window built, shown and painted once, as the program does when it starts. On the
// offscreen platform (no display server), so this is the program's own share; shared/bench
// measures the whole, side by side with a bare Qt program, on a real X server.
//
// The first start of a folder also writes each record once (the keys the generated files
// lack); the later starts, which find their records complete, are the usual case.
//
// Hidden notes should cost next to nothing: 10,000 stored with 20 shown (spread over the
// folder, so the last shown one is near its end) against the same 20 alone, each after a
// first run in its folder. The two are run in turn, interleaved, and the ratio of their
// medians is reported.

#include "app/stikko_main.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"
#include "store/dm.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace stikko;

// A program folder with `count` notes of four short lines each, 275 x 218 on a grid, of which
// `shown` (spread evenly, the last one last) are shown.
struct Folder : env::Environment {
    QTemporaryDir dir;
    const QDateTime start{QDate(2004, 2, 1), QTime(9, 0)};
    Dialogs dialogs;
    env::Override installed{*this, dialogs};

    QDateTime now() const override { return start; }
    QSize workArea() const override { return {1920, 1050}; }

    explicit Folder(int count, int shown = -1) {
        if (shown < 0)
            shown = count;
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        env::setProgramFolder(dir.path());
        if (!QFile::copy(QStringLiteral(STIKKO_SOURCE_DIR "/resources/system/default_config.ini"),
                         dir.path() + QStringLiteral("/system/default_config.ini")))
            std::abort();
        for (int i = 0; i < count; ++i) {
            NoteRecord r{};
            InitNoteRecord(r, MakeNoteId(start.addMSecs(qint64(i) * 10)).constData());
            cp949::copyToField(r.title, QStringLiteral("Note %1").arg(i + 1));
            // Note i is shown when it is the last of its share of the folder; the k-th shown
            // note stands where note k of a folder of shown notes stands.
            r.isshow = (qint64(i + 1) * shown / count) != (qint64(i) * shown / count) ? 1 : 0;
            const int k = int(qint64(i) * shown / count);
            r.scr_x = 10 + (k % 6) * 300 + (k / 24) * 12;
            r.scr_y = 10 + (k / 6 % 4) * 240 + (k / 24) * 12;
            r.scr_width = 275;
            r.scr_height = 218;
            if (!SaveNoteRecord(nullptr, r))
                std::abort();
            QFile body(cp949::fieldText(r.doc_name));
            const QByteArray text = "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset129 "
                                    "\\'b1\\'bc\\'b8\\'b2\\'c3\\'bc;}}\\f0\\fs18 Note " +
                                    QByteArray::number(i + 1) +
                                    "\\par Buy milk, eggs and bread on the way home.\\par Call Alex before "
                                    "Friday.\\par Meeting at 10:30 in room 4.\\par}";
            if (!body.open(QIODevice::WriteOnly) || body.write(text) != text.size())
                std::abort();
        }
    }
};

// One start in `folder`: milliseconds until its `shown` windows are open, shown and painted.
double startOnce(int shown) {
    QElapsedTimer clock;
    clock.start();
    auto dm = std::make_unique<TDm>();
    auto form = std::make_unique<TfrmStikko_main>();
    form->watchListingDelay = std::chrono::seconds(1); // as the program's start has it
    form->FormCreate();
    QCoreApplication::processEvents(); // shown and painted
    if (form->noteList.size() != shown)
        std::abort();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    form.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dm.reset();
    return ms;
}

void BM_StartWithNotes(benchmark::State& state) {
    const int count = int(state.range(0));
    Folder folder(count);
    for (auto _ : state) {
        state.SetIterationTime(startOnce(count) / 1e3);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_StartWithNotes)
    ->Arg(50)
    ->Arg(200)
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// 20 shown notes among 10,000 stored against the same 20 alone, started in turn.
void BM_ShownAmongManyStored(benchmark::State& state) {
    constexpr int kShown = 20;
    const int stored = int(state.range(0));
    Folder alone(kShown);
    Folder many(stored, kShown);
    std::vector<double> aloneMs, manyMs;
    // The usual start follows an earlier run, which left the notes it showed remembered.
    for (const Folder* folder : {&alone, &many}) {
        env::setProgramFolder(folder->dir.path());
        startOnce(kShown);
        noteFiles().catalogue().notes();
    }
    for (auto _ : state) {
        env::setProgramFolder(alone.dir.path());
        aloneMs.push_back(startOnce(kShown));
        env::setProgramFolder(many.dir.path());
        const double ms = startOnce(kShown);
        manyMs.push_back(ms);
        state.SetIterationTime(ms / 1e3);
    }
    state.counters["alone_ms"] = median(aloneMs);
    state.counters["stored_ms"] = median(manyMs);
    state.counters["ratio"] = median(manyMs) / median(aloneMs);
}
BENCHMARK(BM_ShownAmongManyStored)->Arg(10000)->Iterations(9)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The offscreen platform cannot raise windows, and says so for every note.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
