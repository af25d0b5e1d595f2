// Finding notes among 1,000 and 10,000 stored notes of about 2 KB of text each, mixed Korean
// and English with some formatting:
// - reading them all into the index: the reader's thread time (the windows never wait for it)
//   for the bodies of the notes the list of stored notes holds, that list being read first as
//   the program's start reads it;
// - the result list for one keystroke: the query, the matching and the list's update (not
//   the window's paint), for each step of typing a Korean and an English query, the
//   syllables being composed included; `worst_ms` is the slowest keystroke;
// - a query of 10,000 characters;
// - the index's memory against the plain text it holds (`index_ratio` as the index counts
//   it, `heap_ratio` as the allocator saw the heap grow).

#include "dialogs/stikko_find.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/noteindex.h"
#include "store/noteindexreader.h"
#include "store/notesearch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <memory>
#include <random>

namespace {

using namespace stikko;

// A data folder of `count` notes.
struct Folder {
    QTemporaryDir dir;
    qint64 textBytes = 0; // UTF-8 bytes of the notes' text

    explicit Folder(int count) {
        const QStringList korean =
            QStringLiteral("회의 결과를 정리하고 다음 주까지 보고서 초안을 작성한다 한글 맞춤법 "
                           "띄어쓰기 장보기 우유 달걀 빵 약속 병원 예약 전화 친구 생일 선물 여행 "
                           "계획 기차표 숙소 프로젝트 일정 마감 검토 디자인 수정 요청 고객 메일 "
                           "답장 월요일 화요일 수요일 목요일 금요일 오전 오후 저녁 점심 회의실")
                .split(u' ');
        const QStringList english =
            QStringLiteral("meeting notes report draft review budget deadline project client email call "
                           "Monday Tuesday Friday lunch dinner shopping milk eggs bread ticket hotel plan "
                           "design update release version server backup password reminder")
                .split(u' ');
        std::mt19937 random(20240624);
        const QString data = dir.path() + QStringLiteral("/data/");
        QDir().mkpath(data);
        for (int i = 0; i < count; ++i) {
            const QString id = QStringLiteral("2024%1_%2_00")
                                   .arg(1000 + i / 10000, 4, 10, QLatin1Char('0'))
                                   .arg(i % 1000000, 6, 10, QLatin1Char('0'));
            QStringList lines;
            qint64 bytes = 0;
            while (bytes < 2048) {
                QStringList words;
                for (int w = 0; w < 9; ++w) {
                    const QStringList& from = random() % 3 == 0 ? english : korean;
                    words << from[qsizetype(random() % std::uint32_t(from.size()))];
                }
                lines << words.join(u' ');
                bytes += lines.last().toUtf8().size() + 1;
            }
            textBytes += bytes;
            QByteArray rtf = "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset129 "
                             "\\'b1\\'bc\\'b8\\'b2\\'c3\\'bc;}}\\f0\\fs18 ";
            for (qsizetype l = 0; l < lines.size(); ++l) {
                if (l % 4 == 2)
                    rtf += "\\b ";
                for (const char c : cp949::encode(lines[l])) {
                    const auto byte = static_cast<unsigned char>(c);
                    rtf += byte < 0x80 ? QByteArray(1, c) : "\\'" + QByteArray::number(byte, 16);
                }
                rtf += l % 4 == 2 ? "\\b0\\par " : "\\par ";
            }
            rtf += "}";
            const QByteArray record = "[VALUE_SECTION]\r\ntitle=" + cp949::encode(lines[1].left(15)) +
                                      "\r\nisshow=" + (i % 5 == 0 ? "1" : "0") + "\r\n";
            QFile body(data + id + QStringLiteral(".rtf"));
            QFile ini(data + id + QStringLiteral(".ini"));
            if (!body.open(QIODevice::WriteOnly) || body.write(rtf) != rtf.size() ||
                !ini.open(QIODevice::WriteOnly) || ini.write(record) != record.size())
                std::abort();
        }
    }
    QString dataDir() const { return dir.path() + QStringLiteral("/data/"); }
    QString programDir() const { return dir.path() + QStringLiteral("/"); }
};

Folder& folder(int count) {
    static std::map<int, std::unique_ptr<Folder>> folders;
    auto& made = folders[count];
    if (!made)
        made = std::make_unique<Folder>(count);
    return *made;
}

// The folder's notes as the program's list of stored notes has them once the start read it.
std::vector<IndexedNote> listOf(const Folder& notes) {
    env::setProgramFolder(notes.programDir());
    NoteCatalogue& catalogue = noteFiles().catalogue();
    catalogue.startScan();
    std::vector<IndexedNote> listed;
    for (const NoteFacts& facts : catalogue.notes())
        listed.push_back(NoteIndexReader::noteOf(facts));
    return listed;
}

// Reads the bodies of `listed` into `index` as the program does; the reader's thread time.
std::chrono::nanoseconds readInto(NoteIndex& index, const Folder& notes, std::vector<IndexedNote> listed) {
    NoteIndexReader reader(index, notes.dataDir());
    QEventLoop loop;
    QObject::connect(&reader, &NoteIndexReader::readAllDone, &loop, &QEventLoop::quit);
    reader.readAll(std::move(listed));
    loop.exec();
    return reader.lastReadAllTime();
}

void BM_ReadAllNotes(benchmark::State& state) {
    Folder& notes = folder(int(state.range(0)));
    for (auto _ : state) {
        NoteIndex index;
        const std::chrono::nanoseconds took = readInto(index, notes, listOf(notes));
        if (index.size() != state.range(0))
            std::abort();
        state.SetIterationTime(std::chrono::duration<double>(took).count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadAllNotes)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Typing "한글 메모" on a 2-beolsik keyboard, and "meeting notes", as the field shows it after
// each key.
const QStringList kKeystrokes = {
    u"ㅎ"_qs,       u"하"_qs,        u"한"_qs,         u"한ㄱ"_qs,          u"한그"_qs,      u"한글"_qs,
    u"한글 "_qs,    u"한글 ㅁ"_qs,   u"한글 메"_qs,    u"한글 멤"_qs,       u"한글 메모"_qs, u"m"_qs,
    u"me"_qs,       u"mee"_qs,       u"meet"_qs,       u"meeti"_qs,         u"meetin"_qs,    u"meeting"_qs,
    u"meeting "_qs, u"meeting n"_qs, u"meeting no"_qs, u"meeting notes"_qs, u"ㅎㄱ"_qs,      u"ㅎㄱ ㅁㅁ"_qs,
};

void BM_Keystroke(benchmark::State& state) {
    NoteIndex index;
    Folder& notes = folder(int(state.range(0)));
    readInto(index, notes, listOf(notes));
    FoundNotesModel model;
    double worst = 0, total = 0;
    std::size_t found = 0, keys = 0;
    for (auto _ : state) {
        for (const QString& typed : kKeystrokes) {
            QElapsedTimer timer;
            timer.start();
            const search::Query query(typed);
            model.setNotes(index.search(query));
            found += std::size_t(model.rowCount());
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            worst = std::max(worst, ms);
            total += ms;
            ++keys;
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * kKeystrokes.size());
    state.counters["mean_ms"] = total / double(keys);
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_Keystroke)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LongQuery(benchmark::State& state) {
    NoteIndex index;
    Folder& notes = folder(int(state.range(0)));
    readInto(index, notes, listOf(notes));
    QString typed;
    for (int i = 0; i < 10000; ++i)
        typed += QChar(i % 7 == 6 ? u' ' : char16_t(u'가' + (i * 37) % 11172));
    FoundNotesModel model;
    for (auto _ : state) {
        const search::Query query(typed);
        model.setNotes(index.search(query));
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_LongQuery)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_IndexMemory(benchmark::State& state) {
    Folder& notes = folder(int(state.range(0)));
    for (auto _ : state) {
        std::vector<IndexedNote> listed = listOf(notes); // the list's memory is not the index's
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        auto index = std::make_unique<NoteIndex>();
        readInto(*index, notes, std::move(listed));
        const size_t after = mallinfo2().uordblks;
        const NoteIndex::Memory memory = index->memory();
        state.counters["text_MB"] = double(memory.text) / 1e6;
        state.counters["index_MB"] = double(memory.total) / 1e6;
        state.counters["index_ratio"] = double(memory.total) / double(memory.text);
        state.counters["heap_ratio"] = double(after - before) / double(memory.text);
    }
}
BENCHMARK(BM_IndexMemory)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // The list of stored notes remembers the shown ones in the cache folder: not the user's.
    const QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
