#pragma once
// The RTF reader's own parts, shared by its files: rtfreader.cpp reads the bytes (groups,
// control words, text), rtfparagraphs.cpp puts what they say into the document (runs,
// paragraphs, lists, fonts and colours), rtfobjects.cpp reads pictures and link fields.
// Nothing outside the reader uses this header.

#include "platform/rtf.h"
#include "platform/rtfcharsets.h"
#include "platform/rtfpicture.h"

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
constexpr qsizetype kMaxNumberText = 16;   // the text before or after a list number
constexpr qsizetype kMaxFieldText = 4096;  // a field's instruction, a link address among it

enum class Dest : std::uint8_t {
    Body,   // document text
    PnText, // the literal bullet or number before a paragraph (\pntext, \listtext)
    Skip,   // no text and no effect
    FontTable,
    ColorTable,
    ListTable,
    ListOverrides,
    Pn,        // paragraph numbering of the enclosing paragraph
    PnBefore,  // the text before a number (\pntxtb)
    PnAfter,   // the text after it (\pntxta)
    LevelText, // a list level's number template (\leveltext)
    Pict,      // picture bytes
    FieldInst, // a field's instruction
};

// Paragraph numbering: none, a bullet, a number the document model shows, or one it cannot
// (its literal text then stays in the paragraph).
enum class Numbering : std::uint8_t { None, Bullet, Number, Other };

// Which kind of characters follows (\loch, \hich, \dbch): the associated character properties
// (\af, \afs, \ab, ...) given under \dbch are those of double-byte text, Korean among it.
enum class Script : std::uint8_t { Unset, Low, High, Double };

// The properties of double-byte text where they differ from the others': -1 (or 0 for the
// size) where they do not.
struct EastAsian {
    std::int32_t font = -1;
    std::int32_t halfPoints = 0;
    std::int8_t bold = -1, italic = -1, underline = -1;
    bool any() const { return font >= 0 || halfPoints > 0 || bold >= 0 || italic >= 0 || underline >= 0; }
    bool operator==(const EastAsian&) const = default;
};

struct CharProps {
    std::int32_t font = -1; // \f number; -1 until set, meaning \deff
    std::int32_t halfPoints = 24;
    std::int32_t fg = 0; // colour table index, 0 = automatic
    std::int32_t bg = 0;
    std::int32_t link = 0;    // 1 + index of the link address; 0 = no link
    std::int8_t vertical = 0; // 0 normal, 1 superscript, 2 subscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    // What kind of text follows and how double-byte text differs; resolved into the plain
    // properties above, character by character, before a run is stored.
    Script script = Script::Unset;
    bool rtl = false; // \rtlch: the associated properties are those of right-to-left text
    EastAsian eastAsian;
    bool operator==(const CharProps&) const = default;
};

struct CharPropsHash {
    std::size_t operator()(const CharProps& p) const {
        std::size_t h = static_cast<std::uint32_t>(p.font);
        h = h * 31 + static_cast<std::uint32_t>(p.halfPoints);
        h = h * 31 + static_cast<std::uint32_t>(p.fg);
        h = h * 31 + static_cast<std::uint32_t>(p.bg);
        h = h * 31 + static_cast<std::uint32_t>(p.link);
        h = h * 31 + static_cast<std::uint8_t>(p.vertical);
        h = h * 31 + static_cast<std::size_t>(p.bold | p.italic << 1 | p.underline << 2 | p.strike << 3);
        return h;
    }
};

// The numbering of a paragraph as \pn gives it.
struct PnProps {
    Numbering kind = Numbering::None;
    QTextListFormat::Style style = QTextListFormat::ListDecimal;
    std::int32_t start = 1;
    bool styleKnown = true; // the style is one the document model shows
    QString before, after;  // \pntxtb, \pntxta
};

struct ParaProps {
    std::int32_t left = 0, first = 0, right = 0, before = 0, after = 0; // twips
    std::int32_t ls = 0, level = 0;
    std::uint8_t align = 0; // 0 left, 1 centre, 2 right, 3 justify
    PnProps pn;
};

// Where a picture group stands: alone, the preferred form of \shppict, or the form beside it
// (\nonshppict) for readers without the other.
enum class PictRole : std::uint8_t { Alone, Preferred, Beside };

struct State {
    CharProps chr;
    ParaProps para;
    std::int32_t uc = 1;
    std::int32_t field = -1; // the field (index) whose group this is in
    Dest dest = Dest::Body;
    Dest outer = Dest::Skip; // where a \ud inside \upr, or an object's \result, sends its text
    PictRole pictRole = PictRole::Alone;
    bool inObject = false; // inside \object, whose \result is what it shows
    bool fresh = false;    // nothing but \* has come since the group's brace
    bool starred = false;  // the group began with \*: its next word must be a known destination
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

// Text in one set of properties, or (`picture` >= 0) one picture.
struct Run {
    QString text;
    CharProps props;
    int picture = -1;
};

// A picture group being read: its form, its sizes and its bytes.
struct PictDraft {
    PictureBlob blob;
    QSizeF goal;            // \picwgoal, \pichgoal in twips
    QSizeF scale{100, 100}; // \picscalex, \picscaley in percent
    PictRole role = PictRole::Alone;
    int nibble = -1; // the first hex digit of a byte, while its second is awaited
    bool broken = false;
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
    Pntxtb,
    Pntxta,
    Upr,
    Ud,
    Fldrslt,
    Fldinst,
    Field,
    Pict,
    Shppict,
    Nonshppict,
    Object,
    Result,
    Leveltext,
    PictWord, // a word of a picture's header (sizes and form)
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
    Loch,
    Hich,
    Dbch,
    Rtlch,
    Ltrch,
    Af,
    Afs,
    Ab,
    Ai,
    Aul,
    Aulnone,
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
    Pnlvlbody,
    Pnlvl,
    Pnlvlother,
    Pnstyle, // a number style of \pn (\pndec, \pnlcltr, ...)
    Pnstart,
    Levelstartat,
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
    char16_t ch = 0; // Kw::Char: the character the word stands for; Kw::Pnstyle: the list
                     // style, negated (0: a style the document model does not have)
};

// The control words the reader knows, by name.
const std::unordered_map<std::string_view, Keyword>& keywords();
// True for a word that starts a destination (a group of its own kind of content).
bool isDestination(Kw kw);

inline int clampInt(std::int64_t v, int lo, int hi) {
    return static_cast<int>(std::clamp<std::int64_t>(v, lo, hi));
}

// The properties without what only says how to read the text (script, associated properties).
inline CharProps plainProps(CharProps props) {
    props.script = Script::Unset;
    props.rtl = false;
    props.eastAsian = EastAsian{};
    return props;
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
        std::string_view name;
    };
    bool destinationWord(const Word& w);
    bool tableWord(const Word& w);
    bool listWord(const Word& w);
    bool formatWord(const Word& w);
    bool scriptWord(const Word& w);
    bool textWord(const Word& w);
    // `escaped`: the byte came as \'hh, so it is never a table's ';' terminator.
    void textBytes(const char* p, qsizetype len, bool escaped = false);
    void textByte(char byte) { textBytes(&byte, 1, true); }
    void textChar(char32_t ch);
    void openGroup();
    void closeGroup();

    // Pictures and fields (rtfobjects.cpp).
    void pictWord(const Word& w);
    void pictHex(const char* p, qsizetype len);
    // Raw picture bytes after \bin; false when the destination takes none.
    bool pictBinary(const char* p, qsizetype len);
    void finishPict();
    void fieldText(QStringView text);
    void fieldResult(State& s);
    void levelText(QStringView text);
    void finishLevelText();

    // Runs and paragraphs.
    bool begin(Dest sink);
    void decodePending();
    void flushPending();
    void storeRun(std::vector<Run>& runs, QString text, const CharProps& props);
    void endParagraph();
    void finish();
    // What numbering a paragraph shows: its kind, and for numbers the list format.
    struct ListInfo {
        Numbering kind = Numbering::None;
        QTextListFormat format;
        int start = 1;
        int ls = 0, level = 0; // the list and level of the list table; ls 0 for \pn numbering
    };
    ListInfo listInfo(const ParaProps& para) const;
    struct OpenList {
        QTextList* list = nullptr;
        int items = 0;
    };
    // Where a numbered paragraph's list is kept (`open`: a list to join, or an empty slot for
    // a new one); false when its number cannot be shown as a list item.
    bool placeNumbered(const ListInfo& info, OpenList** open);
    void emitBlock(const ParaProps& para, const ListInfo& list, const CharProps& mark,
                   const std::vector<Run>& runs);
    const QTextCharFormat& charFormat(const CharProps& props);
    QTextBlockFormat blockFormat(const ParaProps& para, bool listItem) const;
    int codePageOfText(const CharProps& props);

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

    struct ListLevel {
        int nfc = -1;
        int start = 1;
        QString prefix, suffix;
        bool template_ = true; // the number template has one number, of this level
    };
    struct ListDef {
        int id = 0;
        ListLevel levels[9];
    };
    std::vector<ListDef> lists_;
    int listLevel_ = -1;
    QString levelText_;
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

    // Pictures and fields.
    PictDraft pict_;
    std::vector<Picture> pictures_;
    std::vector<QString> fields_;   // the instructions of the fields read so far
    std::vector<QString> links_;    // link addresses, for CharProps::link
    bool pictAwaitsBeside_ = false; // the last run is a preferred picture the next \nonshppict may complete

    // Output.
    int blocks_ = 0;
    QTextList* list_ = nullptr;          // the bullet list the previous paragraph was in
    QHash<qint64, OpenList> tableLists_; // by list and level
    QHash<QString, OpenList> pnLists_;   // the last list numbered by \pn, by its numbers' look
    QString pnLast_;                     // the look of the previous paragraph's \pn list, if any
    std::unordered_map<CharProps, QTextCharFormat, CharPropsHash> formats_;
};

} // namespace stikko::rtf::detail
