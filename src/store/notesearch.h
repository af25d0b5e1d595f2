#pragma once
// How a typed query finds notes: pure text logic, no files and no widgets.
//
// A query is split into words at blanks; a note matches when every word occurs in it, in any
// order. Both sides are compared in Unicode NFC (text pasted in decomposed form finds what is
// typed) and with letter case folded. Two things follow how Korean is typed:
// - the last syllable of a query that does not end in a blank is still being composed, so it
//   matches every syllable it can still become (그 finds 글, 고 finds 과, 갈 finds 갉);
// - a word of initial consonants only (ㅎㄱ, as a keyboard gives them) matches syllables by
//   their initial consonants (한글, 하기), as well as those letters themselves.
// A word never matches across a syllable's edge: 간 is not found in 가나.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <vector>

namespace stikko::search {

// Text made ready for matching: `text` in NFC, `folded` the same with letter case folded,
// character for character (the same length, so a place in one is the same place in the other).
// `folded` shares `text`'s storage when folding changes nothing.
struct Prepared {
    QString text;
    QString folded;
};
Prepared prepare(const QString& text);

struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const Span&, const Span&) = default;
};

class Query {
  public:
    Query() = default;
    // `typed` as the field shows it, the syllable being composed included.
    explicit Query(QStringView typed);

    // No word at all: every note matches.
    bool isEmpty() const { return words_.empty(); }
    qsizetype wordCount() const { return qsizetype(words_.size()); }

    // True when every word occurs in `folded` (a Prepared::folded).
    bool matchesAll(QStringView folded) const;
    // True when every word occurs in one of the two.
    bool matchesAll(QStringView first, QStringView second) const;
    // The earliest place in `folded` where one of the words occurs; nothing when none does.
    std::optional<Span> firstMatch(QStringView folded) const;
    // The same in any text (a note's body as its editor holds it, NFC or not): the span is in
    // `text`'s own positions.
    std::optional<Span> firstMatchIn(const QString& text) const;

  private:
    // What one character of a word matches: up to two ranges of UTF-16 units.
    struct Unit {
        char16_t low[2] = {0, 0};
        char16_t span[2] = {0, 0}; // the range is low .. low + span
        std::uint8_t count = 0;
        bool literal() const { return count == 1 && span[0] == 0; }
        bool matches(char16_t c) const {
            for (std::uint8_t i = 0; i < count; ++i)
                if (char16_t(c - low[i]) <= span[i])
                    return true;
            return false;
        }
    };
    struct Word {
        std::vector<Unit> units;
        // The longest run of literal units, found with a fast substring search.
        QString anchor;
        qsizetype anchorAt = 0;
    };
    static Word compile(QStringView word, bool composing);
    // Where `word` first occurs in `text` at `from` or later, or -1.
    static qsizetype find(const Word& word, QStringView text, qsizetype from = 0);

    std::vector<Word> words_;
};

} // namespace stikko::search
