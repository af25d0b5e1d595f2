#pragma once
// The RTF reader's own parts, shared by its two files: rtfreader.cpp reads the bytes (groups,
// control words, text), rtfparagraphs.cpp puts what they say into the document (runs,
// paragraphs, bullets, fonts and colours). Nothing outside the reader uses this header.

#include "platform/rtf.h"
#include "platform/rtfcharsets.h"

#include <QFont>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace stikko::rtf::detail {

constexpr int kMaxDepth = 4096;            // deeper groups share their parent's state
constexpr std::size_t kMaxWordLength = 32; // longer control words are unknown by definition

enum class Dest : std::uint8_t {
    Body,   // document text
    PnText, // the literal bullet or number before a paragraph (\pntext, \listtext)
    Skip,   // no text and no effect
    FontTable,
    ColorTable,
    ListTable,
    ListOverrides,
    Pn, // paragraph numbering of the enclosing paragraph
};

enum class Numbering : std::uint8_t { None, Bullet, Other };

struct CharProps {
    std::int32_t font = -1; // \f number; -1 until set, meaning \deff
    std::int32_t halfPoints = 24;
    std::int32_t fg = 0; // colour table index, 0 = automatic
    std::int32_t bg = 0;
    std::int8_t vertical = 0; // 0 normal, 1 superscript, 2 subscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool operator==(const CharProps&) const = default;
};

struct CharPropsHash {
    std::size_t operator()(const CharProps& p) const {
        std::size_t h = static_cast<std::uint32_t>(p.font);
        h = h * 31 + static_cast<std::uint32_t>(p.halfPoints);
        h = h * 31 + static_cast<std::uint32_t>(p.fg);
        h = h * 31 + static_cast<std::uint32_t>(p.bg);
        h = h * 31 + static_cast<std::uint8_t>(p.vertical);
        h = h * 31 + static_cast<std::size_t>(p.bold | p.italic << 1 | p.underline << 2 | p.strike << 3);
        return h;
    }
};

struct ParaProps {
    std::int32_t left = 0, first = 0, right = 0, before = 0, after = 0; // twips
    std::int32_t ls = 0, level = 0;
    std::uint8_t align = 0; // 0 left, 1 centre, 2 right, 3 justify
    Numbering pn = Numbering::None;
};

struct State {
    CharProps chr;
    ParaProps para;
    std::int32_t uc = 1;
    Dest dest = Dest::Body;
    Dest uprOuter = Dest::Skip; // where a \ud inside a \upr group sends its text
    bool fresh = false;         // nothing but \* has come since the group's brace
    bool starred = false;       // the group began with \*: its next word must be a known destination
};

struct FontEntry {
    int number = 0;
    int charset = -1;
    int cpg = 0;
    QString name;
};

struct Colour {
    bool automatic = true;
    QRgb rgb = 0;
};

struct Run {
    QString text;
    CharProps props;
};

// Control words the reader acts on. Anything else is ignored (or, after \*, skipped with its group).
enum class Kw : std::uint8_t {
    Unknown,
    SkipDest,
    Fonttbl,
    Colortbl,
    Listtable,
    Listoverridetable,
    Pn,
    Pntext,
    Pntxt,
    Upr,
    Ud,
    Fldrslt,
    Ansi,
    Mac,
    Pc,
    Pca,
    Ansicpg,
    Deff,
    F,
    Fcharset,
    Cpg,
    Red,
    Green,
    Blue,
    Plain,
    B,
    I,
    Ul,
    Ulnone,
    Strike,
    Fs,
    Cf,
    Cb,
    Super,
    Sub,
    Nosupersub,
    Pard,
    Ql,
    Qc,
    Qr,
    Qj,
    Li,
    Fi,
    Ri,
    Sb,
    Sa,
    Ls,
    Ilvl,
    Pnlvlblt,
    Pnlvlother,
    List,
    Listlevel,
    Levelnfc,
    Listid,
    Listoverride,
    Par,
    Line,
    Tab,
    Cell,
    U,
    Uc,
    Bin,
    Char,
};

struct Keyword {
    Kw kw;
    char16_t ch = 0; // for Kw::Char: the character the word stands for
};

// The control words the reader knows, by name.
const std::unordered_map<std::string_view, Keyword>& keywords();
// True for a word that starts a destination (a group of its own kind of content).
bool isDestination(Kw kw);

inline int clampInt(std::int64_t v, int lo, int hi) {
    return static_cast<int>(std::clamp<std::int64_t>(v, lo, hi));
}

// `text` without the characters the document model must not receive (see rtfreader.cpp).
QString sanitized(QString text);
// Text without RTF markup: CP949 when it reads as such, else UTF-8, else Latin-1.
void readPlain(const QByteArray& bytes, QTextDocument& document);
// Where the RTF group starts, or -1 when the bytes are no RTF.
qsizetype rtfStart(const QByteArray& bytes);

class Reader {
  public:
    explicit Reader(QTextDocument& document) : cursor_(&document) {}

    void run(const char* data, qsizetype size);

  private:
    State& top() { return stack_.back(); }

    qsizetype control(const char* p, qsizetype n, qsizetype i);
    qsizetype controlWord(const char* p, qsizetype n, qsizetype i);
    qsizetype escapedBytes(const char* p, qsizetype n, qsizetype i);
    void word(std::string_view name, bool hasParam, int param);
    // A control word in the group whose state is `state`: its handlers by kind, each true when
    // the word was of its kind.
    struct Word {
        Keyword key;
        State& state;
        Dest dest; // the group's destination when the word came
        bool hasParam;
        int param;
    };
    bool destinationWord(const Word& w);
    bool tableWord(const Word& w);
    bool listWord(const Word& w);
    bool formatWord(const Word& w);
    bool textWord(const Word& w);
    // `escaped`: the byte came as \'hh, so it is never a table's ';' terminator.
    void textBytes(const char* p, qsizetype len, bool escaped = false);
    void textByte(char byte) { textBytes(&byte, 1, true); }
    void textChar(char32_t ch);
    void openGroup();
    void closeGroup();

    // Runs and paragraphs.
    bool begin(Dest sink);
    void decodePending();
    void flushPending();
    void endParagraph();
    void finish();
    bool isBullet(const ParaProps& para) const;
    void emitBlock(const ParaProps& para, bool bullet, const CharProps& mark, const std::vector<Run>& runs);
    const QTextCharFormat& charFormat(const CharProps& props);
    QTextBlockFormat blockFormat(const ParaProps& para, bool bullet) const;

    // Tables.
    void finishFont();
    int codePageOf(int fontNumber);
    const FontEntry* font(int number) const;
    // Drops the cached formats after a table changed. A fresh map, not clear(): clearing keeps
    // the buckets, and clearing a large bucket array again and again would cost quadratic time.
    void resetFormats() {
        if (!formats_.empty())
            formats_ = {};
    }

    QTextCursor cursor_;
    std::vector<State> stack_;
    std::int64_t excessDepth_ = 0; // groups opened beyond kMaxDepth
    std::int64_t skip_ = 0;        // characters still to skip after \uN

    int docCodePage_ = 1252;
    int deff_ = 0;
    detail::Decoders decoders_;

    std::vector<FontEntry> fonts_;
    QHash<int, int> fontIndex_; // \f number -> fonts_ index
    bool fontOpen_ = false;
    FontEntry fontDraft_;
    QByteArray fontBytes_;
    bool cacheValid_ = false; // cachedFont_'s code page is known
    int cachedFont_ = 0;
    int cachedCodePage_ = 0;

    std::vector<Colour> colours_;
    int red_ = -1, green_ = -1, blue_ = -1;

    struct ListDef {
        int id = 0;
        int nfc[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    };
    std::vector<ListDef> lists_;
    int listLevel_ = -1;
    QHash<int, int> listById_; // \listid -> lists_ index
    struct Override {
        int listId = 0, ls = 0;
        bool hasListId = false, hasLs = false;
    };
    Override override_;
    QHash<int, int> listIdByLs_;

    // The run being gathered, then the paragraph's runs.
    bool pendingActive_ = false;
    Dest pendingSink_ = Dest::Body;
    CharProps pendingProps_;
    QByteArray pendingBytes_;
    int pendingCodePage_ = 0;
    QString pendingText_;
    std::vector<Run> bodyRuns_, pnRuns_;

    // Output.
    int blocks_ = 0;
    QTextList* list_ = nullptr;
    std::unordered_map<CharProps, QTextCharFormat, CharPropsHash> formats_;
};

} // namespace stikko::rtf::detail
