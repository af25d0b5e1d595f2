#include "store/subfunction.h"

#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "store/notefiles.h"

#include <QDir>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <optional>

namespace stikko {
namespace {

constexpr char kValue[] = "VALUE_SECTION";
constexpr char kColor[] = "VALUE_COLOR_SECTION";
constexpr char kAlarm[] = "VALUE_ALRAM_SECTION";

// Where a key's value comes from when the file does not have it.
enum class Fallback { NotRead, Defaults, Empty, Zero, One, WorkAreaX, WorkAreaY, SoundFile, Today, Now };

struct KeyDef {
    const char* section;
    const char* key;
    bool text;
    std::size_t offset;
    std::size_t size;
    Fallback fallback;
    bool noteFileOnly; // one of the alarm keys, written only into a note's own file
};

#define STIKKO_KEY(section, field, text, fallback, noteOnly)                                                 \
    KeyDef {                                                                                                 \
        section, #field, text, offsetof(NoteRecord, field), sizeof(NoteRecord::field), fallback, noteOnly    \
    }
#define TEXT_KEY(section, field, fallback) STIKKO_KEY(section, field, true, Fallback::fallback, false)
#define INT_KEY(section, field, fallback) STIKKO_KEY(section, field, false, Fallback::fallback, false)
#define ALARM_TEXT_KEY(field, fallback) STIKKO_KEY(kAlarm, field, true, Fallback::fallback, true)
#define ALARM_INT_KEY(field, fallback) STIKKO_KEY(kAlarm, field, false, Fallback::fallback, true)

// The order in which a new file gets its sections and keys.
const KeyDef kKeys[] = {
    TEXT_KEY(kValue, oid, NotRead),
    TEXT_KEY(kValue, ini_name, NotRead),
    TEXT_KEY(kValue, doc_name, NotRead),
    TEXT_KEY(kValue, title, Defaults),
    TEXT_KEY(kValue, chknext, Empty),
    TEXT_KEY(kValue, chkdate, Empty),
    TEXT_KEY(kValue, chktime, Empty),
    TEXT_KEY(kValue, wdate, Empty),
    TEXT_KEY(kValue, edate, Empty),
    TEXT_KEY(kValue, left_homepage, Defaults),
    TEXT_KEY(kValue, right_homepage, Defaults),
    TEXT_KEY(kValue, right_homepage_image, Defaults),
    TEXT_KEY(kValue, right_homepage_hint, Defaults),
    INT_KEY(kValue, scr_x, WorkAreaX),
    INT_KEY(kValue, scr_y, WorkAreaY),
    INT_KEY(kValue, scr_width, Defaults),
    INT_KEY(kValue, scr_height, Defaults),
    INT_KEY(kValue, chk, Zero),
    INT_KEY(kValue, chkstep, Zero),
    INT_KEY(kValue, soundcht, Zero),
    INT_KEY(kValue, istop, Zero),
    INT_KEY(kValue, isshow, One),
    INT_KEY(kValue, isshow_toolbar, Defaults),
    INT_KEY(kValue, ismini, Zero),
    INT_KEY(kValue, trash, Zero),
    INT_KEY(kColor, title_color, Defaults),
    INT_KEY(kColor, titlebk_color, Defaults),
    INT_KEY(kColor, batang_color, Defaults),
    INT_KEY(kColor, bottom_color, Defaults),
    INT_KEY(kColor, opt_color, Defaults),
    INT_KEY(kAlarm, is_sound, Defaults),
    TEXT_KEY(kAlarm, sound_file, SoundFile),
    ALARM_INT_KEY(isalram, Zero),
    ALARM_INT_KEY(alram_h, Defaults),
    ALARM_INT_KEY(alram_m, Defaults),
    ALARM_INT_KEY(alram_repeat, Defaults),
    ALARM_TEXT_KEY(alram_date, Today),
    ALARM_TEXT_KEY(alram_datetime, Now),
    ALARM_TEXT_KEY(alram_timemode, Defaults),
};
static_assert(std::size(kKeys) == 39, "one key per record field");

#undef ALARM_INT_KEY
#undef ALARM_TEXT_KEY
#undef INT_KEY
#undef TEXT_KEY
#undef STIKKO_KEY

char* textField(NoteRecord& record, const KeyDef& def) {
    return reinterpret_cast<char*>(&record) + def.offset;
}
const char* textField(const NoteRecord& record, const KeyDef& def) {
    return reinterpret_cast<const char*>(&record) + def.offset;
}
int32_t& intField(NoteRecord& record, const KeyDef& def) {
    return *reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&record) + def.offset);
}
int32_t intField(const NoteRecord& record, const KeyDef& def) {
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const char*>(&record) + def.offset, sizeof value);
    return value;
}

QByteArrayView fieldBytes(const NoteRecord& record, const KeyDef& def) {
    return cp949::fieldBytes(textField(record, def), def.size);
}

// A folder as a record stores it, or nothing when the folder has no exact code-page form
// (a path with '?' in place of a character would name another folder).
std::optional<QByteArray> encodedFolder(const QString& folder) {
    QByteArray bytes = cp949::encode(folder);
    if (cp949::decode(bytes) != folder)
        return std::nullopt;
    return bytes;
}

// The "which file" rule shared by loading and saving.
QString resolveFile(const char* name, const NoteRecord& record) {
    if (!name)
        return cp949::fieldText(record.ini_name);
    const QString relative = cp949::decode(QByteArrayView(name, static_cast<qsizetype>(std::strlen(name))));
    if (std::strstr(name, "default"))
        return env::storageFolder() + relative;
    return env::storageFolder() + QLatin1String(kDataFolder) + relative;
}

// A path into a 255-byte field, or an empty field when it would not fit: a cut path would
// name a different file, and an empty one makes loads read fallbacks and saves fail.
template <std::size_t N> void setPathField(char (&field)[N], const QByteArray& path) {
    if (path.size() >= static_cast<qsizetype>(N))
        std::memset(field, 0, N);
    else
        cp949::copyToField(field, path);
}

const NoteRecord* g_defaults = nullptr;

// `now` as "yyyy-MM-dd", with " hh:mm:ss" after it when `withTime`. The digits are put
// directly: the general date formatter costs more than the rest of reading a record.
QByteArray stampText(const QDateTime& now, bool withTime) {
    const QDate date = now.date();
    if (!now.isValid() || date.year() < 1 || date.year() > 9999)
        return now.toString(withTime ? QStringLiteral("yyyy-MM-dd hh:mm:ss") : QStringLiteral("yyyy-MM-dd"))
            .toLatin1();
    const QTime time = now.time();
    char text[] = "0000-00-00 00:00:00";
    const auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = static_cast<char>('0' + value % 10);
    };
    put(0, date.year(), 4);
    put(5, date.month(), 2);
    put(8, date.day(), 2);
    put(11, time.hour(), 2);
    put(14, time.minute(), 2);
    put(17, time.second(), 2);
    return QByteArray(text, withTime ? 19 : 10);
}

} // namespace

QByteArrayView noteId(const NoteRecord& record) {
    return cp949::fieldBytes(record.oid);
}

void SetDefaultsRecord(const NoteRecord* defaults) {
    g_defaults = defaults;
}

const NoteRecord& DefaultsRecord() {
    static const NoteRecord zero{};
    return g_defaults ? *g_defaults : zero;
}

void InitNoteRecord(NoteRecord& record, const char* id) {
    std::memset(&record, 0, sizeof record);
    const QByteArrayView idBytes =
        id ? QByteArrayView(id, static_cast<qsizetype>(std::strlen(id))) : QByteArrayView();
    cp949::copyToField(record.oid, idBytes);
    // The paths are the store's own; a path without an exact code-page form would name
    // another file and is left empty.
    const auto exact = [](const QString& path) {
        QByteArray bytes = cp949::encode(path);
        return cp949::decode(bytes) == path ? bytes : QByteArray();
    };
    setPathField(record.ini_name, exact(noteFiles().recordPath(idBytes)));
    setPathField(record.doc_name, exact(noteFiles().bodyPath(idBytes)));
}

void LoadNoteRecord(NoteRecord& record, const char* source) {
    ReadNoteRecord(record, IniFile(resolveFile(source, record)));
}

namespace {

// What a missing key reads as, worked out when a record first lacks a key (most records have
// them all).
class Fallbacks {
  public:
    // `record` is the record being filled, which may be the defaults record itself: its
    // fallbacks are then copied before any field of it changes.
    explicit Fallbacks(const NoteRecord& record) {
        if (&record == &DefaultsRecord())
            get();
    }
    const Fallbacks& get() const {
        if (!ready_) {
            defaults_ = DefaultsRecord();
            area_ = env::workArea();
            now_ = env::now();
            sound_ = cp949::fieldBytes(defaults_.sound_file).toByteArray();
            if (!sound_.contains(".wav"))
                sound_ =
                    encodedFolder(env::programFolder()).value_or(QByteArray()) + kSoundFolder + "alram.wav";
            ready_ = true;
        }
        return *this;
    }
    const NoteRecord& defaults() const { return get().defaults_; }
    QSize area() const { return get().area_; }
    const QDateTime& now() const { return get().now_; }
    const QByteArray& sound() const { return get().sound_; }

  private:
    mutable bool ready_ = false;
    mutable NoteRecord defaults_{};
    mutable QSize area_;
    mutable QDateTime now_;
    mutable QByteArray sound_;
};

// One field of `record` from the value its file holds for it, or its fallback when it holds none.
void readField(NoteRecord& record, const KeyDef& def, std::optional<QByteArrayView> value,
               const Fallbacks& fallbacks) {
    if (def.text) {
        QByteArray fallback;
        if (!value) {
            switch (def.fallback) {
            case Fallback::Defaults:
                fallback = fieldBytes(fallbacks.defaults(), def).toByteArray();
                break;
            case Fallback::SoundFile:
                fallback = fallbacks.sound();
                break;
            case Fallback::Today:
                fallback = stampText(fallbacks.now(), false);
                break;
            case Fallback::Now:
                fallback = stampText(fallbacks.now(), true);
                break;
            default:
                break;
            }
        }
        cp949::copyToField(textField(record, def), def.size, value ? *value : QByteArrayView(fallback));
        return;
    }
    const std::optional<int32_t> number = value ? IniFile::parseInteger(*value) : std::nullopt;
    if (number) {
        intField(record, def) = *number;
        return;
    }
    int32_t fallback = 0;
    switch (def.fallback) {
    case Fallback::Defaults:
        fallback = intField(fallbacks.defaults(), def);
        break;
    case Fallback::One:
        fallback = 1;
        break;
    case Fallback::WorkAreaX:
        fallback = fallbacks.area().width() - 300;
        break;
    case Fallback::WorkAreaY:
        fallback = fallbacks.area().height() - 200;
        break;
    default:
        break;
    }
    intField(record, def) = fallback;
}

} // namespace

void ReadNoteRecord(NoteRecord& record, const IniFile& ini) {
    const Fallbacks fallbacks(record);
    for (const KeyDef& def : kKeys) {
        if (def.fallback != Fallback::NotRead)
            readField(record, def, ini.value(def.section, def.key), fallbacks);
    }
}

void ReadNoteFields(NoteRecord& record, std::span<const RecordValue> values) {
    const Fallbacks fallbacks(record);
    for (const RecordValue& value : values) {
        const auto def = std::find_if(std::begin(kKeys), std::end(kKeys), [&value](const KeyDef& key) {
            return value.key == QByteArrayView(key.key) && value.section == QByteArrayView(key.section);
        });
        if (def != std::end(kKeys) && def->fallback != Fallback::NotRead)
            readField(record, *def, value.value, fallbacks);
    }
}

bool SaveNoteRecord(const char* target, NoteRecord record) {
    IniFile ini(resolveFile(target, record));
    WriteNoteRecord(ini, record, target == nullptr);
    return ini.save();
}

void WriteNoteRecord(IniFile& ini, const NoteRecord& record, bool ownFile) {
    for (const KeyDef& def : kKeys) {
        if (def.noteFileOnly && !ownFile)
            continue;
        if (def.text)
            ini.writeString(def.section, def.key, fieldBytes(record, def));
        else
            ini.writeInteger(def.section, def.key, intField(record, def));
    }
}

void CopySettings(NoteRecord& to, const NoteRecord& from) {
    to.title_color = from.title_color;
    to.titlebk_color = from.titlebk_color;
    to.batang_color = from.batang_color;
    to.bottom_color = from.bottom_color;
    to.opt_color = from.opt_color;
    to.isshow_toolbar = from.isshow_toolbar;
    to.isalram = from.isalram;
    to.alram_h = from.alram_h;
    to.alram_m = from.alram_m;
    to.alram_repeat = from.alram_repeat;
    std::memcpy(to.alram_date, from.alram_date, sizeof to.alram_date);
    std::memcpy(to.alram_datetime, from.alram_datetime, sizeof to.alram_datetime);
    to.is_sound = from.is_sound;
    std::memcpy(to.sound_file, from.sound_file, sizeof to.sound_file);
}

namespace {
bool sameField(const NoteRecord& a, const NoteRecord& b, const KeyDef& def) {
    return def.text ? fieldBytes(a, def) == fieldBytes(b, def) : intField(a, def) == intField(b, def);
}
} // namespace

bool SameNoteRecord(const NoteRecord& a, const NoteRecord& b) {
    return std::all_of(std::begin(kKeys), std::end(kKeys),
                       [&](const KeyDef& def) { return sameField(a, b, def); });
}

void MergeNoteRecord(NoteRecord& theirs, const NoteRecord& base, const NoteRecord& mine) {
    for (const KeyDef& def : kKeys) {
        if (sameField(base, mine, def))
            continue;
        if (def.text)
            std::memcpy(textField(theirs, def), textField(mine, def), def.size);
        else
            intField(theirs, def) = intField(mine, def);
    }
}

void ListFiles(const QString& folder, const QString& pattern, QStringList& list) {
    list.clear();
    // Name filters match without regard to case, so "X.INI" is a note file too.
    const QStringList names =
        QDir(folder).entryList(QStringList{pattern}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (name.startsWith(u'.') || name.contains(QLatin1String("default"), Qt::CaseSensitive))
            continue;
        list.append(name);
    }
}

const char* TruncateText(const char* text, int limit) {
    static char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    if (!text)
        return buffer;
    const std::size_t room = static_cast<std::size_t>(std::clamp(limit, 0, int(sizeof buffer) - 1));
    // Looking one byte past the limit tells whether the text is longer than it.
    const std::size_t length = strnlen(text, room + 1);
    cp949::copyToField(buffer, room + 1, QByteArrayView(text, static_cast<qsizetype>(length)));

    std::size_t begin = 0;
    std::size_t end = strnlen(buffer, sizeof buffer);
    while (begin < end && static_cast<unsigned char>(buffer[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(buffer[end - 1]) <= 32)
        --end;
    std::memmove(buffer, buffer + begin, end - begin);
    std::memset(buffer + (end - begin), 0, sizeof buffer - (end - begin));
    return buffer;
}

QString NoteTitle(int lineCount, QStringView first, QStringView second) {
    constexpr int kLimit = 30; // bytes of the line's CP949 form
    const QString fallback = QStringLiteral("Orbindo Stikko");
    if (lineCount <= 0)
        return fallback;
    QStringView title = cp949::headWithin(lineCount >= 2 ? second : first, kLimit);
    // Blanks and control characters are the only characters whose CP949 form is a byte <= 32.
    while (!title.isEmpty() && title.front().unicode() <= 32)
        title = title.sliced(1);
    while (!title.isEmpty() && title.back().unicode() <= 32)
        title.chop(1);
    return title.isEmpty() ? fallback : title.toString();
}

QByteArray MakeNoteId(const QDateTime& moment) {
    const QDate date = moment.date();
    const QTime time = moment.time();
    return QString::asprintf("%04d%02d%02d_%02d%02d%02d_%02d", date.year(), date.month(), date.day(),
                             time.hour(), time.minute(), time.second(), time.msec() / 10)
        .toLatin1();
}

} // namespace stikko
