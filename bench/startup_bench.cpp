// Start-up with N stored notes: the main form made and every shown note opened, its window
// built, shown and painted once, as the program does when it starts. On the offscreen platform
// (no display server), so this is the program's own share; shared/bench measures the whole,
// side by side with a bare Qt program, on a real X server.
//
// The first start of a folder also writes each record once (the keys the generated files
// lack); the later starts, which find their records complete, are the usual case.

#include "app/stikko_main.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"
#include "store/dm.h"
#include "store/subfunction.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

namespace {

using namespace stikko;

// A program folder with `count` shown notes of four short lines each, 275 x 218 on a grid.
struct Folder : env::Environment {
    QTemporaryDir dir;
    const QDateTime start{QDate(2004, 2, 1), QTime(9, 0)};
    Dialogs dialogs;
    env::Override installed{*this, dialogs};

    QDateTime now() const override { return start; }
    QSize workArea() const override { return {1920, 1050}; }

    explicit Folder(int count) {
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
            r.scr_x = 10 + (i % 6) * 300 + (i / 24) * 12;
            r.scr_y = 10 + (i / 6 % 4) * 240 + (i / 24) * 12;
            r.scr_width = 275;
            r.scr_height = 218;
            r.isshow = 1;
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

void BM_StartWithNotes(benchmark::State& state) {
    const int count = int(state.range(0));
    Folder folder(count);
    for (auto _ : state) {
        auto dm = std::make_unique<TDm>();
        auto form = std::make_unique<TfrmStikko_main>();
        form->FormCreate();
        QCoreApplication::processEvents(); // shown and painted
        if (form->noteList.size() != count)
            std::abort();
        state.PauseTiming();
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dm.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_StartWithNotes)->Arg(50)->Arg(200)->Iterations(4)->Unit(benchmark::kMillisecond);

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
