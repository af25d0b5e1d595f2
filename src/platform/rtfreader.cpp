// RTF bytes -> QTextDocument.
//
// One pass over the bytes with an explicit stack of group states (no recursion, so nesting depth
// costs memory only up to a cap and never stack). Text is gathered per paragraph as runs of equal
// character properties; a paragraph reaches the document when its \par arrives, because RTF gives
// a paragraph's properties at its end and its bullet after its \pntext. Every step is constant or
// amortised constant work per input byte, so any input reads in linear time.

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

namespace stikko::rtf {

namespace {

constexpr int kMaxDepth = 4096;            // deeper groups share their parent's state
constexpr std::size_t kMaxWordLength = 32; // longer control words are unknown by definition

enum class Dest : std::uint8_t {
    Body,          // document text
    PnText,        // the literal bullet or number before a paragraph (\pntext, \listtext)
    Skip,          // no text and no effect
    FontTable,
    ColorTable,
    ListTable,
    ListOverrides,
    Pn,            // paragraph numbering of the enclosing paragraph
};

enum class Numbering : std::uint8_t { None, Bullet, Other };

struct CharProps {
    std::int32_t font = -1; // \f number; -1 until set, meaning \deff
    std::int32_t halfPoints = 24;
    std::int32_t fg = 0;    // colour table index, 0 = automatic
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
        h = h * 31 + static_cast<std::uint32_t>(p.vertical);
        h = h * 31 + (p.bold | p.italic << 1 | p.underline << 2 | p.strike << 3);
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
    SkipDest, Fonttbl, Colortbl, Listtable, Listoverridetable, Pn, Pntext, Pntxt, Upr, Ud, Fldrslt,
    Ansi, Mac, Pc, Pca, Ansicpg, Deff,
    F, Fcharset, Cpg, Red, Green, Blue,
    Plain, B, I, Ul, Ulnone, Strike, Fs, Cf, Cb, Super, Sub, Nosupersub,
    Pard, Ql, Qc, Qr, Qj, Li, Fi, Ri, Sb, Sa, Ls, Ilvl, Pnlvlblt, Pnlvlother,
    List, Listlevel, Levelnfc, Listid, Listoverride,
    Par, Line, Tab, Cell, U, Uc, Bin, Char,
};

struct Keyword {
    Kw kw;
    char16_t ch = 0; // for Kw::Char: the character the word stands for
};

const std::unordered_map<std::string_view, Keyword>& keywords() {
    static const std::unordered_map<std::string_view, Keyword> table = [] {
        std::unordered_map<std::string_view, Keyword> t;
        // Destinations whose content is not body text.
        for (std::string_view name :
             {"annotation", "atnauthor", "atnid", "atrfend", "atrfstart", "author", "background", "bkmkend",
              "bkmkstart", "buptim", "category", "colorschememapping", "comment", "company", "creatim",
              "datastore", "docvar", "doccomm", "fldinst", "filetbl", "footer", "footerf", "footerl", "footerr",
              "footnote", "ftncn", "ftnsep", "ftnsepc", "generator", "header", "headerf", "headerl", "headerr",
              "info", "keywords", "latentstyles", "listpicture", "mmathPr", "nonshppict", "object", "objdata",
              "operator", "pgdsctbl", "pict", "printim", "private", "revtbl", "revtim", "rsidtbl", "rxe", "shp",
              "shpinst", "shppict", "sp", "stylesheet", "subject", "tc", "themedata", "title", "txe", "xe",
              "xmlnstbl", "userprops", "wgrffmtfilter", "passwordhash", "protusertbl"})
            t.emplace(name, Keyword{Kw::SkipDest});
        const std::pair<std::string_view, Kw> words[] = {
            {"fonttbl", Kw::Fonttbl}, {"colortbl", Kw::Colortbl}, {"listtable", Kw::Listtable},
            {"listoverridetable", Kw::Listoverridetable}, {"pn", Kw::Pn}, {"pntext", Kw::Pntext},
            {"listtext", Kw::Pntext}, {"pntxtb", Kw::Pntxt}, {"pntxta", Kw::Pntxt}, {"upr", Kw::Upr},
            {"ud", Kw::Ud}, {"fldrslt", Kw::Fldrslt},
            {"ansi", Kw::Ansi}, {"mac", Kw::Mac}, {"pc", Kw::Pc}, {"pca", Kw::Pca}, {"ansicpg", Kw::Ansicpg},
            {"deff", Kw::Deff},
            {"f", Kw::F}, {"fcharset", Kw::Fcharset}, {"cpg", Kw::Cpg},
            {"red", Kw::Red}, {"green", Kw::Green}, {"blue", Kw::Blue},
            {"plain", Kw::Plain}, {"b", Kw::B}, {"i", Kw::I}, {"ul", Kw::Ul}, {"uld", Kw::Ul},
            {"uldash", Kw::Ul}, {"uldashd", Kw::Ul}, {"uldashdd", Kw::Ul}, {"uldb", Kw::Ul}, {"ulth", Kw::Ul},
            {"ulw", Kw::Ul}, {"ulwave", Kw::Ul}, {"ulhair", Kw::Ul}, {"ulthd", Kw::Ul}, {"ulthdash", Kw::Ul},
            {"ulldash", Kw::Ul}, {"ululdbwave", Kw::Ul}, {"ulnone", Kw::Ulnone}, {"strike", Kw::Strike},
            {"striked", Kw::Strike}, {"fs", Kw::Fs}, {"cf", Kw::Cf}, {"cb", Kw::Cb}, {"highlight", Kw::Cb},
            {"chcbpat", Kw::Cb}, {"super", Kw::Super}, {"sub", Kw::Sub}, {"nosupersub", Kw::Nosupersub},
            {"pard", Kw::Pard}, {"ql", Kw::Ql}, {"qc", Kw::Qc}, {"qr", Kw::Qr}, {"qj", Kw::Qj},
            {"li", Kw::Li}, {"fi", Kw::Fi}, {"ri", Kw::Ri}, {"sb", Kw::Sb}, {"sa", Kw::Sa}, {"ls", Kw::Ls},
            {"ilvl", Kw::Ilvl}, {"pnlvlblt", Kw::Pnlvlblt}, {"pnlvlbody", Kw::Pnlvlother},
            {"pnlvlcont", Kw::Pnlvlother}, {"pnlvl", Kw::Pnlvlother},
            {"list", Kw::List}, {"listlevel", Kw::Listlevel}, {"levelnfc", Kw::Levelnfc},
            {"levelnfcn", Kw::Levelnfc}, {"listid", Kw::Listid}, {"listoverride", Kw::Listoverride},
            {"par", Kw::Par}, {"sect", Kw::Par}, {"page", Kw::Par}, {"row", Kw::Par}, {"line", Kw::Line},
            {"tab", Kw::Tab}, {"cell", Kw::Cell}, {"nestcell", Kw::Cell}, {"u", Kw::U}, {"uc", Kw::Uc},
            {"bin", Kw::Bin},
        };
        for (const auto& [name, kw] : words)
            t.emplace(name, Keyword{kw});
        const std::pair<std::string_view, char16_t> chars[] = {
            {"emdash", 0x2014}, {"endash", 0x2013}, {"emspace", 0x2003}, {"enspace", 0x2002},
            {"qmspace", 0x2005}, {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"zwj", 0x200D}, {"zwnj", 0x200C},
            {"ltrmark", 0x200E}, {"rtlmark", 0x200F}, {"zwbo", 0x200B}, {"zwnbo", 0x2060},
        };
        for (const auto& [name, ch] : chars)
            t.emplace(name, Keyword{Kw::Char, ch});
        return t;
    }();
    return table;
}

bool isDestination(Kw kw) {
    switch (kw) {
    case Kw::SkipDest: case Kw::Fonttbl: case Kw::Colortbl: case Kw::Listtable: case Kw::Listoverridetable:
    case Kw::Pn: case Kw::Pntext: case Kw::Pntxt: case Kw::Upr: case Kw::Ud: case Kw::Fldrslt:
        return true;
    default:
        return false;
    }
}

int clampInt(std::int64_t v, int lo, int hi) { return static_cast<int>(std::clamp<std::int64_t>(v, lo, hi)); }

bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Characters the document model must not receive as text: controls and DEL (a tab excepted), the block
// and frame separators it uses internally, the object marker, and lone surrogates. Decoder
// substitutes (SUB) become U+FFFD so a bad byte stays visible.
QString sanitized(QString text) {
    const auto bad = [](const QChar* s, qsizetype i, qsizetype n) {
        const char16_t c = s[i].unicode();
        if (c < 0x20 || c == 0x7F)
            return c != u'\t';
        if (c < 0xD800)
            return c == 0x2029;
        if (c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC || c == 0xFFFE || c == 0xFFFF)
            return true;
        if (QChar::isHighSurrogate(c))
            return i + 1 >= n || !QChar::isLowSurrogate(s[i + 1].unicode());
        if (QChar::isLowSurrogate(c))
            return i == 0 || !QChar::isHighSurrogate(s[i - 1].unicode());
        return false;
    };
    const qsizetype n = text.size();
    const QChar* s = text.constData();
    qsizetype i = 0;
    while (i < n && !bad(s, i, n))
        ++i;
    if (i == n)
        return text;
    QString out;
    out.reserve(n);
    out.append(s, i);
    for (; i < n; ++i) {
        if (!bad(s, i, n)) {
            out.append(s[i]);
            continue;
        }
        const char16_t c = s[i].unicode();
        if ((c >= 0x20 && c != 0x7F) || c == 0x1A)
            out.append(QChar(QChar::ReplacementCharacter));
    }
    return out;
}

class Reader {
public:
    explicit Reader(QTextDocument& document) : cursor_(&document) {}

    void run(const char* data, qsizetype size);

private:
    State& top() { return stack_.back(); }

    qsizetype control(const char* p, qsizetype n, qsizetype i);
    void word(std::string_view name, bool hasParam, int param);
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
    std::int64_t skip_ = 0; // characters still to skip after \uN

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

void Reader::run(const char* p, qsizetype n) {
    // One edit block: an editor showing the document lays it out once, at the end.
    cursor_.beginEditBlock();
    stack_.reserve(64);
    stack_.push_back(State{});
    qsizetype i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c == '{') {
            openGroup();
            ++i;
        } else if (c == '}') {
            closeGroup();
            ++i;
        } else if (c == '\\') {
            i = control(p, n, i);
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (skip_ > 0) {
            --skip_;
            ++i;
        } else {
            qsizetype j = i + 1;
            while (j < n && p[j] != '\\' && p[j] != '{' && p[j] != '}' && p[j] != '\r' && p[j] != '\n')
                ++j;
            textBytes(p + i, j - i);
            i = j;
        }
    }
    finish();
    cursor_.endEditBlock();
}

qsizetype Reader::control(const char* p, qsizetype n, qsizetype i) {
    ++i; // the backslash
    if (i >= n)
        return n;
    const auto c = static_cast<unsigned char>(p[i]);
    if (isAsciiLetter(c)) {
        qsizetype j = i;
        while (j < n && isAsciiLetter(static_cast<unsigned char>(p[j])))
            ++j;
        const std::string_view name(p + i, static_cast<std::size_t>(j - i));
        bool negative = false;
        if (j + 1 < n && p[j] == '-' && isDigit(static_cast<unsigned char>(p[j + 1]))) {
            negative = true;
            ++j;
        }
        bool hasParam = false;
        std::int64_t value = 0;
        while (j < n && isDigit(static_cast<unsigned char>(p[j]))) {
            hasParam = true;
            if (value <= INT32_MAX)
                value = value * 10 + (p[j] - '0');
            ++j;
        }
        if (j < n && p[j] == ' ')
            ++j;
        const int param = clampInt(negative ? -value : value, INT32_MIN + 1, INT32_MAX);
        if (name == "bin") {
            // Raw bytes follow: never parsed, never text; they count as one character to skip.
            const std::int64_t length = hasParam && param > 0 ? param : 0;
            if (skip_ > 0)
                --skip_;
            return static_cast<qsizetype>(std::min<std::int64_t>(n, j + length));
        }
        if (skip_ > 0) {
            --skip_;
            top().fresh = top().starred = false;
            return j;
        }
        word(name.size() <= kMaxWordLength ? name : std::string_view("?"), hasParam, param);
        return j;
    }
    // Control symbols.
    if (c == '\'') {
        const int hi = i + 1 < n ? hexValue(static_cast<unsigned char>(p[i + 1])) : -1;
        const int lo = hi >= 0 && i + 2 < n ? hexValue(static_cast<unsigned char>(p[i + 2])) : -1;
        if (lo < 0) // not a byte: drop the escape with what hex digit it has, read on
            return i + (hi >= 0 ? 2 : 1);
        if (skip_ > 0) {
            --skip_;
            return i + 3;
        }
        // Text in a code page other than ASCII is long runs of \'hh: take a run at once.
        char run[256];
        qsizetype count = 0;
        run[count++] = static_cast<char>(hi * 16 + lo);
        i += 3;
        while (count < qsizetype(sizeof run) && i + 3 < n && p[i] == '\\' && p[i + 1] == '\'') {
            const int h = hexValue(static_cast<unsigned char>(p[i + 2]));
            const int l = hexValue(static_cast<unsigned char>(p[i + 3]));
            if (h < 0 || l < 0)
                break;
            run[count++] = static_cast<char>(h * 16 + l);
            i += 4;
        }
        textBytes(run, count, true);
        return i;
    }
    if (skip_ > 0) {
        --skip_;
        return i + 1;
    }
    switch (c) {
    case '\\': case '{': case '}':
        textByte(static_cast<char>(c));
        break;
    case '~': textChar(0x00A0); break;
    case '_': textChar(0x2011); break;
    case '\t': textChar(u'\t'); break;
    case '\r': case '\n': word("par", false, 0); break;
    case '*': // marks an optional destination, and only at the start of a group
        if (top().fresh)
            top().starred = true;
        break;
    default: break; // \- (optional hyphen), \|, \: and unknown symbols carry no text
    }
    return i + 1;
}

void Reader::openGroup() {
    skip_ = 0;
    if (stack_.size() >= kMaxDepth) {
        ++excessDepth_;
        return;
    }
    top().fresh = top().starred = false;
    State s = top();
    s.fresh = true;
    stack_.push_back(s);
}

void Reader::closeGroup() {
    skip_ = 0;
    if (excessDepth_ > 0) {
        --excessDepth_;
        return;
    }
    if (stack_.size() <= 1)
        return; // a brace too many: ignore it and read on, recovering what text follows
    const State popped = stack_.back();
    stack_.pop_back();
    State& now = top();
    if (popped.dest == Dest::Pn && now.dest != Dest::Pn)
        now.para.pn = popped.para.pn; // numbering set inside {\pn ...} belongs to the paragraph
    if (popped.dest == Dest::FontTable && now.dest != Dest::FontTable)
        finishFont();
}

void Reader::word(std::string_view name, bool hasParam, int param) {
    State& s = top();
    const bool starred = s.starred;
    s.fresh = s.starred = false;
    const auto& table = keywords();
    const auto found = table.find(name);
    const Keyword key = found == table.end() ? Keyword{Kw::Unknown} : found->second;
    const Kw kw = key.kw;

    if (s.dest == Dest::Skip && kw != Kw::Ud)
        return;
    if (starred && !isDestination(kw)) {
        s.dest = Dest::Skip;
        return;
    }
    const bool on = !hasParam || param != 0;
    const Dest dest = s.dest;
    const bool inText = dest == Dest::Body || dest == Dest::PnText;

    switch (kw) {
    case Kw::Unknown: break;
    // Destinations.
    case Kw::SkipDest: s.dest = Dest::Skip; break;
    case Kw::Fonttbl: s.dest = Dest::FontTable; break;
    case Kw::Colortbl:
        s.dest = Dest::ColorTable;
        red_ = green_ = blue_ = -1;
        break;
    case Kw::Listtable: s.dest = Dest::ListTable; break;
    case Kw::Listoverridetable: s.dest = Dest::ListOverrides; break;
    case Kw::Pn: s.dest = Dest::Pn; break;
    case Kw::Pntext: s.dest = dest == Dest::Body ? Dest::PnText : Dest::Skip; break;
    case Kw::Pntxt: s.dest = Dest::Skip; break;
    case Kw::Upr:
        s.uprOuter = dest;
        s.dest = Dest::Skip;
        break;
    case Kw::Ud: s.dest = s.uprOuter; break;
    case Kw::Fldrslt: break; // the field's visible result is ordinary text
    // Document.
    case Kw::Ansi: docCodePage_ = 1252; cacheValid_ = false; break;
    case Kw::Mac: docCodePage_ = 10000; cacheValid_ = false; break;
    case Kw::Pc: docCodePage_ = 437; cacheValid_ = false; break;
    case Kw::Pca: docCodePage_ = 850; cacheValid_ = false; break;
    case Kw::Ansicpg:
        if (hasParam && param > 0) {
            docCodePage_ = param;
            cacheValid_ = false;
        }
        break;
    case Kw::Deff:
        if (hasParam)
            deff_ = param;
        cacheValid_ = false;
        resetFormats();
        break;
    // Font and colour tables.
    case Kw::F:
        if (dest == Dest::FontTable) {
            finishFont();
            fontOpen_ = true;
            fontDraft_ = FontEntry{};
            fontDraft_.number = param;
        } else if (hasParam) {
            s.chr.font = param;
        }
        break;
    case Kw::Fcharset:
        if (dest == Dest::FontTable && fontOpen_)
            fontDraft_.charset = param;
        break;
    case Kw::Cpg:
        if (dest == Dest::FontTable && fontOpen_)
            fontDraft_.cpg = param;
        break;
    case Kw::Red: red_ = clampInt(param, 0, 255); break;
    case Kw::Green: green_ = clampInt(param, 0, 255); break;
    case Kw::Blue: blue_ = clampInt(param, 0, 255); break;
    // Character properties.
    case Kw::Plain: {
        CharProps fresh;
        s.chr = fresh;
        break;
    }
    case Kw::B: s.chr.bold = on; break;
    case Kw::I: s.chr.italic = on; break;
    case Kw::Ul: s.chr.underline = on; break;
    case Kw::Ulnone: s.chr.underline = false; break;
    case Kw::Strike: s.chr.strike = on; break;
    case Kw::Fs:
        if (hasParam && param > 0)
            s.chr.halfPoints = clampInt(param, kMinHalfPoints, kMaxHalfPoints);
        break;
    case Kw::Cf: s.chr.fg = std::max(0, param); break;
    case Kw::Cb: s.chr.bg = std::max(0, param); break;
    case Kw::Super: s.chr.vertical = 1; break;
    case Kw::Sub: s.chr.vertical = 2; break;
    case Kw::Nosupersub: s.chr.vertical = 0; break;
    // Paragraph properties.
    case Kw::Pard: s.para = ParaProps{}; break;
    case Kw::Ql: s.para.align = 0; break;
    case Kw::Qc: s.para.align = 1; break;
    case Kw::Qr: s.para.align = 2; break;
    case Kw::Qj: s.para.align = 3; break;
    case Kw::Li: s.para.left = param; break;
    case Kw::Fi: s.para.first = param; break;
    case Kw::Ri: s.para.right = param; break;
    case Kw::Sb: s.para.before = param; break;
    case Kw::Sa: s.para.after = param; break;
    case Kw::Ls:
        if (dest == Dest::ListOverrides) {
            override_.ls = param;
            override_.hasLs = true;
            if (override_.hasListId)
                listIdByLs_.insert(override_.ls, override_.listId);
        } else {
            s.para.ls = param;
        }
        break;
    case Kw::Ilvl: s.para.level = clampInt(param, 0, 8); break;
    case Kw::Pnlvlblt: s.para.pn = Numbering::Bullet; break;
    case Kw::Pnlvlother: s.para.pn = Numbering::Other; break;
    // List tables.
    case Kw::List:
        if (dest == Dest::ListTable) {
            lists_.push_back(ListDef{});
            listLevel_ = -1;
        }
        break;
    case Kw::Listlevel:
        if (dest == Dest::ListTable)
            ++listLevel_;
        break;
    case Kw::Levelnfc:
        if (dest == Dest::ListTable && !lists_.empty() && listLevel_ >= 0 && listLevel_ < 9)
            lists_.back().nfc[listLevel_] = param;
        break;
    case Kw::Listid:
        if (dest == Dest::ListTable && !lists_.empty()) {
            lists_.back().id = param;
            listById_.insert(param, static_cast<int>(lists_.size() - 1));
        } else if (dest == Dest::ListOverrides) {
            override_.listId = param;
            override_.hasListId = true;
            if (override_.hasLs)
                listIdByLs_.insert(override_.ls, override_.listId);
        }
        break;
    case Kw::Listoverride:
        if (dest == Dest::ListOverrides)
            override_ = Override{};
        break;
    // Text.
    case Kw::Par:
        if (dest == Dest::Body)
            endParagraph();
        break;
    case Kw::Line:
        if (inText)
            textChar(0x2028);
        break;
    case Kw::Tab:
    case Kw::Cell:
        if (inText)
            textChar(u'\t');
        break;
    case Kw::Char:
        if (inText)
            textChar(key.ch);
        break;
    case Kw::U: {
        if (!hasParam)
            break;
        std::int64_t code = param;
        if (code < 0)
            code += 0x10000;
        const char32_t ch = code >= 0 && code <= 0x10FFFF ? static_cast<char32_t>(code) : 0xFFFD;
        if (inText || dest == Dest::FontTable)
            textChar(ch);
        skip_ = s.uc;
        break;
    }
    case Kw::Uc: s.uc = clampInt(param, 0, 1 << 20); break;
    case Kw::Bin: break; // handled where the bytes are
    }
}

void Reader::textBytes(const char* p, qsizetype len, bool escaped) {
    State& s = top();
    s.fresh = s.starred = false;
    switch (s.dest) {
    case Dest::Body:
    case Dest::PnText: {
        if (!begin(s.dest))
            return;
        const int codePage = codePageOf(s.chr.font);
        if (codePage != pendingCodePage_ && !pendingBytes_.isEmpty())
            decodePending();
        pendingCodePage_ = codePage;
        pendingBytes_.append(p, len);
        break;
    }
    case Dest::FontTable:
        for (qsizetype k = 0; k < len; ++k) {
            if (p[k] == ';' && !escaped)
                finishFont();
            else if (fontOpen_)
                fontBytes_.append(p[k]);
        }
        break;
    case Dest::ColorTable:
        for (qsizetype k = 0; k < len; ++k) {
            if (p[k] != ';' || escaped)
                continue;
            Colour colour;
            if (red_ >= 0 || green_ >= 0 || blue_ >= 0) {
                colour.automatic = false;
                colour.rgb = qRgb(std::max(red_, 0), std::max(green_, 0), std::max(blue_, 0));
            }
            colours_.push_back(colour);
            red_ = green_ = blue_ = -1;
            resetFormats();
        }
        break;
    default:
        break;
    }
}

void Reader::textChar(char32_t ch) {
    State& s = top();
    s.fresh = s.starred = false;
    char16_t units[2];
    qsizetype count = 1;
    if (ch > 0xFFFF) {
        units[0] = QChar::highSurrogate(ch);
        units[1] = QChar::lowSurrogate(ch);
        count = 2;
    } else {
        units[0] = static_cast<char16_t>(ch);
    }
    if (s.dest == Dest::FontTable) {
        if (!fontOpen_)
            return;
        fontDraft_.name += decoders_.decode(codePageOf(INT32_MIN), fontBytes_);
        fontBytes_.clear();
        fontDraft_.name.append(reinterpret_cast<const QChar*>(units), count);
        return;
    }
    if (!begin(s.dest))
        return;
    decodePending();
    pendingText_.append(reinterpret_cast<const QChar*>(units), count);
}

bool Reader::begin(Dest sink) {
    if (sink != Dest::Body && sink != Dest::PnText)
        return false;
    const CharProps& props = top().chr;
    if (pendingActive_ && pendingSink_ == sink && pendingProps_ == props)
        return true;
    flushPending();
    pendingActive_ = true;
    pendingSink_ = sink;
    pendingProps_ = props;
    return true;
}

void Reader::decodePending() {
    if (pendingBytes_.isEmpty())
        return;
    pendingText_ += decoders_.decode(pendingCodePage_, pendingBytes_);
    pendingBytes_.clear();
}

void Reader::flushPending() {
    if (!pendingActive_)
        return;
    decodePending();
    if (!pendingText_.isEmpty()) {
        std::vector<Run>& runs = pendingSink_ == Dest::PnText ? pnRuns_ : bodyRuns_;
        runs.push_back(Run{std::move(pendingText_), pendingProps_});
        pendingText_.clear();
    }
    pendingActive_ = false;
}

bool Reader::isBullet(const ParaProps& para) const {
    if (para.pn != Numbering::None)
        return para.pn == Numbering::Bullet;
    if (para.ls <= 0)
        return false;
    const auto listId = listIdByLs_.constFind(para.ls);
    if (listId == listIdByLs_.constEnd())
        return false;
    const auto index = listById_.constFind(*listId);
    if (index == listById_.constEnd())
        return false;
    return lists_[*index].nfc[para.level] == 23; // 23: the bullet level format
}

void Reader::endParagraph() {
    flushPending();
    const ParaProps& para = top().para;
    const bool bullet = isBullet(para);
    if (!bullet && !pnRuns_.empty()) {
        // An unrecognised number keeps its literal text at the start of the paragraph.
        pnRuns_.insert(pnRuns_.end(), std::make_move_iterator(bodyRuns_.begin()),
                       std::make_move_iterator(bodyRuns_.end()));
        bodyRuns_.swap(pnRuns_);
    }
    emitBlock(para, bullet, top().chr, bodyRuns_);
    bodyRuns_.clear();
    pnRuns_.clear();
}

void Reader::finish() {
    flushPending();
    if (fontOpen_)
        finishFont();
    // Text after the last \par makes a last paragraph; bytes that are no text (the NUL some
    // writers put after the closing brace, line ends) do not.
    const auto hasText = [](const std::vector<Run>& runs) {
        return std::any_of(runs.begin(), runs.end(), [](const Run& run) { return !sanitized(run.text).isEmpty(); });
    };
    if (hasText(bodyRuns_) || (!isBullet(top().para) && hasText(pnRuns_)))
        endParagraph();
}

QTextBlockFormat Reader::blockFormat(const ParaProps& para, bool bullet) const {
    QTextBlockFormat format;
    switch (para.align) {
    case 1: format.setAlignment(Qt::AlignHCenter); break;
    case 2: format.setAlignment(Qt::AlignRight); break;
    case 3: format.setAlignment(Qt::AlignJustify); break;
    default: break;
    }
    const int left = clampInt(para.left, 0, kMaxTwips);
    if (bullet) {
        // The list draws the bullet in its own margin; the negative first-line indent that
        // makes room for it in RTF has no counterpart.
        const int start = clampInt(std::int64_t(para.left) + para.first, 0, kMaxTwips);
        if (start)
            format.setLeftMargin(start / 15.0);
    } else {
        const int first = clampInt(para.first, -left, kMaxTwips);
        if (left)
            format.setLeftMargin(left / 15.0);
        if (first)
            format.setTextIndent(first / 15.0);
    }
    if (const int right = clampInt(para.right, 0, kMaxTwips))
        format.setRightMargin(right / 15.0);
    if (const int before = clampInt(para.before, 0, kMaxTwips))
        format.setTopMargin(before / 15.0);
    if (const int after = clampInt(para.after, 0, kMaxTwips))
        format.setBottomMargin(after / 15.0);
    return format;
}

const QTextCharFormat& Reader::charFormat(const CharProps& props) {
    const auto found = formats_.find(props);
    if (found != formats_.end())
        return found->second;
    QTextCharFormat format;
    if (const FontEntry* entry = font(props.font < 0 ? deff_ : props.font); entry && !entry->name.isEmpty())
        format.setFontFamilies({entry->name});
    format.setFontPointSize(props.halfPoints / 2.0);
    format.setFontWeight(props.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(props.italic);
    format.setFontUnderline(props.underline);
    format.setFontStrikeOut(props.strike);
    if (props.vertical)
        format.setVerticalAlignment(props.vertical == 1 ? QTextCharFormat::AlignSuperScript
                                                        : QTextCharFormat::AlignSubScript);
    const auto colour = [this](int index) -> const Colour* {
        if (index <= 0 || index >= static_cast<int>(colours_.size()) || colours_[index].automatic)
            return nullptr;
        return &colours_[index];
    };
    if (const Colour* fg = colour(props.fg))
        format.setForeground(QColor(fg->rgb));
    if (const Colour* bg = colour(props.bg))
        format.setBackground(QColor(bg->rgb));
    return formats_.emplace(props, format).first->second;
}

void Reader::emitBlock(const ParaProps& para, bool bullet, const CharProps& mark, const std::vector<Run>& runs) {
    const QTextBlockFormat format = blockFormat(para, bullet);
    if (blocks_ == 0) {
        cursor_.setBlockFormat(format);
        cursor_.setBlockCharFormat(charFormat(mark));
    } else {
        cursor_.insertBlock(format, charFormat(mark));
    }
    ++blocks_;
    if (bullet) {
        if (list_) {
            list_->add(cursor_.block());
        } else {
            QTextListFormat listFormat;
            listFormat.setStyle(QTextListFormat::ListDisc);
            listFormat.setIndent(1);
            list_ = cursor_.createList(listFormat);
        }
    } else {
        list_ = nullptr;
    }
    for (const Run& run : runs) {
        const QString text = sanitized(run.text);
        if (!text.isEmpty())
            cursor_.insertText(text, charFormat(run.props));
    }
}

const FontEntry* Reader::font(int number) const {
    const auto found = fontIndex_.constFind(number);
    return found == fontIndex_.constEnd() ? nullptr : &fonts_[*found];
}

int Reader::codePageOf(int fontNumber) {
    // INT32_MIN: the font being defined in the font table.
    if (cacheValid_ && fontNumber == cachedFont_)
        return cachedCodePage_;
    int codePage = 0;
    const FontEntry* entry = fontNumber == INT32_MIN ? (fontOpen_ ? &fontDraft_ : nullptr)
                                                     : font(fontNumber < 0 ? deff_ : fontNumber);
    if (entry) {
        if (entry->cpg > 0)
            codePage = entry->cpg;
        else if (entry->charset >= 0)
            codePage = detail::codePageForCharset(entry->charset);
    }
    if (codePage == 0)
        codePage = docCodePage_;
    if (fontNumber != INT32_MIN) {
        cacheValid_ = true;
        cachedFont_ = fontNumber;
        cachedCodePage_ = codePage;
    }
    return codePage;
}

void Reader::finishFont() {
    if (!fontOpen_)
        return;
    fontDraft_.name += decoders_.decode(codePageOf(INT32_MIN), fontBytes_);
    fontBytes_.clear();
    fontDraft_.name = sanitized(fontDraft_.name).remove(u'\t').trimmed();
    if (!fontIndex_.contains(fontDraft_.number)) {
        fontIndex_.insert(fontDraft_.number, static_cast<int>(fonts_.size()));
        fonts_.push_back(fontDraft_);
    }
    fontOpen_ = false;
    fontDraft_ = FontEntry{};
    cacheValid_ = false;
    resetFormats();
}

// Text without RTF markup: CP949 when it reads as such, else UTF-8, else Latin-1.
void readPlain(const QByteArray& bytes, QTextDocument& document) {
    QString text;
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(view.sliced(3));
    } else if (detail::isPlausibleCp949(view)) {
        QStringDecoder decoder = detail::makeCp949Decoder();
        text = decoder(view);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8(view);
        if (utf8.hasError())
            text = QString::fromLatin1(view);
    }
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    qsizetype start = 0;
    bool first = true;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text[i] != u'\n' && text[i] != u'\r')
            continue;
        if (i == n && start == n && !first)
            break; // a final line break ends the last line; it does not open another
        if (!first)
            cursor.insertBlock();
        first = false;
        const QString line = sanitized(text.mid(start, i - start));
        if (!line.isEmpty())
            cursor.insertText(line);
        if (i + 1 < n && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    cursor.endEditBlock();
}

// Where the RTF group starts, or -1 when the bytes are no RTF.
qsizetype rtfStart(const QByteArray& bytes) {
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return QByteArrayView(bytes).sliced(i).startsWith("{\\rtf") ? i : -1;
}

} // namespace

void read(const QByteArray& bytes, QTextDocument& document) {
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    if (const qsizetype start = rtfStart(bytes); start >= 0) {
        Reader reader(document);
        reader.run(bytes.constData() + start, bytes.size() - start);
    } else {
        readPlain(bytes, document);
    }
    document.setUndoRedoEnabled(undo);
    document.setModified(false);
}

} // namespace stikko::rtf
