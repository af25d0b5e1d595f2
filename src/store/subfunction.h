#pragma once
// The note store: a note's record in memory and its INI file on disk, the defaults file,
// note ids and paths, and the list of stored notes. Nothing else reads or writes these files.
//
// Texts in a NoteRecord are zero-terminated CP949 byte strings in fixed buffers (capacity
// includes the terminator). Numbers are signed 32-bit; flags hold 0 or 1. Colours are
// 0x00BBGGRR, or 0x800000NN for a system colour, which appears negative in the files.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

namespace stikko {

struct NoteRecord {
    char oid[21];
    char ini_name[255];
    char doc_name[255];
    char chknext[15];
    char chkdate[11];
    char chktime[6];
    char wdate[21];
    char edate[21];
    char title[255];
    char left_homepage[128];
    char right_homepage[128];
    char right_homepage_image[128];
    char right_homepage_hint[128];
    int32_t scr_x;
    int32_t scr_y;
    int32_t scr_width;
    int32_t scr_height;
    int32_t chk;
    int32_t chkstep;
    int32_t soundcht;
    int32_t isalram;
    int32_t istop;
    int32_t isshow;
    int32_t isshow_toolbar;
    int32_t ismini;
    int32_t trash;
    int32_t title_color;
    int32_t titlebk_color;
    int32_t batang_color;
    int32_t bottom_color;
    int32_t opt_color;
    char alram_date[20];
    char alram_datetime[40];
    char alram_timemode[10];
    char sound_file[256];
    int32_t is_sound;
    int32_t alram_h;
    int32_t alram_m;
    int32_t alram_repeat;
};

// The id of the note a record belongs to: its oid field's bytes.
QByteArrayView noteId(const NoteRecord& record);

// Relative parts of the program folder.
inline constexpr char kDataFolder[] = "./data/";
inline constexpr char kSystemFolder[] = "./system/";
inline constexpr char kSoundFolder[] = "./sound/";
inline constexpr char kDefaultsFile[] = "./system/default_config.ini";

// Makes `record` the empty record of note `id`: all zero, then oid, ini_name and doc_name.
void InitNoteRecord(NoteRecord& record, const char* id);

// Fills `record` from an INI file; missing keys take their fallbacks (many from the defaults
// record, see SetDefaultsRecord). `source`: null = the record's own ini_name; a name that
// contains "default" = storage folder (env::storageFolder) + name; anything else = a file in
// the data folder, which is in the storage folder too.
// Leaves oid, ini_name and doc_name alone. Never fails: a missing file gives all fallbacks.
void LoadNoteRecord(NoteRecord& record, const char* source);

// Writes a copy of `record` into an INI file chosen as for LoadNoteRecord. The seven alarm
// keys are written only into a note's own file (null target). Returns false when the file
// could not be written; the old file is then left as it was.
bool SaveNoteRecord(const char* target, NoteRecord record);

// The two halves of LoadNoteRecord and SaveNoteRecord, for a document already in memory:
// fill `record` from `ini` with the fallbacks, and write `record`'s keys into `ini` (the
// alarm keys only when `ownFile`).
class IniFile;
void ReadNoteRecord(NoteRecord& record, const IniFile& ini);
void WriteNoteRecord(IniFile& ini, const NoteRecord& record, bool ownFile);
// The value a record file holds for one of its keys (the program's own section and key names),
// or nothing where it has no such key.
struct RecordValue {
    QByteArrayView section;
    QByteArrayView key;
    std::optional<QByteArrayView> value;
};
// The fields of some keys only, as ReadNoteRecord fills them: each from its value, or its
// fallback where the file has none.
void ReadNoteFields(NoteRecord& record, std::span<const RecordValue> values);

// Copies the settings part of a record (colours, opacity, tool bar, alarm and sound: what the
// settings dialog edits) from `from` into `to`.
void CopySettings(NoteRecord& to, const NoteRecord& from);

// True when two records hold the same values in every field.
bool SameNoteRecord(const NoteRecord& a, const NoteRecord& b);
// Merges a change made here with one made elsewhere: `theirs` (read from the note's file) takes
// from `mine` every field in which `mine` differs from `base` (the record as last written or
// read here). Fields changed on both sides keep this side's value.
void MergeNoteRecord(NoteRecord& theirs, const NoteRecord& base, const NoteRecord& mine);

// Replaces `list` with the names of the plain files in `folder` matching `pattern` ("*.ini"),
// skipping names that begin with '.' or contain "default".
void ListFiles(const QString& folder, const QString& pattern, QStringList& list);

// `text` cut to at most `limit` bytes without splitting a double-byte character, then trimmed
// of bytes <= 32 at both ends. The result lives in one buffer shared by all calls.
const char* TruncateText(const char* text, int limit);

// The title a note's text gives: the second of its lines when it has two or more, else the
// first, cut where TruncateText cuts the line's CP949 form at 30 bytes and trimmed alike;
// "Orbindo Stikko" when nothing is left or there is no line. `lineCount` counts the text's
// paragraphs, less a last one that is empty (a text that ends in a line break has no line
// after it: a new note's caret line below its date line is no line yet).
// The title is text: a character without a CP949 form ("–", an emoji) stays itself, and the
// record keeps the title's CP949 form (cp949::encode), which is what TruncateText gives.
QString NoteTitle(int lineCount, QStringView first, QStringView second);

// The record that LoadNoteRecord takes its fallbacks from (the data module's defaults).
// Null means an all-zero record.
void SetDefaultsRecord(const NoteRecord* defaults);
const NoteRecord& DefaultsRecord();

// A note id made from a moment: "%04d%02d%02d_%02d%02d%02d_%02d" (hundredths last).
QByteArray MakeNoteId(const QDateTime& moment);

} // namespace stikko
