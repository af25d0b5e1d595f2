#include "store/notesearch.h"

#include <QSet>
#include <algorithm>

namespace stikko::search {

namespace {

// Hangul syllables: U+AC00 + (initial * 21 + vowel) * 28 + final.
constexpr char16_t kSyllableFirst = 0xAC00;
constexpr int kVowels = 21;
constexpr int kFinals = 28;
constexpr int kSyllablesPerInitial = kVowels * kFinals; // 588
constexpr int kSyllableCount = 19 * kSyllablesPerInitial;

// The compatibility jamo a keyboard gives for a consonant typed alone (U+3131 ㄱ .. U+314E ㅎ),
// as the initial of a syllable: its index there, or -1 for those that only end one (ㄳ, ㄵ, ...).
constexpr int kCompatFirst = 0x3131;
constexpr int kCompatInitial[] = {
    0, 1, -1, 2,  -1, -1, 3,  4,  5,  -1, -1, -1, -1, -1, -1, -1, // ㄱ ㄲ ㄳ ㄴ ㄵ ㄶ ㄷ ㄸ ㄹ ㄺ .. ㅀ
    6, 7, 8,  -1, 9,  10, 11, 12, 13, 14, 15, 16, 17, 18, // ㅁ ㅂ ㅃ ㅄ ㅅ ㅆ ㅇ ㅈ ㅉ ㅊ ㅋ ㅌ ㅍ ㅎ
};

int initialOf(char16_t c) {
    const int at = int(c) - kCompatFirst;
    return at >= 0 && at < int(std::size(kCompatInitial)) ? kCompatInitial[at] : -1;
}

bool isSyllable(char16_t c) {
    return c >= kSyllableFirst && c < kSyllableFirst + kSyllableCount;
}

// The last vowel a syllable with vowel `v` can still get by one more key: ㅗ becomes ㅘ, ㅙ or
// ㅚ, ㅜ becomes ㅝ, ㅞ or ㅟ, ㅡ becomes ㅢ (those follow it in the table).
int lastVowelFrom(int v) {
    switch (v) {
    case 8: // ㅗ
        return 11;
    case 13: // ㅜ
        return 16;
    case 18: // ㅡ
        return 19;
    default:
        return v;
    }
}

// The finals a syllable ending in `t` can still get: ㄴ becomes ㄵ or ㄶ, ㄹ any of ㄺ .. ㅀ,
// ㅂ becomes ㅄ (those follow it in the table); ㄱ becomes ㄳ, two places on.
int lastFinalFrom(int t) {
    switch (t) {
    case 4: // ㄴ
        return 6;
    case 8: // ㄹ
        return 15;
    case 17: // ㅂ
        return 18;
    default:
        return t;
    }
}

bool isSeparator(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control;
}

// Letter case folded one character at a time, keeping the length: a character whose folded
// form would take another number of UTF-16 units stays as it is.
QString folded(const QString& text) {
    const auto foldOf = [](char32_t c) -> char32_t {
        if (c < 0x80)
            return c >= 'A' && c <= 'Z' ? c + 32 : c;
        const char32_t f = QChar::toCaseFolded(c);
        return QChar::requiresSurrogates(f) == QChar::requiresSurrogates(c) ? f : c;
    };
    const qsizetype n = text.size();
    const auto* in = reinterpret_cast<const char16_t*>(text.utf16());
    qsizetype i = 0;
    // Most notes have few capitals: nothing is copied until the first character that changes.
    for (; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                break;
            continue;
        }
        if (QChar::isSurrogate(c) || foldOf(c) != c)
            break;
    }
    if (i == n)
        return text;
    QString out = text;
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (; i < n; ++i) {
        const char16_t c = o[i];
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(o[i + 1])) {
            const char32_t f = foldOf(QChar::surrogateToUcs4(c, o[i + 1]));
            o[i] = QChar::highSurrogate(f);
            o[i + 1] = QChar::lowSurrogate(f);
            ++i;
        } else if (!QChar::isSurrogate(c)) {
            o[i] = char16_t(foldOf(c));
        }
    }
    return out;
}

// True when normalising may join the character at `i` to the one before it: it combines
// (a mark, a medial or final Hangul jamo) or is the second half of a surrogate pair.
bool joinsPrevious(const QString& text, qsizetype i) {
    const char16_t c = text.at(i).unicode();
    if (QChar::isLowSurrogate(c))
        return true;
    if (c >= 0x1160 && c <= 0x11FF)
        return true;
    char32_t ucs = c;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode()))
        ucs = QChar::surrogateToUcs4(c, text.at(i + 1).unicode());
    return QChar::combiningClass(ucs) != 0 || QChar::isMark(ucs);
}

} // namespace

Prepared prepare(const QString& text) {
    Prepared prepared;
    prepared.text = text.normalized(QString::NormalizationForm_C);
    prepared.folded = folded(prepared.text);
    return prepared;
}

Query::Query(QStringView typed) {
    // The words as typed; the last one is still being composed unless a blank follows it.
    std::vector<QString> typedWords;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= typed.size(); ++i) {
        const bool end = i == typed.size() || isSeparator(typed[i]);
        if (end && start >= 0) {
            typedWords.push_back(typed.mid(start, i - start).toString());
            start = -1;
        } else if (!end && start < 0) {
            start = i;
        }
    }
    const bool composing = !typed.isEmpty() && !isSeparator(typed.back());
    QSet<QString> seen;
    for (std::size_t i = 0; i < typedWords.size(); ++i) {
        const bool last = composing && i + 1 == typedWords.size();
        const QString word = prepare(typedWords[i]).folded;
        // A word typed twice asks nothing more.
        if (!seen.contains(word + QChar(last ? u'1' : u'0'))) {
            seen.insert(word + QChar(last ? u'1' : u'0'));
            words_.push_back(compile(word, last));
        }
    }
    // The longest words first: they rule most notes out soonest.
    std::stable_sort(words_.begin(), words_.end(),
                     [](const Word& a, const Word& b) { return a.units.size() > b.units.size(); });
}

Query::Word Query::compile(QStringView word, bool composing) {
    Word compiled;
    compiled.units.resize(std::size_t(word.size()));
    const auto literal = [](char16_t c) {
        Unit unit;
        unit.low[0] = c;
        unit.count = 1;
        return unit;
    };
    // A consonant alone is itself or any syllable it begins.
    const auto initialOrSyllables = [&literal](char16_t c, int initial) {
        Unit unit = literal(c);
        unit.low[1] = char16_t(kSyllableFirst + initial * kSyllablesPerInitial);
        unit.span[1] = kSyllablesPerInitial - 1;
        unit.count = 2;
        return unit;
    };
    const bool initialsOnly =
        std::all_of(word.begin(), word.end(), [](QChar c) { return initialOf(c.unicode()) >= 0; });
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        compiled.units[std::size_t(i)] = initialsOnly ? initialOrSyllables(c, initialOf(c)) : literal(c);
    }
    if (composing && !initialsOnly && !word.isEmpty()) {
        const char16_t c = word.back().unicode();
        Unit& unit = compiled.units.back();
        if (isSyllable(c)) {
            const int index = c - kSyllableFirst;
            const int initial = index / kSyllablesPerInitial;
            const int vowel = index % kSyllablesPerInitial / kFinals;
            const int final = index % kFinals;
            const int block = kSyllableFirst + (initial * kVowels + vowel) * kFinals;
            if (final == 0) {
                // Any final, and any vowel the one typed can still become.
                unit.span[0] = char16_t((lastVowelFrom(vowel) - vowel) * kFinals + kFinals - 1);
            } else if (final == 1) {
                // ㄱ, or ㄳ.
                unit.low[1] = char16_t(block + 3);
                unit.count = 2;
            } else {
                unit.span[0] = char16_t(lastFinalFrom(final) - final);
            }
        } else if (initialOf(c) >= 0) {
            unit = initialOrSyllables(c, initialOf(c));
        }
    }
    // The longest run of single characters is looked for first.
    qsizetype bestAt = 0, bestLength = 0;
    for (qsizetype i = 0; i < qsizetype(compiled.units.size());) {
        qsizetype j = i;
        while (j < qsizetype(compiled.units.size()) && compiled.units[std::size_t(j)].literal())
            ++j;
        if (j - i > bestLength) {
            bestAt = i;
            bestLength = j - i;
        }
        i = j + 1;
    }
    compiled.anchorAt = bestAt;
    for (qsizetype i = bestAt; i < bestAt + bestLength; ++i)
        compiled.anchor += QChar(compiled.units[std::size_t(i)].low[0]);
    return compiled;
}

qsizetype Query::find(const Word& word, QStringView text, qsizetype from) {
    const qsizetype n = qsizetype(word.units.size());
    const qsizetype last = text.size() - n;
    if (n == 0)
        return from;
    const auto* t = reinterpret_cast<const char16_t*>(text.utf16());
    const auto unitsMatch = [&word, t](qsizetype at, qsizetype begin, qsizetype end) {
        for (qsizetype k = begin; k < end; ++k)
            if (!word.units[std::size_t(k)].matches(t[at + k]))
                return false;
        return true;
    };
    if (!word.anchor.isEmpty()) {
        const qsizetype anchorEnd = word.anchorAt + word.anchor.size();
        for (qsizetype p = from + word.anchorAt;;) {
            p = text.indexOf(word.anchor, p);
            const qsizetype at = p - word.anchorAt;
            if (p < 0 || at > last)
                return -1;
            if (unitsMatch(at, 0, word.anchorAt) && unitsMatch(at, anchorEnd, n))
                return at;
            p += 1;
        }
    }
    const Unit& first = word.units.front();
    for (qsizetype at = from; at <= last; ++at) {
        if (first.matches(t[at]) && unitsMatch(at, 1, n))
            return at;
    }
    return -1;
}

bool Query::matchesAll(QStringView folded) const {
    return std::all_of(words_.begin(), words_.end(),
                       [folded](const Word& w) { return find(w, folded) >= 0; });
}

bool Query::matchesAll(QStringView first, QStringView second) const {
    return std::all_of(words_.begin(), words_.end(), [first, second](const Word& w) {
        return find(w, first) >= 0 || find(w, second) >= 0;
    });
}

std::optional<Span> Query::firstMatch(QStringView folded) const {
    std::optional<Span> best;
    for (const Word& word : words_) {
        const qsizetype at = find(word, folded);
        const qsizetype length = qsizetype(word.units.size());
        if (at >= 0 && (!best || at < best->start || (at == best->start && length > best->length)))
            best = Span{at, length};
    }
    return best;
}

std::optional<Span> Query::firstMatchIn(const QString& text) const {
    const Prepared whole = prepare(text);
    if (whole.text == text)
        return firstMatch(whole.folded);
    // The text is not in NFC: it is normalised a piece at a time (a character and those that
    // join it), remembering where in `text` each piece lies.
    QString normal;
    std::vector<qsizetype> pieceStart, pieceEnd;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype j = i + 1;
        while (j < text.size() && joinsPrevious(text, j))
            ++j;
        const QString piece = text.mid(i, j - i).normalized(QString::NormalizationForm_C);
        normal += piece;
        pieceStart.insert(pieceStart.end(), std::size_t(piece.size()), i);
        pieceEnd.insert(pieceEnd.end(), std::size_t(piece.size()), j);
        i = j;
    }
    const std::optional<Span> found = firstMatch(folded(normal));
    if (!found || found->length == 0)
        return found;
    const qsizetype start = pieceStart[std::size_t(found->start)];
    const qsizetype end = pieceEnd[std::size_t(found->start + found->length - 1)];
    return Span{start, end - start};
}

} // namespace stikko::search
