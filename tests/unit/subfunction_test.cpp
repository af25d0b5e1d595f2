#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/rtf.h"
#include "store/dm.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/subfunction.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <sys/stat.h>

using namespace stikko;
using stikko::test::describe;
using stikko::test::fixture;
using stikko::test::TestEnv;

namespace {

constexpr char kId[] = "20040201_090503_07";

template <std::size_t N> void setText(char (&field)[N], QStringView text) {
    cp949::copyToField(field, text);
}

// A defaults record in which every field that serves as a fallback has a value of its own.
NoteRecord sampleDefaults() {
    NoteRecord d;
    std::memset(&d, 0, sizeof d);
    setText(d.title, u"기본 제목");
    setText(d.left_homepage, u"http://left.example/");
    setText(d.right_homepage, u"http://right.example/");
    setText(d.right_homepage_image, u"right.gif");
    setText(d.right_homepage_hint, u"오른쪽");
    d.scr_width = 275;
    d.scr_height = 218;
    d.isshow_toolbar = 1;
    d.title_color = 16777215;
    d.titlebk_color = 5467961;
    d.batang_color = 12382189;
    d.bottom_color = -2147483633; // button face, a system colour
    d.opt_color = 230;
    d.is_sound = 1;
    setText(d.sound_file, u"/usr/share/sounds/bell.wav");
    d.alram_h = 9;
    d.alram_m = 30;
    d.alram_repeat = 5;
    setText(d.alram_timemode, u"AM");
    // Fields that must never leak into a note from the defaults.
    d.chk = d.chkstep = d.soundcht = d.trash = 77;
    d.istop = d.ismini = d.isalram = 1;
    d.isshow = 0;
    d.scr_x = d.scr_y = 12345;
    setText(d.wdate, u"2000-01-01");
    setText(d.alram_date, u"1999-12-31");
    setText(d.alram_datetime, u"1999-12-31 23:59:00");
    return d;
}

// A note in which every field differs from its fallback.
NoteRecord sampleNote() {
    NoteRecord r;
    InitNoteRecord(r, kId);
    setText(r.title, u"장보기 목록");
    setText(r.chknext, u"next");
    setText(r.chkdate, u"2004-02-02");
    setText(r.chktime, u"10:00");
    setText(r.wdate, u"2004-02-01 09:05");
    setText(r.edate, u"2004-02-03 11:00");
    setText(r.left_homepage, u"http://l/");
    setText(r.right_homepage, u"http://r/");
    setText(r.right_homepage_image, u"r.gif");
    setText(r.right_homepage_hint, u"힌트");
    r.scr_x = -40;
    r.scr_y = 600;
    r.scr_width = 300;
    r.scr_height = 250;
    r.chk = 1;
    r.chkstep = 2;
    r.soundcht = 3;
    r.isalram = 1;
    r.istop = 1;
    r.isshow = 0;
    r.isshow_toolbar = 0;
    r.ismini = 1;
    r.trash = 4;
    r.title_color = 255;
    r.titlebk_color = -2147483635;
    r.batang_color = 65280;
    r.bottom_color = 16711680;
    r.opt_color = 128;
    setText(r.alram_date, u"2004-02-05");
    setText(r.alram_datetime, u"2004-02-05 07:30:00");
    setText(r.alram_timemode, u"PM");
    setText(r.sound_file, u"/home/me/알람.wav");
    r.is_sound = 0;
    r.alram_h = 7;
    r.alram_m = 30;
    r.alram_repeat = 10;
    return r;
}

// File bytes with the temporary program folder replaced, so golden files are stable.
QByteArray stable(QByteArray bytes, const TestEnv& env) {
    return bytes.replace(cp949::encode(env.folder()), "<folder>/");
}

QString notePath(const TestEnv& env) {
    return env.dataDir() + kId + QStringLiteral(".ini");
}

const char* const kAlarmKeys[] = {"isalram",    "alram_h",        "alram_m",       "alram_repeat",
                                  "alram_date", "alram_datetime", "alram_timemode"};

} // namespace

class SubfunctionTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void initNoteRecord_buildsIdAndPaths();
    void initNoteRecord_refusesPathsThatDoNotFit();
    void missingFile_takesEveryFallback();
    void soundFallback_onlyFromAWavDefault();
    void saveThenLoad_givesTheSameRecord();
    void newNoteFile_hasTheKnownBytes();
    void defaultsFile_hasNoAlarmKeys();
    void whichFile_ruleByName();
    void loadIntoTheDefaultsRecordItself_keepsMissingKeys();
    void badInput_readsSafelyAndSurvivesASave();
    void oversizedValues_areCutToTheirFields();
    void save_missingDataFolder_failsAndCreatesNothing();
    void save_readOnlyDataFolder_failsAndKeepsOldFile();
    void save_writeFailsHalfway_keepsOldFile();
    void listFiles_onlyNoteFiles();
    void noteFiles_listExactIds_andSayWhatLoadingFound();
    void noteFiles_neverWriteOverWhatTheyCouldNotRead_andTrashWhatTheyRemove();
    void catalogue_saysWhatRecordsReadWholeSay_andFollowsEveryChange();
    void noteFiles_backgroundSave_toldWhileTheyLive_neverOnceGone();
    void truncateText_data();
    void truncateText();
    void truncateText_longTextNeverOverruns();
    void makeNoteId_format();
    void dataModule_loadsAndRegistersDefaults();
    void shippedDefaultsFile_givesUsableNotes();

  private:
    std::unique_ptr<TestEnv> env_;
    NoteRecord defaults_;
};

void SubfunctionTest::init() {
    env_ = std::make_unique<TestEnv>();
    QVERIFY(env_->isValid());
    defaults_ = sampleDefaults();
    SetDefaultsRecord(&defaults_);
}

void SubfunctionTest::cleanup() {
    SetDefaultsRecord(nullptr);
    env_.reset();
}

void SubfunctionTest::initNoteRecord_buildsIdAndPaths() {
    NoteRecord r;
    std::memset(&r, 0x5A, sizeof r);
    InitNoteRecord(r, kId);
    QCOMPARE(QByteArray(r.oid), QByteArray(kId));
    const QByteArray folder = cp949::encode(env_->folder());
    QCOMPARE(QByteArray(r.ini_name), folder + "./data/" + kId + ".ini");
    QCOMPARE(QByteArray(r.doc_name), folder + "./data/" + kId + ".rtf");
    QCOMPARE(r.scr_x, 0);
    QCOMPARE(r.sound_file[0], '\0');
    QCOMPARE(r.alram_repeat, 0);
}

void SubfunctionTest::initNoteRecord_refusesPathsThatDoNotFit() {
    // A cut path would name some other file; an empty one reads fallbacks and never saves.
    env::setProgramFolder(env_->folder() + QString(240, u'd') + u'/');
    NoteRecord r;
    InitNoteRecord(r, kId);
    QCOMPARE(QByteArray(r.oid), QByteArray(kId));
    QCOMPARE(r.ini_name[0], '\0');
    QCOMPARE(r.doc_name[0], '\0');
    LoadNoteRecord(r, nullptr);
    QCOMPARE(r.isshow, 1);
    QVERIFY(!SaveNoteRecord(nullptr, r));
    QCOMPARE(QDir(env_->folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
             3);

    // Likewise a folder with no code-page form: '?' in its place would name another folder.
    env::setProgramFolder(env_->folder() + QStringLiteral("caf\u00E9/"));
    InitNoteRecord(r, kId);
    QCOMPARE(r.ini_name[0], '\0');
    // A Korean folder name is stored in code page 949 and names the same folder again.
    env::setProgramFolder(env_->folder() + QStringLiteral("메모/"));
    InitNoteRecord(r, kId);
    QCOMPARE(cp949::fieldText(r.ini_name), env_->folder() + QStringLiteral("메모/./data/%1.ini").arg(kId));
}

void SubfunctionTest::missingFile_takesEveryFallback() {
    NoteRecord r;
    InitNoteRecord(r, kId);
    LoadNoteRecord(r, nullptr);
    QVERIFY(!QFileInfo::exists(notePath(*env_))); // reading creates nothing

    NoteRecord expected = defaults_;
    std::memcpy(expected.oid, r.oid, sizeof r.oid);
    std::memcpy(expected.ini_name, r.ini_name, sizeof r.ini_name);
    std::memcpy(expected.doc_name, r.doc_name, sizeof r.doc_name);
    expected.scr_x = 1280 - 300;
    expected.scr_y = 770 - 200;
    expected.isshow = 1;
    expected.istop = expected.ismini = expected.isalram = 0;
    expected.chk = expected.chkstep = expected.soundcht = expected.trash = 0;
    for (auto* field : {expected.chknext, expected.chkdate, expected.chktime, expected.wdate, expected.edate})
        field[0] = '\0';
    setText(expected.alram_date, u"2004-02-01");
    setText(expected.alram_datetime, u"2004-02-01 09:05:03");
    QCOMPARE(describe(r), describe(expected));
}

void SubfunctionTest::soundFallback_onlyFromAWavDefault() {
    const QByteArray shipped = cp949::encode(env_->folder()) + "./sound/alram.wav";
    const struct {
        const char* value;
        QByteArray expected;
    } cases[] = {
        {"/music/ring.wav", "/music/ring.wav"},
        {"/music/ring.wav.bak", "/music/ring.wav.bak"}, // ".wav" anywhere will do
        {"/music/ring.mp3", shipped},
        {"/music/RING.WAV", shipped}, // the test is case-sensitive
        {"", shipped},
    };
    for (const auto& c : cases) {
        cp949::copyToField(defaults_.sound_file, QByteArrayView(c.value));
        NoteRecord r;
        InitNoteRecord(r, kId);
        LoadNoteRecord(r, nullptr);
        QCOMPARE(QByteArray(r.sound_file), c.expected);
    }
    // A note's own value wins over any fallback.
    env_->writeFile(QStringLiteral("data/%1.ini").arg(kId), "[VALUE_ALRAM_SECTION]\nsound_file=/x.mp3\n");
    NoteRecord r;
    InitNoteRecord(r, kId);
    LoadNoteRecord(r, nullptr);
    QCOMPARE(QByteArray(r.sound_file), QByteArray("/x.mp3"));
}

void SubfunctionTest::saveThenLoad_givesTheSameRecord() {
    const NoteRecord saved = sampleNote();
    QVERIFY(SaveNoteRecord(nullptr, saved));
    NoteRecord loaded;
    InitNoteRecord(loaded, kId);
    LoadNoteRecord(loaded, nullptr);
    QCOMPARE(describe(loaded), describe(saved));

    // A second save over the file changes nothing.
    const QByteArray first = test::readAll(notePath(*env_));
    QVERIFY(SaveNoteRecord(nullptr, loaded));
    QCOMPARE(test::readAll(notePath(*env_)), first);
}

void SubfunctionTest::newNoteFile_hasTheKnownBytes() {
    QVERIFY(SaveNoteRecord(nullptr, sampleNote()));
    const QByteArray written = test::readAll(notePath(*env_));
    QCOMPARE(stable(written, *env_), fixture("note_new.ini"));
    // The seven alarm keys follow sound_file, in the table's order.
    qsizetype at = written.indexOf("\nsound_file=");
    QVERIFY(at > 0);
    for (const char* key : kAlarmKeys) {
        const qsizetype next = written.indexOf('\n' + QByteArray(key) + '=');
        QVERIFY2(next > at, key);
        at = next;
    }
}

void SubfunctionTest::defaultsFile_hasNoAlarmKeys() {
    // Saving a note's record as the defaults leaves its ids and paths in: only the seven alarm
    // keys are held back.
    QVERIFY(SaveNoteRecord(kDefaultsFile, sampleDefaults()));
    const QByteArray written = env_->readFile(QStringLiteral("system/default_config.ini"));
    QCOMPARE(stable(written, *env_), fixture("defaults_new.ini"));
    for (const char* key : kAlarmKeys)
        QVERIFY2(!written.contains('\n' + QByteArray(key) + '='), key);

    // Over an installed file: its own alarm keys stay as they were, the rest is updated.
    QVERIFY(env_->writeFile(QStringLiteral("system/default_config.ini"), fixture("defaults_installed.ini")));
    NoteRecord d = sampleDefaults();
    d.alram_h = 23;
    QVERIFY(SaveNoteRecord(kDefaultsFile, d));
    const QByteArray over = env_->readFile(QStringLiteral("system/default_config.ini"));
    QCOMPARE(stable(over, *env_), fixture("defaults_installed.saved.ini"));
}

void SubfunctionTest::whichFile_ruleByName() {
    env_->writeFile(QStringLiteral("system/default_config.ini"), "[VALUE_SECTION]\ntitle=defaults\n");
    env_->writeFile(QStringLiteral("data/other.ini"), "[VALUE_SECTION]\ntitle=data\n");
    env_->writeFile(QStringLiteral("my_default.ini"), "[VALUE_SECTION]\ntitle=beside the program\n");
    env_->writeFile(QStringLiteral("data/my_default.ini"), "[VALUE_SECTION]\ntitle=wrong\n");
    env_->writeFile(QStringLiteral("data/%1.ini").arg(kId), "[VALUE_SECTION]\ntitle=own\n");

    const struct {
        const char* name;
        QString title;
    } cases[] = {
        {nullptr, "own"},
        {kDefaultsFile, "defaults"},
        {"other.ini", "data"},
        {"my_default.ini", "beside the program"},        // "default" anywhere: program folder + name
        {"My_Default.ini", QStringLiteral("기본 제목")}, // case-sensitive: a data file, missing here
    };
    for (const auto& c : cases) {
        NoteRecord r;
        InitNoteRecord(r, kId);
        LoadNoteRecord(r, c.name);
        QCOMPARE(cp949::fieldText(r.title), c.title);
    }

    // Saving follows the same rule; only the note's own file gets the alarm keys.
    NoteRecord r = sampleNote();
    QVERIFY(SaveNoteRecord("copy.ini", r));
    const QByteArray copy = env_->readFile(QStringLiteral("data/copy.ini"));
    QVERIFY(copy.contains("\ntitle=" + cp949::encode(u"장보기 목록") + '\n'));
    QVERIFY(!copy.contains("\nalram_h="));
    // The caller's record is left as it was.
    const NoteRecord fresh = sampleNote();
    QCOMPARE(describe(r), describe(fresh));
}

void SubfunctionTest::loadIntoTheDefaultsRecordItself_keepsMissingKeys() {
    env_->writeFile(
        QStringLiteral("system/default_config.ini"),
        "[VALUE_SECTION]\ntitle=Orbindo Stikko\nscr_width=400\n[VALUE_COLOR_SECTION]\nopt_color=200\n");
    NoteRecord& d = defaults_;
    LoadNoteRecord(d, kDefaultsFile);
    QCOMPARE(QByteArray(d.title), QByteArray("Orbindo Stikko"));
    QCOMPARE(d.scr_width, 400);
    QCOMPARE(d.opt_color, 200);
    // Keys the file lacks keep the record's own values...
    QCOMPARE(d.scr_height, 218);
    QCOMPARE(QByteArray(d.left_homepage), QByteArray("http://left.example/"));
    QCOMPARE(QByteArray(d.sound_file), QByteArray("/usr/share/sounds/bell.wav"));
    QCOMPARE(QByteArray(d.alram_timemode), QByteArray("AM"));
    // ...apart from the literal fallbacks.
    QCOMPARE(d.isshow, 1);
    QCOMPARE(d.istop, 0);
    QCOMPARE(d.scr_x, 980);
    QCOMPARE(QByteArray(d.alram_date), QByteArray("2004-02-01"));
}

void SubfunctionTest::badInput_readsSafelyAndSurvivesASave() {
    // A note file as a person or another program might leave it: CRLF, a byte-order mark,
    // keys in another case, duplicates, garbage numbers, NUL and stray bytes, unknown keys.
    const QByteArray bad = fixture("note_bad_input.ini");
    QVERIFY(!bad.isEmpty());
    QVERIFY(env_->writeFile(QStringLiteral("data/%1.ini").arg(kId), bad));
    NoteRecord r;
    InitNoteRecord(r, kId);
    LoadNoteRecord(r, nullptr);
    QCOMPARE(cp949::fieldText(r.title), QStringLiteral("첫 번째")); // first duplicate counts
    QCOMPARE(r.scr_x, 100);                                         // "Scr_X" in another case
    QCOMPARE(r.scr_y, 570);                                         // garbage: fallback
    QCOMPARE(r.scr_width, 275);                                     // 20 digits: fallback
    QCOMPARE(r.scr_height, -7);                                     // blanks and sign
    QCOMPARE(r.isshow, 0);                                          // "[value_section]" twice: first counts
    QCOMPARE(r.opt_color, 230);                                     // "2e2": fallback
    QCOMPARE(r.title_color, -2147483633);
    QCOMPARE(QByteArray(r.chknext), QByteArray("a"));                        // NUL ends a text field
    QCOMPARE(QByteArray(r.right_homepage_hint), QByteArray("\xFF\x80\xB0")); // raw bytes kept
    QCOMPARE(QByteArray(r.alram_timemode), QByteArray("AM"));

    // Saving keeps what the program does not know where it was, and the CRLF line ends.
    QVERIFY(SaveNoteRecord(nullptr, r));
    const QByteArray saved = env_->readFile(QStringLiteral("data/%1.ini").arg(kId));
    QCOMPARE(stable(saved, *env_), fixture("note_bad_input.saved.ini"));
}

void SubfunctionTest::oversizedValues_areCutToTheirFields() {
    const QByteArray syllables = cp949::encode(QString(600, u'가'));
    const QByteArray big(1 << 20, 'w');
    env_->writeFile(QStringLiteral("data/%1.ini").arg(kId),
                    "[VALUE_SECTION]\ntitle=" + syllables + "\nchktime=123456789\nleft_homepage=" + big +
                        "\n[VALUE_ALRAM_SECTION]\nalram_timemode=" + syllables + "\nsound_file=x" +
                        syllables + "\n");
    NoteRecord r;
    InitNoteRecord(r, kId);
    LoadNoteRecord(r, nullptr);
    QCOMPARE(QByteArray(r.title), syllables.left(254)); // 127 whole syllables
    QCOMPARE(QByteArray(r.chktime), QByteArray("12345"));
    QCOMPARE(QByteArray(r.left_homepage), big.left(127));
    QCOMPARE(QByteArray(r.alram_timemode), syllables.left(8));
    QCOMPARE(QByteArray(r.sound_file), "x" + syllables.left(254)); // "x" + 127 syllables = 255
    QVERIFY(cp949::isValid(r.title) && cp949::isValid(r.sound_file));
}

void SubfunctionTest::save_missingDataFolder_failsAndCreatesNothing() {
    QVERIFY(QDir(env_->dataDir()).removeRecursively());
    QVERIFY(!SaveNoteRecord(nullptr, sampleNote()));
    QVERIFY(!QFileInfo::exists(env_->dataDir()));
    QVERIFY(QDir(env_->systemDir()).removeRecursively());
    QVERIFY(!SaveNoteRecord(kDefaultsFile, sampleDefaults()));
    QVERIFY(!QFileInfo::exists(env_->systemDir()));
}

void SubfunctionTest::save_readOnlyDataFolder_failsAndKeepsOldFile() {
    if (test::ignoresFileModes())
        QSKIP("file modes do not bind this user (root); save_writeFailsHalfway covers the failure");
    QVERIFY(SaveNoteRecord(nullptr, sampleNote()));
    const QByteArray old = test::readAll(notePath(*env_));
    QVERIFY(QFile::setPermissions(env_->dataDir(), QFile::ReadOwner | QFile::ExeOwner));
    NoteRecord changed = sampleNote();
    changed.scr_x = 1;
    const bool saved = SaveNoteRecord(nullptr, changed);
    QFile::setPermissions(env_->dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved);
    QCOMPARE(test::readAll(notePath(*env_)), old);
}

void SubfunctionTest::save_writeFailsHalfway_keepsOldFile() {
    QVERIFY(SaveNoteRecord(nullptr, sampleNote()));
    const QByteArray old = test::readAll(notePath(*env_));
    NoteRecord changed = sampleNote();
    changed.scr_x = 1;
    {
        test::FileSizeLimit limit(old.size() / 2);
        QVERIFY(limit.isActive());
        QVERIFY(!SaveNoteRecord(nullptr, changed));
    }
    QCOMPARE(test::readAll(notePath(*env_)), old);
    QCOMPARE(QDir(env_->dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{QString(kId) + ".ini"});
}

void SubfunctionTest::listFiles_onlyNoteFiles() {
    for (const char* name : {"20040101_000000_00.ini", "X.INI", "default_config.ini", "my_default.ini",
                             ".hidden.ini", "20040101_000000_00.rtf", "notes.txt", "Default.ini"})
        QVERIFY(env_->writeFile(QStringLiteral("data/") + name, "[VALUE_SECTION]\n"));
    QVERIFY(QDir(env_->dataDir()).mkdir("y.ini"));
    QVERIFY(QFile::link(env_->dataDir() + "missing", env_->dataDir() + "dangling.ini"));

    QStringList list{"stale entry"};
    ListFiles(env_->dataDir(), QStringLiteral("*.ini"), list);
    list.sort();
    QCOMPARE(list, (QStringList{"20040101_000000_00.ini", "Default.ini", "X.INI"}));

    ListFiles(env_->folder() + "nothing here/", QStringLiteral("*.ini"), list);
    QVERIFY(list.isEmpty());
}

void SubfunctionTest::noteFiles_listExactIds_andSayWhatLoadingFound() {
    for (const char* name : {"20261207_130000_55.ini", "20261207_130000_55-2.ini", "a.ini.old.ini", "X.INI",
                             "b.ini.Xy12AB", "default_config.ini", "c.rtf"})
        QVERIFY(env_->writeFile(QStringLiteral("data/") + name, "[VALUE_SECTION]\ntitle=t\n"));
    QCOMPARE(noteFiles().listIds(), (QByteArrayList{"20261207_130000_55-2", "20261207_130000_55"}));

    // Missing, loaded, unreadable: a folder in the body's place, and a file larger than any body
    // (sparse, so it costs no disk).
    QCOMPARE(noteFiles().loadBody("none").state, FileState::Missing);
    QVERIFY(env_->writeFile(QStringLiteral("data/ok.rtf"), "{\\rtf1 x}"));
    const BodyLoad ok = noteFiles().loadBody("ok");
    QCOMPARE(ok.state, FileState::Loaded);
    QCOMPARE(ok.rtf, QByteArray("{\\rtf1 x}"));
    QVERIFY(QDir().mkpath(env_->dataDir() + QStringLiteral("dir.rtf")));
    QCOMPARE(noteFiles().loadBody("dir").state, FileState::Unreadable);
    QFile big(env_->dataDir() + QStringLiteral("big.rtf"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(rtf::kMaxFileSize + 1));
    big.close();
    QCOMPARE(noteFiles().loadBody("big").state, FileState::Unreadable);

    NoteRecord record;
    InitNoteRecord(record, "20261207_130000_55");
    QCOMPARE(noteFiles().loadRecord(record), FileState::Loaded);
    QCOMPARE(QByteArray(record.title), QByteArray("t"));
    QCOMPARE(noteFiles().recordPath("x"), QString(env_->folder() + QStringLiteral("./data/x.ini")));
}

void SubfunctionTest::noteFiles_neverWriteOverWhatTheyCouldNotRead_andTrashWhatTheyRemove() {
    NoteRecord record = sampleNote();
    QVERIFY(QDir().mkpath(notePath(*env_))); // the record file is there but cannot be read
    QCOMPARE(noteFiles().loadRecord(record), FileState::Unreadable);
    QVERIFY(!noteFiles().saveRecord(record));
    QVERIFY(QFileInfo(notePath(*env_)).isDir());
    QVERIFY(QDir().rmdir(notePath(*env_)));

    // A record file keeps the lines it does not own.
    QVERIFY(env_->writeFile(QStringLiteral("data/%1.ini").arg(kId), "; mine\n[MINE]\nkey=1\n"));
    QVERIFY(noteFiles().saveRecord(record));
    QVERIFY(test::readAll(notePath(*env_)).startsWith("; mine\n[MINE]\nkey=1\n[VALUE_SECTION]"));
    QVERIFY(noteFiles().saveBody(kId, "{\\rtf1 body}"));

    QVERIFY(noteFiles().remove(kId));
    QCOMPARE(QDir(env_->dataDir()).entryList(QDir::Files), QStringList());
    const QString trash = env_->xdgDataDir() + QStringLiteral("Trash/");
    QCOMPARE(test::readAll(trash + QStringLiteral("files/%1.rtf").arg(kId)), QByteArray("{\\rtf1 body}"));
    QVERIFY(QFileInfo::exists(trash + QStringLiteral("info/%1.ini.trashinfo").arg(kId)));
    QVERIFY(noteFiles().remove(kId)); // nothing left to remove is no failure
    QVERIFY(!noteFiles().remove("../x"));
}

void SubfunctionTest::catalogue_saysWhatRecordsReadWholeSay_andFollowsEveryChange() {
    const QByteArray big = QByteArray("[VALUE_SECTION]\ntitle=") + QByteArray(300, 'x') + "\n";
    const QList<std::pair<const char*, QByteArray>> records = {
        {"a1", "[VALUE_SECTION]\ntitle=\xB8\xDE\xB8\xF0\nisshow=1\n[VALUE_ALRAM_SECTION]\nisalram=1\n"
               "alram_datetime=2004-02-05 07:30:00\n"},
        {"B2", "\xEF\xBB\xBF[value_section]\r\nIsShow = 0 \r\nismini=1\r\n"},
        {"c3", "[VALUE_SECTION]\nisshow=yes\n"},                          // not a number: shown
        {"d4", "[VALUE_SECTION]\nisshow=2\n[VALUE_SECTION]\nisshow=0\n"}, // the first section counts
        {"e5", "; only a comment\n"},                                     // every fallback
        {"f6", big},                                                      // a title cut to its field
    };
    for (const auto& [id, bytes] : records)
        QVERIFY(env_->writeFile(QStringLiteral("data/%1.ini").arg(QLatin1String(id)), bytes));
    // A record larger than any body is unreadable (sparse: it costs no disk).
    QFile huge(env_->dataDir() + QStringLiteral("g7.ini"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(rtf::kMaxFileSize + 1));
    huge.close();
    // Records that are no files are never opened: a fifo would block the scan for good.
    QVERIFY(QDir().mkpath(env_->dataDir() + QStringLiteral("dir.ini")));
    QVERIFY(::mkfifo(QFile::encodeName(env_->dataDir() + QStringLiteral("fifo.ini")).constData(), 0600) == 0);
    for (const char* other : {"X.INI", "default_config.ini", ".hidden.ini", "h8.rtf"})
        QVERIFY(env_->writeFile(QStringLiteral("data/") + other, "[VALUE_SECTION]\nisshow=1\n"));

    NoteCatalogue& catalogue = noteFiles().catalogue();
    const NoteCatalogue::Reading scan = catalogue.startScan();
    QVERIFY(!catalogue.complete());
    QCOMPARE(scan.size(), qsizetype(7));
    QByteArrayList ids;
    for (qsizetype i = 0; i < scan.size(); ++i) {
        const NoteFacts facts = scan.at(i);
        ids << facts.id;
        NoteRecord whole;
        InitNoteRecord(whole, facts.id.constData());
        QCOMPARE(facts.readable, noteFiles().loadRecord(whole) == FileState::Loaded);
        QCOMPARE(facts.isshow, whole.isshow);
        QCOMPARE(facts.ismini, whole.ismini);
        QCOMPARE(facts.isalram, whole.isalram);
        QCOMPARE(facts.title, QByteArray(whole.title));
        QCOMPARE(facts.titled, facts.id == "a1" || facts.id == "f6");
        QCOMPARE(facts.alarmMoment, QByteArray(whole.alram_datetime));
    }
    QCOMPARE(ids, noteFiles().listIds());
    QCOMPARE(ids, (QByteArrayList{"a1", "B2", "c3", "d4", "e5", "f6", "g7"}));
    QCOMPARE(catalogue.notes().size(), 7);
    QVERIFY(catalogue.complete());
    QCOMPARE(catalogue.find("B2")->ismini, 1);
    QStringList unusable = catalogue.takeUnusableRecords();
    unusable.sort();
    QCOMPARE(unusable, (QStringList{"dir.ini", "fifo.ini"}));
    QVERIFY(catalogue.takeUnusableRecords().isEmpty()); // told once

    // The program's own writes and removals, and what others did once looked at again.
    QSignalSpy added(&catalogue, &NoteCatalogue::noteAdded);
    QSignalSpy changed(&catalogue, &NoteCatalogue::noteChanged);
    QSignalSpy removed(&catalogue, &NoteCatalogue::noteRemoved);
    NoteRecord note = sampleNote();
    QVERIFY(noteFiles().saveRecord(note));
    QCOMPARE(added.count(), 1);
    QCOMPARE(catalogue.notes().first().id, QByteArray(kId)); // in its place among the others
    note.isshow = note.isshow == 0 ? 1 : 0;
    QVERIFY(noteFiles().saveRecord(note));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(catalogue.find(kId)->isshow, note.isshow);
    QVERIFY(noteFiles().remove("a1"));
    QCOMPARE(removed.count(), 1);
    QVERIFY(!catalogue.find("a1"));
    QVERIFY(env_->writeFile(QStringLiteral("data/B2.ini"), "[VALUE_SECTION]\nisshow=1\ntitle=elsewhere\n"));
    catalogue.reread("B2");
    QCOMPARE(catalogue.find("B2")->title, QByteArray("elsewhere"));
    QVERIFY(QFile::remove(env_->dataDir() + QStringLiteral("c3.ini")));
    QVERIFY(env_->writeFile(QStringLiteral("data/i9.ini"), "[VALUE_SECTION]\nisshow=1\n"));
    catalogue.refresh();
    QVERIFY(!catalogue.find("c3"));
    QVERIFY(catalogue.find("i9"));
    QCOMPARE(added.count(), 2);
    QCOMPARE(removed.count(), 2);

    // The shown ones are remembered for the next start, of this folder only.
    catalogue.rememberShown();
    QByteArrayList shown{"B2", "d4", "e5", "f6", "g7", "i9"};
    if (note.isshow != 0)
        shown.prepend(kId);
    QCOMPARE(catalogue.rememberedShown(), shown);
    const QString remembered = catalogue.rememberedShownPath();
    QVERIFY(remembered.startsWith(env_->xdgCacheDir()));
    QVERIFY(QFile::remove(remembered) && QFile::copy(env_->dataDir() + QStringLiteral("B2.ini"), remembered));
    QVERIFY(catalogue.rememberedShown().isEmpty());

    // The list of one folder is no complete list of another.
    const QTemporaryDir elsewhere;
    env::setProgramFolder(elsewhere.path());
    QVERIFY(!catalogue.complete());
    env::setProgramFolder(env_->folder());
}

// A group of records written on a worker: its word comes back through the event loop while
// the NoteFiles lives, and goes with it when it is destroyed first (the worker has posted it
// by then); nothing runs on what is gone.
void SubfunctionTest::noteFiles_backgroundSave_toldWhileTheyLive_neverOnceGone() {
    const NoteRecord record = sampleNote();
    for (const bool destroyFirst : {false, true}) {
        QFile::remove(notePath(*env_));
        auto files = std::make_unique<NoteFiles>();
        std::vector<NoteFiles::RecordSave> saves{{&record}};
        int told = 0;
        files->saveRecordsInBackground(saves, [&] { ++told; });
        QVERIFY(saves[0].pending);
        if (destroyFirst) {
            files.reset();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            QCOMPARE(told, 0);
            QVERIFY(!QFileInfo::exists(notePath(*env_)));
            continue;
        }
        QTRY_COMPARE(told, 1);
        const std::vector<NoteFiles::RecordResult> results = files->finishRecords();
        QCOMPARE(results.size(), std::size_t(1));
        QVERIFY(results[0].saved);
        QVERIFY(QFileInfo::exists(notePath(*env_)));
    }
}

void SubfunctionTest::truncateText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray three = cp949::encode(u"가나다"); // six bytes, lead bytes at 1, 3, 5
    QTest::newRow("lead byte at the limit") << three << 5 << three.left(4);
    QTest::newRow("trail byte at the limit") << three << 4 << three.left(4);
    QTest::newRow("trail byte in lead range") << ("a" + three) << 4 << ("a" + three.left(2));
    QTest::newRow("single bytes") << QByteArray("abcdefg") << 5 << QByteArray("abcde");
    QTest::newRow("short text only trimmed") << QByteArray(" \t ab c\r\n") << 30 << QByteArray("ab c");
    QTest::newRow("trimmed after the cut") << QByteArray("ab   cdef") << 5 << QByteArray("ab");
    QTest::newRow("control bytes") << QByteArray("\x01\x1F x \x7F") << 30 << QByteArray("x \x7F");
    QTest::newRow("zero limit") << QByteArray("abc") << 0 << QByteArray();
    QTest::newRow("negative limit") << QByteArray("abc") << -3 << QByteArray();
    QTest::newRow("empty") << QByteArray() << 30 << QByteArray();
}

void SubfunctionTest::truncateText() {
    QFETCH(QByteArray, text);
    QFETCH(int, limit);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray(TruncateText(text.constData(), limit)), expected);
}

void SubfunctionTest::truncateText_longTextNeverOverruns() {
    // The shared buffer holds 255 bytes and a terminator, whatever the text and the limit.
    const QByteArray longText = "a" + cp949::encode(QString(1000, u'한'));
    const char* result = TruncateText(longText.constData(), 100000);
    QCOMPARE(QByteArray(result), longText.left(255));
    const QByteArray even = cp949::encode(QString(1000, u'한'));
    QCOMPARE(QByteArray(TruncateText(even.constData(), 100000)), even.left(254));
    QCOMPARE(TruncateText(nullptr, 30)[0], '\0');
}

void SubfunctionTest::makeNoteId_format() {
    QCOMPARE(MakeNoteId(QDateTime(QDate(2004, 2, 1), QTime(9, 5, 3, 70))), QByteArray("20040201_090503_07"));
    QCOMPARE(MakeNoteId(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59, 999))),
             QByteArray("20231231_235959_99"));
    QCOMPARE(MakeNoteId(QDateTime(QDate(2004, 2, 1), QTime(0, 0, 0, 9))), QByteArray("20040201_000000_00"));
}

void SubfunctionTest::dataModule_loadsAndRegistersDefaults() {
    SetDefaultsRecord(nullptr);
    QVERIFY(env_->writeFile(QStringLiteral("system/default_config.ini"), fixture("defaults_installed.ini")));
    QVERIFY(!Dm);
    {
        TDm dm;
        QCOMPARE(Dm, &dm);
        QCOMPARE(&DefaultsRecord(), &dm.defaults);
        QVERIFY(!dm.isplaying);
        QCOMPARE(QByteArray(dm.defaults.title), QByteArray("Orbindo Stikko"));
        QCOMPARE(dm.defaults.scr_width, 275);
        QCOMPARE(dm.defaults.alram_repeat, 5);
        QCOMPARE(dm.defaults.oid[0], '\0');
        QCOMPARE(QByteArray(dm.defaults.sound_file), cp949::encode(env_->folder()) + "./sound/alram.wav");

        // A new note takes its values from the loaded defaults.
        NoteRecord r;
        InitNoteRecord(r, kId);
        LoadNoteRecord(r, nullptr);
        QCOMPARE(r.titlebk_color, 5467961);

        // Reloading clears first: a key gone from the file no longer keeps its old value.
        env_->writeFile(QStringLiteral("system/default_config.ini"), "[VALUE_SECTION]\nscr_width=500\n");
        dm.ReloadDefaults();
        QCOMPARE(dm.defaults.scr_width, 500);
        QCOMPARE(dm.defaults.title[0], '\0');
        QCOMPARE(dm.defaults.titlebk_color, 0);
    }
    QVERIFY(!Dm);
    QCOMPARE(DefaultsRecord().scr_width, 0);
}

void SubfunctionTest::shippedDefaultsFile_givesUsableNotes() {
    // Keys missing from the shipped file read as 0: a note would have no size or be invisible.
    QVERIFY(env_->installDefaultsFile());
    SetDefaultsRecord(nullptr);
    TDm dm;
    const NoteRecord& d = dm.defaults;
    QVERIFY(d.scr_width >= 100 && d.scr_height >= 100);
    QVERIFY(d.opt_color >= 55 && d.opt_color <= 255);
    QVERIFY(d.titlebk_color != d.title_color);
    QVERIFY(d.batang_color != 0 || d.bottom_color != 0);
    QVERIFY(d.alram_repeat > 0);
    QVERIFY(QByteArray(d.sound_file).endsWith("alram.wav"));
    QVERIFY(QFileInfo::exists(QStringLiteral(STIKKO_SOURCE_DIR "/resources/sound/alram.wav")));
    const QByteArray shipped = env_->readFile(QStringLiteral("system/default_config.ini"));
    QVERIFY(shipped.contains("isshow_toolbar="));
}

QTEST_GUILESS_MAIN(SubfunctionTest)
#include "subfunction_test.moc"
