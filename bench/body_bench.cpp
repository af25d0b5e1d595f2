// A note with a body of many megabytes, opened, typed into and saved as the program does it, on
// the offscreen platform: how long the program holds its main thread at most (the longest gap
// between the ticks of a 5 ms timer: clicks on the tray and the other notes wait that long) and
// how long the whole takes. And typing into a note with a body of a megabyte: how long a word
// takes from the key to the disk (the most a crash could cost) and how many writes a minute of
// steady typing makes.

#include "app/application.h"
#include "app/stikko_main.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"
#include "store/dm.h"
#include "store/subfunction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace stikko;

// A body of about `megabytes` of RTF: Korean and English words with bold, italic and colour
// changing every few words (many runs: the hard case).
QByteArray body(int megabytes) {
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset129 "
                     "\\'b1\\'bc\\'b8\\'b2\\'c3\\'bc;}}{\\colortbl ;\\red255\\green0\\blue0;}\\f0\\fs18 "
                     "Large note\\par ";
    const QByteArray line =
        "\\'c8\\'b8\\'c0\\'c7 \\b \\'b0\\'e1\\'b0\\'fa\\'b8\\'a6\\b0  Meeting notes and a "
        "list of things \\cf1 to do\\cf0  today \\i (2)\\i0\\par ";
    while (rtf.size() < qsizetype(megabytes) << 20)
        rtf += line;
    return rtf + "}";
}

// A program folder with one shown note whose body is `rtf`.
struct Folder : env::Environment {
    QTemporaryDir dir;
    Dialogs dialogs;
    env::Override installed{*this, dialogs};
    QByteArray id = "20040201_090000_00";

    QSize workArea() const override { return {1920, 1050}; }

    explicit Folder(const QByteArray& rtf) {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        env::setProgramFolder(dir.path());
        if (!QFile::copy(QStringLiteral(STIKKO_SOURCE_DIR "/resources/system/default_config.ini"),
                         dir.path() + QStringLiteral("/system/default_config.ini")))
            std::abort();
        NoteRecord r{};
        InitNoteRecord(r, id.constData());
        r.scr_x = r.scr_y = 100;
        r.scr_width = 400;
        r.scr_height = 300;
        r.isshow = 1;
        if (!SaveNoteRecord(nullptr, r))
            std::abort();
        QFile file(cp949::fieldText(r.doc_name));
        if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size())
            std::abort();
    }
    QString bodyPath() const { return dir.path() + QStringLiteral("/data/") + QLatin1String(id) + ".rtf"; }
};

// Runs the event loop until `done` holds; the longest the main thread was away meanwhile, and
// the whole time, in milliseconds.
struct Stall {
    double longestMs = 0;
    double totalMs = 0;
};
Stall runUntil(const std::function<bool()>& done, const std::function<void()>& start = {}) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    if (start)
        start();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    last = clock.nsecsElapsed();
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return {double(longest) / 1e6, double(clock.nsecsElapsed()) / 1e6};
}

// Opening (the program's start with the note shown) and an autosave of a 50 MB body.
void BM_LargeBody(benchmark::State& state) {
    const int megabytes = int(state.range(0));
    Folder folder(body(megabytes));
    TDm dm;
    Stall load, save;
    double typed = 0;
    for (auto _ : state) {
        auto form = std::make_unique<TfrmStikko_main>();
        TfrmStikko_sub* note = nullptr;
        load = runUntil(
            [&] {
                note = form->noteList.isEmpty() ? nullptr : form->noteList.first();
                return note && !note->bodyPending();
            },
            [&] { form->FormCreate(); });
        if (!note->body()->firstBlock().text().startsWith(QStringLiteral("Large note")))
            std::abort();
        // A word typed where the note shows its text (its top), then written by the autosave:
        // from the word to the file on the disk.
        const qint64 before = QFileInfo(folder.bodyPath()).size();
        QElapsedTimer typing;
        typing.start();
        QTextCursor(note->body()).insertText(QStringLiteral("typed "));
        QCoreApplication::processEvents(); // drawn: the word's cost, not the save's
        typed = double(typing.nsecsElapsed()) / 1e6;
        save = runUntil([&] { return !note->isModified() && QFileInfo(folder.bodyPath()).size() != before; });
        state.SetIterationTime((load.totalMs + save.totalMs) / 1e3);
        form->FormClose();
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["load_ms"] = load.totalMs;
    state.counters["load_stall_ms"] = load.longestMs;
    state.counters["save_ms"] = save.totalMs;
    state.counters["save_stall_ms"] = save.longestMs;
    state.counters["typing_a_word_ms"] = typed;
}
BENCHMARK(BM_LargeBody)->Arg(50)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A word every 150 ms for 10 s into a note with a body of a megabyte: from each key to the
// word on the disk.
void BM_TypingToDisk(benchmark::State& state) {
    Folder folder(body(1));
    TDm dm;
    std::vector<double> delays;
    int writes = 0;
    double seconds = 0;
    for (auto _ : state) {
        auto form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
        TfrmStikko_sub* note = form->noteList.first();
        runUntil([&] { return !note->bodyPending(); });
        NoteEditor* editor = note->editor();
        editor->setFocus();
        editor->moveCursor(QTextCursor::End);
        QElapsedTimer clock;
        clock.start();
        struct Word {
            QString text;
            qint64 typedMs = 0;
            qint64 onDiskMs = -1;
        };
        std::vector<Word> words;
        QDateTime lastWrite = QFileInfo(folder.bodyPath()).lastModified();
        QTimer typer;
        typer.setInterval(150);
        QObject::connect(&typer, &QTimer::timeout, [&] {
            if (clock.elapsed() >= 10000) {
                typer.stop();
                return;
            }
            const QString word = QStringLiteral(" w%1").arg(words.size());
            QTest::keyClicks(editor, word);
            words.push_back({word.trimmed(), clock.elapsed()});
        });
        QTimer poller;
        poller.setInterval(10);
        QObject::connect(&poller, &QTimer::timeout, [&] {
            const QDateTime modified = QFileInfo(folder.bodyPath()).lastModified();
            if (modified == lastWrite)
                return;
            lastWrite = modified;
            ++writes;
            QFile file(folder.bodyPath());
            if (!file.open(QIODevice::ReadOnly))
                return;
            const QByteArray bytes = file.readAll();
            for (Word& word : words) {
                if (word.onDiskMs < 0 && bytes.contains(word.text.toLatin1() + ' '))
                    word.onDiskMs = clock.elapsed();
            }
        });
        typer.start();
        poller.start();
        runUntil([&] { return !typer.isActive() && !note->isModified() && clock.elapsed() > 12000; });
        seconds = double(clock.elapsed()) / 1000;
        for (const Word& word : words) {
            if (word.onDiskMs >= 0)
                delays.push_back(double(word.onDiskMs - word.typedMs));
        }
        form->FormClose();
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::sort(delays.begin(), delays.end());
    state.counters["words_on_disk"] = double(delays.size());
    state.counters["delay_median_ms"] = delays.empty() ? -1 : delays[delays.size() / 2];
    state.counters["delay_max_ms"] = delays.empty() ? -1 : delays.back();
    state.counters["writes_per_min"] = double(writes) * 60 / seconds;
}
BENCHMARK(BM_TypingToDisk)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    tuneHeap(); // as the program does
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
