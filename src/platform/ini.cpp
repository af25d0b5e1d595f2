#include "platform/ini.h"

#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <iterator>

namespace stikko {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// ASCII-only case folding: bytes of a double-byte character must never be folded.
char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

// [begin, end) of `text` without blanks at either end.
void trimRange(const QByteArray& text, qsizetype& begin, qsizetype& end) {
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
}

bool hasLineBreak(QByteArrayView value) {
    return value.contains('\r') || value.contains('\n');
}

QByteArray singleLine(QByteArrayView value) {
    QByteArray out = value.toByteArray();
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

// "key=value", the key made one line like the value.
QByteArray keyLine(QByteArrayView key, QByteArrayView value) {
    QByteArray line;
    line.reserve(key.size() + 1 + value.size());
    line.append(hasLineBreak(key) ? singleLine(key) : key.toByteArray());
    line.append('=');
    line.append(value);
    return line;
}

// The line ends a document can have, shared by every line instead of one copy per line.
QByteArray sharedEol(QByteArrayView eol) {
    static const QByteArray crlf("\r\n"), lf("\n"), cr("\r");
    if (eol == crlf)
        return crlf;
    if (eol == lf)
        return lf;
    if (eol == cr)
        return cr;
    return {};
}

} // namespace

IniFile::IniFile(const QString& path) : path_(path) {
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly) || QFileInfo(path).isDir()) {
        unreadable_ = true;
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        unreadable_ = true;
        return;
    }
    existed_ = true;
    parse(bytes);
}

IniFile IniFile::fromBytes(const QByteArray& bytes, const QString& path) {
    IniFile ini;
    ini.path_ = path;
    ini.parse(bytes);
    return ini;
}

void IniFile::parse(const QByteArray& bytes) {
    qsizetype pos = 0;
    if (bytes.startsWith(kBom)) {
        bom_ = kBom;
        pos = 3;
    }
    bool newlineKnown = false;
    const qsizetype size = bytes.size();
    lines_.reserve(lines_.size() + bytes.count('\n') + 1);
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        qsizetype next = end;
        if (end < size) {
            next = (bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n') ? end + 2 : end + 1;
        }
        QByteArray eol = sharedEol(QByteArrayView(bytes).sliced(end, next - end));
        if (!newlineKnown && !eol.isEmpty()) {
            newline_ = eol;
            newlineKnown = true;
        }
        lines_.append(makeLine(bytes.mid(pos, end - pos), std::move(eol)));
        pos = next;
    }
}

IniFile::Line IniFile::makeLine(QByteArray text, QByteArray eol) {
    Line line;
    line.text = std::move(text);
    line.eol = std::move(eol);
    const QByteArray& t = line.text;
    qsizetype begin = 0;
    qsizetype end = t.size();
    trimRange(t, begin, end);
    if (begin == end || t[begin] == ';')
        return line;
    if (t[begin] == '[') {
        qsizetype nameBegin = begin + 1;
        qsizetype nameEnd = t.indexOf(']', nameBegin);
        if (nameEnd < 0)
            nameEnd = end;
        trimRange(t, nameBegin, nameEnd);
        line.kind = Kind::Section;
        line.nameStart = nameBegin;
        line.nameLength = nameEnd - nameBegin;
        return line;
    }
    const qsizetype eq = t.indexOf('=', begin);
    if (eq < 0 || eq >= end)
        return line;
    qsizetype keyBegin = begin;
    qsizetype keyEnd = eq;
    trimRange(t, keyBegin, keyEnd);
    qsizetype valueBegin = eq + 1;
    qsizetype valueEnd = end;
    trimRange(t, valueBegin, valueEnd);
    line.kind = Kind::Key;
    line.nameStart = keyBegin;
    line.nameLength = keyEnd - keyBegin;
    line.valueStart = valueBegin;
    line.valueLength = valueEnd - valueBegin;
    return line;
}

qsizetype IniFile::findSection(QByteArrayView section) const {
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section &&
            sameName(QByteArrayView(line.text).sliced(line.nameStart, line.nameLength), section))
            return i;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const {
    qsizetype i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section)
        ++i;
    return i;
}

qsizetype IniFile::findKey(QByteArrayView section, QByteArrayView key) const {
    const qsizetype header = findSection(section);
    if (header < 0)
        return -1;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Key &&
            sameName(QByteArrayView(line.text).sliced(line.nameStart, line.nameLength), key))
            return i;
    }
    return -1;
}

bool IniFile::hasKey(QByteArrayView section, QByteArrayView key) const {
    return findKey(section, key) >= 0;
}

QByteArray IniFile::readString(QByteArrayView section, QByteArrayView key, QByteArrayView fallback) const {
    const qsizetype i = findKey(section, key);
    if (i < 0)
        return fallback.toByteArray();
    const Line& line = lines_[i];
    return line.text.mid(line.valueStart, line.valueLength);
}

int32_t IniFile::readInteger(QByteArrayView section, QByteArrayView key, int32_t fallback) const {
    const qsizetype i = findKey(section, key);
    if (i < 0)
        return fallback;
    const Line& line = lines_[i];
    return parseInteger(QByteArrayView(line.text).sliced(line.valueStart, line.valueLength))
        .value_or(fallback);
}

std::optional<int32_t> IniFile::parseInteger(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
        negative = text[begin] == '-';
        ++begin;
    }
    if (begin == end)
        return std::nullopt;
    // Magnitudes up to 2^31 fit the negative side; stop as soon as a value cannot fit.
    constexpr int64_t kLimit = int64_t{1} << 31;
    int64_t magnitude = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > kLimit)
            return std::nullopt;
    }
    if (!negative && magnitude == kLimit)
        return std::nullopt;
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

void IniFile::insertLine(qsizetype at, QByteArray text) {
    // A last line without a line end needs one before anything can follow it.
    if (at > 0 && lines_[at - 1].eol.isEmpty())
        lines_[at - 1].eol = newline_;
    lines_.insert(at, makeLine(std::move(text), newline_));
}

void IniFile::writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value) {
    // Most writes store what the line already holds (a record written back unchanged); they
    // leave the line alone and copy nothing.
    QByteArray cleaned;
    if (hasLineBreak(value)) {
        cleaned = singleLine(value);
        value = cleaned;
    }
    const QByteArrayView clean = value;
    qsizetype header = findSection(section);
    if (header < 0) {
        insertLine(lines_.size(), '[' + singleLine(section) + ']');
        insertLine(lines_.size(), keyLine(key, clean));
        return;
    }
    const qsizetype end = sectionEnd(header);
    qsizetype lastFilled = header;
    for (qsizetype i = header + 1; i < end; ++i) {
        Line& line = lines_[i];
        if (line.kind == Kind::Key &&
            sameName(QByteArrayView(line.text).sliced(line.nameStart, line.nameLength), key)) {
            // A line that is exactly "name=value" already would be rewritten byte for byte.
            if (line.nameStart == 0 && line.valueStart == line.nameLength + 1 &&
                line.valueStart + line.valueLength == line.text.size() &&
                QByteArrayView(line.text).sliced(line.valueStart) == clean)
                return;
            // Keep the key as the file spells it; only the value changes.
            QByteArray text =
                keyLine(QByteArrayView(line.text).sliced(line.nameStart, line.nameLength), clean);
            QByteArray eol = std::move(line.eol);
            line = makeLine(std::move(text), std::move(eol));
            return;
        }
        qsizetype b = 0;
        qsizetype e = line.text.size();
        trimRange(line.text, b, e);
        if (b < e)
            lastFilled = i;
    }
    insertLine(lastFilled + 1, keyLine(key, clean));
}

void IniFile::writeInteger(QByteArrayView section, QByteArrayView key, int32_t value) {
    char digits[16];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    writeString(section, key, QByteArrayView(digits, end - digits));
}

QByteArray IniFile::toBytes() const {
    qsizetype size = bom_.size();
    for (const Line& line : lines_)
        size += line.text.size() + line.eol.size();
    QByteArray out;
    out.reserve(size);
    out += bom_;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

bool IniFile::save() {
    error_.clear();
    if (unreadable_) {
        error_ = QStringLiteral("%1 exists but could not be read; not overwriting it").arg(path_);
        return false;
    }
    if (!writeFileAtomically(path_, toBytes(), &error_))
        return false;
    existed_ = true;
    return true;
}

} // namespace stikko
