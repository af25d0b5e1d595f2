#include "platform/ini.h"

#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <vector>

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
    // Files mostly spell names as the program writes them: one plain comparison settles those.
    if (a.isEmpty() || std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.size())) == 0)
        return true;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

// [begin, end) of `text` without blanks at either end.
void trimRange(QByteArrayView text, qsizetype& begin, qsizetype& end) {
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
}

bool hasLineBreak(QByteArrayView value) {
    return std::any_of(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; });
}

QByteArray singleLine(QByteArrayView value) {
    QByteArray out = value.toByteArray();
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

// "key=value", the key made one line like the value (which is one already).
QByteArray keyLine(QByteArrayView key, QByteArrayView value) {
    QByteArray line(key.size() + 1 + value.size(), Qt::Uninitialized);
    char* out = line.data();
    for (const char c : key)
        *out++ = (c == '\r' || c == '\n') ? ' ' : c;
    *out++ = '=';
    if (!value.isEmpty())
        std::memcpy(out, value.data(), static_cast<std::size_t>(value.size()));
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

// The line that starts at `pos`: where its text ends, and where the next line starts (after a
// "\n", "\r" or "\r\n").
std::pair<qsizetype, qsizetype> lineAt(QByteArrayView bytes, qsizetype pos) {
    const qsizetype size = bytes.size();
    qsizetype end = pos;
    while (end < size && bytes[end] != '\n' && bytes[end] != '\r')
        ++end;
    qsizetype next = end;
    if (end < size)
        next = (bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n') ? end + 2 : end + 1;
    return {end, next};
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
    lines_.reserve(lines_.size() + std::count(bytes.begin(), bytes.end(), '\n') + 1);
    while (pos < size) {
        const auto [end, next] = lineAt(bytes, pos);
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
    classify(line.text, line);
    return line;
}

void IniFile::classify(QByteArrayView t, Line& line) {
    qsizetype begin = 0;
    qsizetype end = t.size();
    trimRange(t, begin, end);
    if (begin == end)
        line.kind = Kind::Blank;
    if (begin == end || t[begin] == ';')
        return;
    if (t[begin] == '[') {
        qsizetype nameBegin = begin + 1;
        qsizetype nameEnd = t.indexOf(']', nameBegin);
        if (nameEnd < 0)
            nameEnd = end;
        trimRange(t, nameBegin, nameEnd);
        line.kind = Kind::Section;
        line.nameStart = nameBegin;
        line.nameLength = nameEnd - nameBegin;
        return;
    }
    const qsizetype eq = t.indexOf('=', begin);
    if (eq < 0 || eq >= end)
        return;
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
}

void IniFile::lookUp(QByteArrayView bytes, std::span<Lookup> lookups) {
    // Where each lookup stands: before its section, in the first section of that name (the
    // one read), or past it (later sections of the same name are not read).
    enum class Place : uint8_t { Before, Inside, Past };
    std::vector<Place> places(lookups.size(), Place::Before);
    for (Lookup& lookup : lookups)
        lookup.value.reset();
    std::size_t settled = 0;
    qsizetype pos = bytes.startsWith(kBom) ? 3 : 0;
    while (pos < bytes.size() && settled < lookups.size()) {
        const auto [end, next] = lineAt(bytes, pos);
        const QByteArrayView text = bytes.sliced(pos, end - pos);
        pos = next;
        Line line;
        classify(text, line);
        if (line.kind == Kind::Section) {
            const QByteArrayView name = text.sliced(line.nameStart, line.nameLength);
            for (std::size_t i = 0; i < lookups.size(); ++i) {
                if (places[i] == Place::Inside) {
                    places[i] = Place::Past;
                    if (!lookups[i].value)
                        ++settled;
                } else if (places[i] == Place::Before && sameName(name, lookups[i].section)) {
                    places[i] = Place::Inside;
                }
            }
        } else if (line.kind == Kind::Key) {
            const QByteArrayView name = text.sliced(line.nameStart, line.nameLength);
            for (std::size_t i = 0; i < lookups.size(); ++i) {
                if (places[i] == Place::Inside && !lookups[i].value && name.size() == lookups[i].key.size() &&
                    sameName(name, lookups[i].key)) {
                    lookups[i].value = text.sliced(line.valueStart, line.valueLength);
                    ++settled;
                }
            }
        }
    }
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

bool IniFile::isKey(const Line& line, QByteArrayView key) {
    return line.kind == Kind::Key && line.nameLength == key.size() &&
           sameName(QByteArrayView(line.text).sliced(line.nameStart, line.nameLength), key);
}

qsizetype IniFile::findKey(QByteArrayView section, QByteArrayView key) const {
    const qsizetype header = findSection(section);
    if (header < 0)
        return -1;
    for (qsizetype i = header + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i) {
        if (isKey(lines_[i], key))
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

std::optional<QByteArrayView> IniFile::value(QByteArrayView section, QByteArrayView key) const {
    const qsizetype i = findKey(section, key);
    if (i < 0)
        return std::nullopt;
    const Line& line = lines_[i];
    return QByteArrayView(line.text).sliced(line.valueStart, line.valueLength);
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
    const qsizetype header = findSection(section);
    if (header < 0) {
        insertLine(lines_.size(), '[' + singleLine(section) + ']');
        insertLine(lines_.size(), keyLine(key, clean));
        return;
    }
    // One pass over the section, read-only until the line to change is known (a mutable
    // access per line would check for sharing each time).
    qsizetype lastFilled = header;
    for (qsizetype i = header + 1; i < lines_.size(); ++i) {
        const Line& line = std::as_const(lines_)[i];
        if (line.kind == Kind::Section)
            break;
        if (isKey(line, key)) {
            // A line that is exactly "name=value" already would be rewritten byte for byte.
            if (line.nameStart == 0 && line.valueStart == line.nameLength + 1 &&
                line.valueStart + line.valueLength == line.text.size() &&
                QByteArrayView(line.text).sliced(line.valueStart) == clean)
                return;
            // Keep the key as the file spells it; only the value changes.
            QByteArray text =
                keyLine(QByteArrayView(line.text).sliced(line.nameStart, line.nameLength), clean);
            Line& changed = lines_[i];
            changed = makeLine(std::move(text), std::move(changed.eol));
            return;
        }
        if (line.kind != Kind::Blank)
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
    QByteArray out(size, Qt::Uninitialized);
    char* at = out.data();
    const auto put = [&at](const QByteArray& bytes) {
        if (!bytes.isEmpty()) {
            std::memcpy(at, bytes.constData(), static_cast<std::size_t>(bytes.size()));
            at += bytes.size();
        }
    };
    put(bom_);
    for (const Line& line : lines_) {
        put(line.text);
        put(line.eol);
    }
    return out;
}

bool IniFile::sameWithoutValues(const IniFile& other, QByteArrayView section,
                                std::initializer_list<QByteArrayView> keys) const {
    // Each document as the pieces of its bytes, an emptied key line as its name and '='
    // (what writeString(section, key, "") makes of it), compared piece by piece.
    const auto pieces = [&](const IniFile& ini) {
        std::vector<qsizetype> emptied;
        for (const QByteArrayView key : keys) {
            if (const qsizetype i = ini.findKey(section, key); i >= 0)
                emptied.push_back(i);
        }
        std::vector<QByteArrayView> out;
        out.reserve(static_cast<std::size_t>(ini.lines_.size()) * 2 + 1);
        out.emplace_back(ini.bom_);
        for (qsizetype i = 0; i < ini.lines_.size(); ++i) {
            const Line& line = ini.lines_[i];
            if (std::find(emptied.begin(), emptied.end(), i) != emptied.end()) {
                out.push_back(QByteArrayView(line.text).sliced(line.nameStart, line.nameLength));
                out.emplace_back("=");
            } else {
                out.emplace_back(line.text);
            }
            out.emplace_back(line.eol);
        }
        return out;
    };
    const auto length = [](const std::vector<QByteArrayView>& parts) {
        qsizetype size = 0;
        for (const QByteArrayView part : parts)
            size += part.size();
        return size;
    };
    const std::vector<QByteArrayView> a = pieces(*this);
    const std::vector<QByteArrayView> b = pieces(other);
    if (length(a) != length(b))
        return false;
    // Equal lengths: walk both at once, a piece boundary of either side at a time.
    std::size_t ia = 0, ib = 0;
    qsizetype oa = 0, ob = 0;
    while (ia < a.size() && ib < b.size()) {
        if (oa == a[ia].size()) {
            ++ia;
            oa = 0;
            continue;
        }
        if (ob == b[ib].size()) {
            ++ib;
            ob = 0;
            continue;
        }
        const qsizetype n = std::min(a[ia].size() - oa, b[ib].size() - ob);
        if (a[ia].sliced(oa, n) != b[ib].sliced(ob, n))
            return false;
        oa += n;
        ob += n;
    }
    return true;
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
