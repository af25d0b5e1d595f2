#pragma once
// An INI file held in memory: read with one parse, queried and changed any number of times,
// written back with one atomic replace. Notes rewrite their whole record often, so a record
// costs one read or one write of its file, never one per key.
//
// Semantics, as note files written on other systems expect them:
// - "[section]" lines and "key=value" lines; blanks around names and values do not count;
//   lines starting with ';' are comments. Sections and keys match without regard to ASCII case.
// - The first of two sections or keys with the same name is the one read and written.
// - A missing key reads as the caller's fallback; so does a value that is not a decimal int32
//   for readInteger.
// - A write replaces the value in place, or appends the key after the last non-blank line of
//   its section, or appends the section at the end of the document.
// - Every line the program does not touch is written back byte for byte: unknown keys and
//   sections, comments, odd lines, a UTF-8 byte-order mark, and each line's own line end.
//   New lines take the document's line end (CRLF if its first line has one, else LF).
// Values are raw bytes (code page 949 for notes); nothing is decoded here.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>

namespace stikko {

class IniFile {
  public:
    // Reads `path`. A missing file is an empty document; so is one that cannot be read, but
    // such a file is never overwritten (save() refuses), so its contents cannot be lost.
    explicit IniFile(const QString& path);
    // A document from bytes, bound to `path` for save().
    static IniFile fromBytes(const QByteArray& bytes, const QString& path = {});

    const QString& path() const { return path_; }
    // The file existed and was read.
    bool existed() const { return existed_; }

    bool hasKey(QByteArrayView section, QByteArrayView key) const;
    QByteArray readString(QByteArrayView section, QByteArrayView key, QByteArrayView fallback = {}) const;
    // The value readString would give, as a view into the document; nothing for a missing key.
    std::optional<QByteArrayView> value(QByteArrayView section, QByteArrayView key) const;
    int32_t readInteger(QByteArrayView section, QByteArrayView key, int32_t fallback) const;

    // Line breaks in a value would end it early and smuggle in new lines; they become blanks.
    void writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value);
    void writeInteger(QByteArrayView section, QByteArrayView key, int32_t value);

    // The document as it would be written.
    QByteArray toBytes() const;
    // True when this document and `other` would be written alike once both had the values of
    // `keys` in `section` emptied, as writeString(section, key, "") empties a key that is
    // there; neither is changed or copied.
    bool sameWithoutValues(const IniFile& other, QByteArrayView section,
                           std::initializer_list<QByteArrayView> keys) const;
    // Replaces the file atomically (temporary file + rename). On failure returns false, leaves
    // the old file as it was and sets errorString(). Never creates folders.
    bool save();
    const QString& errorString() const { return error_; }

    // A decimal 32-bit integer with an optional sign and blanks around it; nothing else.
    static std::optional<int32_t> parseInteger(QByteArrayView text);

    // One value looked up in a document's bytes without parsing the document: `value` is what
    // readString(section, key) would give, or nothing where hasKey would say false.
    struct Lookup {
        QByteArrayView section;
        QByteArrayView key;
        std::optional<QByteArrayView> value; // a view into the bytes
    };
    // Fills every lookup's value in one pass over `bytes`, which stops once each is settled.
    // Safe on any thread. Costs no copy: for the few keys a list of many files needs.
    static void lookUp(QByteArrayView bytes, std::span<Lookup> lookups);

  private:
    enum class Kind : uint8_t { Other, Blank, Section, Key }; // Blank: nothing but blanks
    struct Line {
        QByteArray text; // without its line end
        QByteArray eol;  // "\r\n", "\n", "\r" or empty for a last line without one
        Kind kind = Kind::Other;
        qsizetype nameStart = 0, nameLength = 0;   // section or key name
        qsizetype valueStart = 0, valueLength = 0; // key lines only
    };

    IniFile() = default;
    void parse(const QByteArray& bytes);
    static Line makeLine(QByteArray text, QByteArray eol);
    // Sets `line`'s kind and the places of its name and value in `text`.
    static void classify(QByteArrayView text, Line& line);
    // Index of the header line of the first section named `section`, or -1.
    qsizetype findSection(QByteArrayView section) const;
    static bool isKey(const Line& line, QByteArrayView key);
    // Index of the first line holding `key` in the section, or -1.
    qsizetype findKey(QByteArrayView section, QByteArrayView key) const;
    void insertLine(qsizetype at, QByteArray text);

    QString path_;
    QList<Line> lines_;
    QByteArray bom_;
    QByteArray newline_ = "\n";
    bool existed_ = false;
    bool unreadable_ = false;
    QString error_;
};

} // namespace stikko
