// Finding notes: what a typed query matches (Korean as it is being typed, initial consonants,
// NFC, letter case, several words), and the index that holds every note's text, with what it
// is told by the program and what the reader brings from the files.
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/noteindex.h"
#include "store/noteindexreader.h"
#include "store/notesearch.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace stikko;
using stikko::search::Query;
using stikko::search::Span;

namespace {

QString nfd(const QString& text) {
    return text.normalized(QString::NormalizationForm_D);
}

bool matches(const QString& typed, const QString& text) {
    return Query(typed).matchesAll(search::prepare(text).folded);
}

IndexedNote noteOf(const char* id, const QString& title, const QString& text, qint64 lastChange) {
    IndexedNote note;
    note.id = id;
    note.title = title;
    note.text = text;
    note.lastChange = lastChange;
    return note;
}

QByteArrayList ids(const std::vector<FoundNote>& found) {
    QByteArrayList list;
    for (const FoundNote& note : found)
        list << note.id;
    return list;
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class NoteSearchTest : public QObject {
    Q_OBJECT
  private slots:
    void query_matches_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        const auto row = [](const char* name, const QString& typed, const QString& text, bool found) {
            QTest::newRow(name) << typed << text << found;
        };
        // The last syllable is still being composed: it finds what it can still become.
        row("composing 한그 finds 한글", u"한그"_qs, u"한글 메모"_qs, true);
        row("composing 가 finds 각", u"가"_qs, u"각"_qs, true);
        row("composing 가 finds 간", u"가"_qs, u"시간"_qs, true);
        row("composing 가 finds 갈", u"가"_qs, u"갈비"_qs, true);
        row("composing 가 not 거", u"가"_qs, u"거기"_qs, false);
        row("composing 가 not 까", u"가"_qs, u"까치"_qs, false);
        row("composing 고 finds 과", u"고"_qs, u"과일"_qs, true);
        row("composing 구 finds 귀", u"구"_qs, u"귀"_qs, true);
        row("composing 그 finds 긔", u"그"_qs, u"긔"_qs, true);
        row("composing 갈 finds 갉", u"갈"_qs, u"갉다"_qs, true);
        row("composing 갈 not 감", u"갈"_qs, u"감"_qs, false);
        row("composing 각 finds 갃", u"각"_qs, u"갃"_qs, true);
        row("composing 각 not 갂", u"각"_qs, u"갂"_qs, false);
        row("composing 한ㄱ finds 한글", u"한ㄱ"_qs, u"한글"_qs, true);
        row("ended by a blank 한그 is whole", u"한그 "_qs, u"한글"_qs, false);
        row("only the last syllable composes", u"그한"_qs, u"글한"_qs, false);
        // Never across a syllable's edge.
        row("간 not in 가나", u"간"_qs, u"가나"_qs, false);
        row("한그 not in 하 그", u"한그"_qs, u"하 그"_qs, false);
        // Initial consonants.
        row("ㅎㄱ finds 한글", u"ㅎㄱ"_qs, u"한글"_qs, true);
        row("ㅎㄱ finds 하기", u"ㅎㄱ"_qs, u"하기"_qs, true);
        row("ㅎㄱ finds 화가", u"ㅎㄱ"_qs, u"화가"_qs, true);
        row("ㅎㄱ not 한 글", u"ㅎㄱ"_qs, u"한 글"_qs, false);
        row("ㅎㄱ not 글한", u"ㅎㄱ"_qs, u"글한"_qs, false);
        row("ㄲㄸ finds 꼬떡", u"ㄲㄸ"_qs, u"꼬떡"_qs, true);
        row("ㄱㄷ not 꼬떡", u"ㄱㄷ"_qs, u"꼬떡"_qs, false);
        row("ㅋㅋ finds itself", u"ㅋㅋ"_qs, u"좋아ㅋㅋㅋ"_qs, true);
        row("lone vowel is itself only", u"ㅏ"_qs, u"가"_qs, false);
        // NFC on both sides, Latin letters in either case.
        row("NFD text", u"한글"_qs, nfd(u"오늘의 한글 메모"_qs), true);
        row("NFD text, composing", u"한그"_qs, nfd(u"한글"_qs), true);
        row("NFD query", nfd(u"한글"_qs), u"한글"_qs, true);
        row("case", u"hello"_qs, u"Say HeLLo"_qs, true);
        row("case of the query", u"WORLD"_qs, u"world"_qs, true);
        row("Latin accents in NFD", u"café"_qs, nfd(u"Café au lait"_qs), true);
        // Several words, in any order, each somewhere.
        row("words in any order", u"회의 메모"_qs, u"메모: 회의 결과"_qs, true);
        row("a word missing", u"회의 저녁"_qs, u"메모: 회의 결과"_qs, false);
        row("blanks and controls separate", u"  회의\t\u0001메모 "_qs, u"메모 회의"_qs, true);
        row("emoji", u"😀"_qs, u"오늘 😀 좋아"_qs, true);
        row("emoji not another", u"😀"_qs, u"오늘 😁"_qs, false);
    }
    void query_matches() {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(bool, found);
        QCOMPARE(matches(typed, text), found);
    }

    void query_emptyOrOddInput_neverFails() {
        QVERIFY(Query(u""_qs).isEmpty());
        QVERIFY(Query(u" \t\u0007 "_qs).isEmpty());
        QVERIFY(Query(u" \t "_qs).matchesAll(u"anything"_qs));
        // Words typed twice ask once.
        QCOMPARE(Query(u"a a a b"_qs).wordCount(), 2);
        // A lone surrogate, lone jamo and a very long query only match what they are.
        QVERIFY(!matches(QString(QChar(0xD83D)) + u"x"_qs, u"😀x"_qs));
        QVERIFY(matches(u"ᄒ"_qs, u"ᄒ"_qs));
        QString longQuery;
        for (int i = 0; i < 10000; ++i)
            longQuery += QChar(i % 7 == 6 ? u' ' : char16_t(u'가' + i % 500));
        QVERIFY(!matches(longQuery, u"짧은 메모"_qs));
    }

    void firstMatch_isTheEarliest_inTheTextsOwnPlaces() {
        const Query query(u"회의 메모"_qs);
        QCOMPARE(query.firstMatch(search::prepare(u"오늘 메모: 회의"_qs).folded), (Span{3, 2}));
        // In text that is not NFC the span covers the decomposed letters of the match.
        const QString decomposed = nfd(u"가나 한글"_qs);
        QCOMPARE(decomposed.size(), 11);
        QCOMPARE(Query(u"한글"_qs).firstMatchIn(decomposed), (Span{5, 6}));
        QCOMPARE(Query(u"나"_qs).firstMatchIn(u"가나"_qs), (Span{1, 1}));
        QVERIFY(!Query(u"없음"_qs).firstMatchIn(decomposed));
    }

    void index_ordersTitleMatchesFirst_thenNewest() {
        NoteIndex index;
        index.put(noteOf("a", u"장보기"_qs, u"우유와 회의 준비"_qs, 300));
        index.put(noteOf("b", u"회의록"_qs, u"결정 사항"_qs, 100));
        index.put(noteOf("c", u"할 일"_qs, u"회의실 예약"_qs, 200));
        index.put(noteOf("d", u"기타"_qs, u"아무것도"_qs, 400));
        QCOMPARE(ids(index.search(Query(u"회의"_qs))), (QByteArrayList{"b", "a", "c"}));
        QCOMPARE(ids(index.search(Query())), (QByteArrayList{"d", "a", "c", "b"}));
        const std::vector<FoundNote> found = index.search(Query(u"준비 우유"_qs));
        QCOMPARE(found.size(), 1u);
        QCOMPARE(found[0].match, (Span{0, 2}));
        QVERIFY(!found[0].inTitle);
        // A word in the title and another in the text: found, not as a title match.
        QCOMPARE(ids(index.search(Query(u"회의록 결정"_qs))), (QByteArrayList{"b"}));
        QVERIFY(!index.search(Query(u"회의록 결정"_qs))[0].inTitle);
        index.remove("b");
        // New title and marks, the text kept.
        IndexedNote facts = noteOf("a", u"장보기 2"_qs, {}, 300);
        facts.hidden = facts.folded = true;
        index.putFacts(facts);
        QCOMPARE(ids(index.search(Query(u"회의"_qs))), (QByteArrayList{"a", "c"}));
        QVERIFY(index.note("a")->hidden && index.note("a")->folded);
        QCOMPARE(index.note("a")->title, u"장보기 2"_qs);
    }

    // What the reader read before the program said something of a note is older: it neither
    // replaces nor brings back what the program said since. Title and marks said since keep
    // the text read.
    void index_readerNeverOverrulesTheProgram() {
        NoteIndex index;
        index.put(noteOf("typed", u"t"_qs, u"새로 친 글"_qs, 1));
        index.put(noteOf("deleted", u"d"_qs, u"지운 메모"_qs, 1));
        const quint64 asked = index.now();
        index.put(noteOf("typed", u"t"_qs, u"더 새로 친 글"_qs, 2));
        index.remove("deleted");
        std::vector<NoteIndex::Entry> read;
        read.push_back(NoteIndex::entryFor(noteOf("typed", u"t"_qs, u"디스크의 옛 글"_qs, 1)));
        read.push_back(NoteIndex::entryFor(noteOf("deleted", u"d"_qs, u"지운 메모"_qs, 1)));
        read.push_back(NoteIndex::entryFor(noteOf("other", u"o"_qs, u"다른 메모"_qs, 1)));
        IndexedNote renamed = noteOf("renamed", u"새 제목"_qs, {}, 5);
        renamed.hidden = true;
        index.putFacts(renamed); // not held yet: listed without text until it is read
        QCOMPARE(ids(index.search(Query(u"새 제목"_qs))), QByteArrayList{"renamed"});
        read.push_back(NoteIndex::entryFor(noteOf("renamed", u"옛 제목"_qs, u"읽은 글"_qs, 1)));
        index.putRead(std::move(read), asked);
        QCOMPARE(index.note("typed")->text, u"더 새로 친 글"_qs);
        QVERIFY(!index.contains("deleted"));
        QVERIFY(index.contains("other"));
        const IndexedNote* both = index.note("renamed");
        QVERIFY(both && both->hidden);
        QCOMPARE(both->text, u"읽은 글"_qs);
        QCOMPARE(both->title, u"새 제목"_qs);
        QCOMPARE(both->lastChange, 5);
        QCOMPARE(ids(index.search(Query(u"새 읽은"_qs))), QByteArrayList{"renamed"});
        // A later read is newer than all of that.
        std::vector<NoteIndex::Entry> later;
        later.push_back(NoteIndex::entryFor(noteOf("typed", u"t"_qs, u"다른 컴퓨터의 글"_qs, 3)));
        index.putRead(std::move(later), index.now());
        QCOMPARE(index.note("typed")->text, u"다른 컴퓨터의 글"_qs);
    }

    // The reader reads the bodies of the notes the list of stored notes holds, with the title
    // and marks that list read from their records; a body it cannot read is listed with a mark
    // and left as it is.
    void reader_readsTheBodiesOfTheListedNotes_andMarksWhatItCannotRead() {
        test::TestEnv env;
        const QString data = env.dataDir();
        QVERIFY(write(data + u"20040201_090503_01.ini"_qs, "[VALUE_SECTION]\ntitle=first\nisshow=0\n"));
        QVERIFY(write(data + u"20040201_090503_01.rtf"_qs,
                      "{\\rtf1\\ansi\\ansicpg949 \\'c7\\'d1\\'b1\\'db\\par Second line\\par}"));
        QVERIFY(write(data + u"20040201_090503_02.ini"_qs, "[VALUE_SECTION]\ntitle=second\nismini=1\n"));
        QVERIFY(QDir(data).mkdir(u"20040201_090503_02.rtf"_qs)); // there, but no file to read
        QVERIFY(write(data + u"20040201_090503_03.ini"_qs, "[VALUE_SECTION]\ntitle=third\n")); // no body
        QVERIFY(write(data + u"20040201_090503_04.rtf"_qs, "{\\rtf1 no record, no note\\par}"));

        NoteCatalogue& catalogue = noteFiles().catalogue();
        catalogue.startScan();
        std::vector<IndexedNote> listed;
        for (const NoteFacts& facts : catalogue.notes())
            listed.push_back(NoteIndexReader::noteOf(facts));
        QCOMPARE(listed.size(), 3u);
        NoteIndex index;
        NoteIndexReader reader(index, data);
        QSignalSpy done(&reader, &NoteIndexReader::readAllDone);
        reader.readAll(std::move(listed));
        QVERIFY(!index.complete());
        QVERIFY(done.wait(5000));
        QVERIFY(index.complete());
        QCOMPARE(index.size(), 3);
        const IndexedNote* first = index.note("20040201_090503_01");
        QVERIFY(first && first->hidden && !first->folded && !first->unreadable);
        QCOMPARE(first->text, u"한글\nSecond line"_qs);
        QCOMPARE(first->title, u"first"_qs);
        const IndexedNote* second = index.note("20040201_090503_02");
        QVERIFY(second && second->unreadable && second->folded && !second->hidden);
        QCOMPARE(second->title, u"second"_qs);
        QVERIFY(QFileInfo(data + u"20040201_090503_02.rtf"_qs).isDir());
        const IndexedNote* third = index.note("20040201_090503_03");
        QVERIFY(third && !third->unreadable && third->text.isEmpty());

        // One note read again once the list has looked at its files.
        QVERIFY(write(data + u"20040201_090503_01.rtf"_qs, "{\\rtf1 changed elsewhere\\par}"));
        catalogue.reread("20040201_090503_01");
        reader.read({NoteIndexReader::noteOf(*catalogue.find("20040201_090503_01"))});
        QTRY_COMPARE(index.note("20040201_090503_01")->text, u"changed elsewhere"_qs);
    }
};

QTEST_MAIN(NoteSearchTest)
#include "notesearch_test.moc"
