// RTF bytes -> QTextDocument.
//
// One pass over the bytes with an explicit stack of group states (no recursion, so nesting depth
// costs memory only up to a cap and never stack). Text is gathered per paragraph as runs of equal
// character properties; a paragraph reaches the document when its \par arrives, because RTF gives
// a paragraph's properties at its end and its bullet after its \pntext. Every step is constant or
// amortised constant work per input byte, so any input reads in linear time.

#include "platform/rtfreader_p.h"

namespace stikko::rtf {

namespace detail {

const std::unordered_map<std::string_view, Keyword>& keywords() {
    static const std::unordered_map<std::string_view, Keyword> table = [] {
        std::unordered_map<std::string_view, Keyword> t;
        // Destinations whose content is not body text.
        for (std::string_view name :
             {"annotation",  "atnauthor",   "atnid",     "atrfend",   "atrfstart",     "author",
              "background",  "bkmkend",     "bkmkstart", "buptim",    "category",      "colorschememapping",
              "comment",     "company",     "creatim",   "datastore", "docvar",        "doccomm",
              "filetbl",     "footer",      "footerf",   "footerl",   "footerr",       "footnote",
              "ftncn",       "ftnsep",      "ftnsepc",   "generator", "header",        "headerf",
              "headerl",     "headerr",     "info",      "keywords",  "latentstyles",  "listpicture",
              "mmathPr",     "objdata",     "operator",  "pgdsctbl",  "printim",       "private",
              "revtbl",      "revtim",      "rsidtbl",   "rxe",       "shp",           "shpinst",
              "sp",          "stylesheet",  "subject",   "tc",        "themedata",     "title",
              "txe",         "xe",          "xmlnstbl",  "userprops", "wgrffmtfilter", "passwordhash",
              "protusertbl", "levelnumbers"})
            t.emplace(name, Keyword{Kw::SkipDest});
        const std::pair<std::string_view, Kw> words[] = {
            {"fonttbl", Kw::Fonttbl},
            {"colortbl", Kw::Colortbl},
            {"listtable", Kw::Listtable},
            {"listoverridetable", Kw::Listoverridetable},
            {"pn", Kw::Pn},
            {"pntext", Kw::Pntext},
            {"listtext", Kw::Pntext},
            {"pntxtb", Kw::Pntxtb},
            {"pntxta", Kw::Pntxta},
            {"upr", Kw::Upr},
            {"ud", Kw::Ud},
            {"fldrslt", Kw::Fldrslt},
            {"fldinst", Kw::Fldinst},
            {"field", Kw::Field},
            {"pict", Kw::Pict},
            {"shppict", Kw::Shppict},
            {"nonshppict", Kw::Nonshppict},
            {"object", Kw::Object},
            {"result", Kw::Result},
            {"leveltext", Kw::Leveltext},
            {"loch", Kw::Loch},
            {"hich", Kw::Hich},
            {"dbch", Kw::Dbch},
            {"rtlch", Kw::Rtlch},
            {"ltrch", Kw::Ltrch},
            {"af", Kw::Af},
            {"afs", Kw::Afs},
            {"ab", Kw::Ab},
            {"ai", Kw::Ai},
            {"aul", Kw::Aul},
            {"auld", Kw::Aul},
            {"auldb", Kw::Aul},
            {"aulw", Kw::Aul},
            {"aulnone", Kw::Aulnone},
            {"ansi", Kw::Ansi},
            {"mac", Kw::Mac},
            {"pc", Kw::Pc},
            {"pca", Kw::Pca},
            {"ansicpg", Kw::Ansicpg},
            {"deff", Kw::Deff},
            {"f", Kw::F},
            {"fcharset", Kw::Fcharset},
            {"cpg", Kw::Cpg},
            {"red", Kw::Red},
            {"green", Kw::Green},
            {"blue", Kw::Blue},
            {"plain", Kw::Plain},
            {"b", Kw::B},
            {"i", Kw::I},
            {"ul", Kw::Ul},
            {"uld", Kw::Ul},
            {"uldash", Kw::Ul},
            {"uldashd", Kw::Ul},
            {"uldashdd", Kw::Ul},
            {"uldb", Kw::Ul},
            {"ulth", Kw::Ul},
            {"ulw", Kw::Ul},
            {"ulwave", Kw::Ul},
            {"ulhair", Kw::Ul},
            {"ulthd", Kw::Ul},
            {"ulthdash", Kw::Ul},
            {"ulldash", Kw::Ul},
            {"ululdbwave", Kw::Ul},
            {"ulnone", Kw::Ulnone},
            {"strike", Kw::Strike},
            {"striked", Kw::Strike},
            {"fs", Kw::Fs},
            {"cf", Kw::Cf},
            {"cb", Kw::Cb},
            {"highlight", Kw::Cb},
            {"chcbpat", Kw::Cb},
            {"super", Kw::Super},
            {"sub", Kw::Sub},
            {"nosupersub", Kw::Nosupersub},
            {"pard", Kw::Pard},
            {"ql", Kw::Ql},
            {"qc", Kw::Qc},
            {"qr", Kw::Qr},
            {"qj", Kw::Qj},
            {"li", Kw::Li},
            {"fi", Kw::Fi},
            {"ri", Kw::Ri},
            {"sb", Kw::Sb},
            {"sa", Kw::Sa},
            {"ls", Kw::Ls},
            {"ilvl", Kw::Ilvl},
            {"pnlvlblt", Kw::Pnlvlblt},
            {"pnlvlbody", Kw::Pnlvlbody},
            {"pnlvlcont", Kw::Pnlvlother},
            {"pnlvl", Kw::Pnlvlother},
            {"pnstart", Kw::Pnstart},
            {"levelstartat", Kw::Levelstartat},
            {"list", Kw::List},
            {"listlevel", Kw::Listlevel},
            {"levelnfc", Kw::Levelnfc},
            {"levelnfcn", Kw::Levelnfc},
            {"listid", Kw::Listid},
            {"listoverride", Kw::Listoverride},
            {"par", Kw::Par},
            {"sect", Kw::Par},
            {"page", Kw::Par},
            {"row", Kw::Par},
            {"line", Kw::Line},
            {"tab", Kw::Tab},
            {"cell", Kw::Cell},
            {"nestcell", Kw::Cell},
            {"u", Kw::U},
            {"uc", Kw::Uc},
            {"bin", Kw::Bin},
        };
        for (const auto& [name, kw] : words)
            t.emplace(name, Keyword{kw});
        const std::pair<std::string_view, char16_t> chars[] = {
            {"emdash", 0x2014},    {"endash", 0x2013},    {"emspace", 0x2003}, {"enspace", 0x2002},
            {"qmspace", 0x2005},   {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"zwj", 0x200D},     {"zwnj", 0x200C},
            {"ltrmark", 0x200E},   {"rtlmark", 0x200F},   {"zwbo", 0x200B},    {"zwnbo", 0x2060},
        };
        for (const auto& [name, ch] : chars)
            t.emplace(name, Keyword{Kw::Char, ch});
        // Number styles of \pn; those the document model lacks keep their literal numbers.
        const std::pair<std::string_view, QTextListFormat::Style> styles[] = {
            {"pndec", QTextListFormat::ListDecimal},      {"pnlcltr", QTextListFormat::ListLowerAlpha},
            {"pnucltr", QTextListFormat::ListUpperAlpha}, {"pnlcrm", QTextListFormat::ListLowerRoman},
            {"pnucrm", QTextListFormat::ListUpperRoman},
        };
        for (const auto& [name, style] : styles)
            t.emplace(name, Keyword{Kw::Pnstyle, static_cast<char16_t>(-style)});
        for (std::string_view name :
             {"pncard",    "pnord",     "pnordt",    "pnaiu",    "pnaiud",   "pnaiueo",  "pnaiueod",
              "pnchosung", "pndbnum",   "pndbnumd",  "pndbnumk", "pndbnuml", "pndbnumt", "pndecd",
              "pnganada",  "pngbnum",   "pngbnumd",  "pngbnumk", "pngbnuml", "pniroha",  "pnirohad",
              "pnzodiac",  "pnzodiacd", "pnzodiacl", "pnbidia",  "pnbidib",  "pnuldash", "pnuldashd"})
            t.emplace(name, Keyword{Kw::Pnstyle, 0});
        // A picture's header: its sizes and its form.
        for (std::string_view name :
             {"picw", "pich", "picwgoal", "pichgoal", "picscalex", "picscaley", "pngblip", "jpegblip",
              "emfblip", "wmetafile", "dibitmap", "wbitmap", "macpict", "pmmetafile", "wbmbitspixel",
              "wbmplanes", "wbmwidthbytes", "picbmp", "picbpp"})
            t.emplace(name, Keyword{Kw::PictWord});
        return t;
    }();
    return table;
}

bool isDestination(Kw kw) {
    switch (kw) {
    case Kw::SkipDest:
    case Kw::Fonttbl:
    case Kw::Colortbl:
    case Kw::Listtable:
    case Kw::Listoverridetable:
    case Kw::Pn:
    case Kw::Pntext:
    case Kw::Pntxtb:
    case Kw::Pntxta:
    case Kw::Upr:
    case Kw::Ud:
    case Kw::Fldrslt:
    case Kw::Fldinst:
    case Kw::Field:
    case Kw::Pict:
    case Kw::Shppict:
    case Kw::Nonshppict:
    case Kw::Object:
    case Kw::Result:
    case Kw::Leveltext:
        return true;
    default:
        return false;
    }
}

namespace {
bool isAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

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
    if (isAsciiLetter(c))
        return controlWord(p, n, i);
    // Control symbols.
    if (c == '\'')
        return escapedBytes(p, n, i);
    if (skip_ > 0) {
        --skip_;
        return i + 1;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        textByte(static_cast<char>(c));
        break;
    case '~':
        textChar(0x00A0);
        break;
    case '_':
        textChar(0x2011);
        break;
    case '\t':
        textChar(u'\t');
        break;
    case '\r':
    case '\n':
        word("par", false, 0);
        break;
    case '*': // marks an optional destination, and only at the start of a group
        if (top().fresh)
            top().starred = true;
        break;
    default:
        break; // \- (optional hyphen), \|, \: and unknown symbols carry no text
    }
    return i + 1;
}

// A control word starting at p[i], its parameter and the one space that may end it; returns
// where the text goes on.
qsizetype Reader::controlWord(const char* p, qsizetype n, qsizetype i) {
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
        // Raw bytes follow: never parsed, never text (but a picture's bytes); they count as one
        // character to skip. A length beyond the input is a lie: the word is dropped and what
        // follows read as RTF, so no text after it is lost.
        const std::int64_t length = hasParam && param > 0 ? param : 0;
        State& s = top();
        s.fresh = s.starred = false;
        if (length > n - j) {
            if (s.dest == Dest::Pict)
                pict_.broken = true;
            return j;
        }
        if (skip_ > 0)
            --skip_;
        else if (s.dest == Dest::Pict)
            pictBinary(p + j, static_cast<qsizetype>(length));
        return j + static_cast<qsizetype>(length);
    }
    if (skip_ > 0) {
        --skip_;
        top().fresh = top().starred = false;
        return j;
    }
    word(name.size() <= kMaxWordLength ? name : std::string_view("?"), hasParam, param);
    return j;
}

// \'hh at p[i] (the quote) and the run of them that follows, as text bytes; returns where the
// text goes on.
qsizetype Reader::escapedBytes(const char* p, qsizetype n, qsizetype i) {
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
    const State popped = std::move(stack_.back());
    stack_.pop_back();
    State& now = top();
    if (popped.dest == now.dest)
        return;
    switch (popped.dest) {
    case Dest::Pn: // numbering set inside {\pn ...} belongs to the paragraph
        if (now.dest == Dest::Body)
            now.para.pn = popped.para.pn;
        break;
    case Dest::PnBefore:
    case Dest::PnAfter:
        now.para.pn.before = popped.para.pn.before;
        now.para.pn.after = popped.para.pn.after;
        break;
    case Dest::FontTable:
        finishFont();
        break;
    case Dest::Pict:
        finishPict();
        break;
    case Dest::LevelText:
        finishLevelText();
        break;
    default:
        break;
    }
}

void Reader::word(std::string_view name, bool hasParam, int param) {
    State& s = top();
    const bool starred = s.starred;
    s.fresh = s.starred = false;
    const auto& table = keywords();
    const auto found = table.find(name);
    const Keyword key = found == table.end() ? Keyword{Kw::Unknown} : found->second;
    const Kw kw = key.kw;

    // Skipped groups wake only for what they hold to be read: the Unicode text of \upr, the
    // picture beside a preferred one, the result an object shows.
    if (s.dest == Dest::Skip && kw != Kw::Ud && !(kw == Kw::Pict && s.pictRole == PictRole::Beside) &&
        !(kw == Kw::Result && s.inObject))
        return;
    if (starred && !isDestination(kw)) {
        s.dest = Dest::Skip;
        return;
    }
    const Word w{key, s, s.dest, hasParam, param, name};
    if (s.dest == Dest::Pict) {
        // A picture's group holds its header words and its bytes; any group inside is no part of it.
        if (kw == Kw::PictWord)
            pictWord(w);
        else if (isDestination(kw))
            s.dest = Dest::Skip;
        return;
    }
    // Each kind of word has its own handler; a word none of them knows is left alone.
    if (!destinationWord(w) && !tableWord(w) && !listWord(w) && !formatWord(w) && !scriptWord(w))
        textWord(w);
}

bool Reader::destinationWord(const Word& w) {
    State& s = w.state;
    const Dest dest = w.dest;
    switch (w.key.kw) {
    case Kw::SkipDest:
        s.dest = Dest::Skip;
        break;
    case Kw::Fonttbl:
        s.dest = Dest::FontTable;
        break;
    case Kw::Colortbl:
        s.dest = Dest::ColorTable;
        red_ = green_ = blue_ = -1;
        break;
    case Kw::Listtable:
        s.dest = Dest::ListTable;
        break;
    case Kw::Listoverridetable:
        s.dest = Dest::ListOverrides;
        break;
    case Kw::Pn:
        s.dest = Dest::Pn;
        break;
    case Kw::Pntext:
        s.dest = dest == Dest::Body ? Dest::PnText : Dest::Skip;
        break;
    case Kw::Pntxtb:
    case Kw::Pntxta:
        s.dest = dest != Dest::Pn ? Dest::Skip : w.key.kw == Kw::Pntxtb ? Dest::PnBefore : Dest::PnAfter;
        break;
    case Kw::Upr:
        s.outer = dest;
        s.dest = Dest::Skip;
        break;
    case Kw::Ud:
        s.dest = s.outer;
        break;
    case Kw::Field:
        s.field = static_cast<std::int32_t>(fields_.size());
        fields_.emplace_back();
        break;
    case Kw::Fldinst:
        s.dest = dest == Dest::Body && s.field >= 0 ? Dest::FieldInst : Dest::Skip;
        break;
    case Kw::Fldrslt:
        fieldResult(s); // the field's visible result is ordinary text, a link's with its address
        break;
    case Kw::Pict:
        if (dest == Dest::Body || (dest == Dest::Skip && s.pictRole == PictRole::Beside)) {
            s.dest = Dest::Pict;
            pict_ = PictDraft{};
            pict_.role = s.pictRole;
        } else {
            s.dest = Dest::Skip;
        }
        break;
    case Kw::Shppict:
        s.pictRole = PictRole::Preferred;
        break;
    case Kw::Nonshppict:
        s.pictRole = PictRole::Beside;
        s.dest = Dest::Skip;
        break;
    case Kw::Object: // an embedded object: nothing of it but the picture it shows
        s.outer = dest;
        s.dest = Dest::Skip;
        s.inObject = true;
        break;
    case Kw::Result:
        if (s.inObject) {
            s.dest = s.outer;
            s.inObject = false;
        }
        break;
    case Kw::Leveltext:
        s.dest = dest == Dest::ListTable ? Dest::LevelText : Dest::Skip;
        levelText_.clear();
        break;
    default:
        return false;
    }
    return true;
}

bool Reader::tableWord(const Word& w) {
    State& s = w.state;
    const Dest dest = w.dest;
    switch (w.key.kw) {
    // Document.
    case Kw::Ansi:
        docCodePage_ = 1252;
        cacheValid_ = false;
        break;
    case Kw::Mac:
        docCodePage_ = 10000;
        cacheValid_ = false;
        break;
    case Kw::Pc:
        docCodePage_ = 437;
        cacheValid_ = false;
        break;
    case Kw::Pca:
        docCodePage_ = 850;
        cacheValid_ = false;
        break;
    case Kw::Ansicpg:
        if (w.hasParam && w.param > 0) {
            docCodePage_ = w.param;
            cacheValid_ = false;
        }
        break;
    case Kw::Deff:
        if (w.hasParam)
            deff_ = w.param;
        cacheValid_ = false;
        resetFormats();
        break;
    // Font and colour tables.
    case Kw::F:
        if (dest == Dest::FontTable) {
            finishFont();
            fontOpen_ = true;
            fontDraft_ = FontEntry{};
            fontDraft_.number = w.param;
        } else if (w.hasParam) {
            s.chr.font = w.param;
        }
        break;
    case Kw::Fcharset:
        if (dest == Dest::FontTable && fontOpen_)
            fontDraft_.charset = w.param;
        break;
    case Kw::Cpg:
        if (dest == Dest::FontTable && fontOpen_)
            fontDraft_.cpg = w.param;
        break;
    case Kw::Red:
        red_ = clampInt(w.param, 0, 255);
        break;
    case Kw::Green:
        green_ = clampInt(w.param, 0, 255);
        break;
    case Kw::Blue:
        blue_ = clampInt(w.param, 0, 255);
        break;
    default:
        return false;
    }
    return true;
}

bool Reader::listWord(const Word& w) {
    const Dest dest = w.dest;
    switch (w.key.kw) {
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
            lists_.back().levels[listLevel_].nfc = w.param;
        break;
    case Kw::Levelstartat:
        if (dest == Dest::ListTable && !lists_.empty() && listLevel_ >= 0 && listLevel_ < 9)
            lists_.back().levels[listLevel_].start = w.param;
        break;
    case Kw::Listid:
        if (dest == Dest::ListTable && !lists_.empty()) {
            lists_.back().id = w.param;
            listById_.insert(w.param, static_cast<int>(lists_.size() - 1));
        } else if (dest == Dest::ListOverrides) {
            override_.listId = w.param;
            override_.hasListId = true;
            if (override_.hasLs)
                listIdByLs_.insert(override_.ls, override_.listId);
        }
        break;
    case Kw::Listoverride:
        if (dest == Dest::ListOverrides)
            override_ = Override{};
        break;
    default:
        return false;
    }
    return true;
}

bool Reader::formatWord(const Word& w) {
    State& s = w.state;
    const Dest dest = w.dest;
    const bool on = !w.hasParam || w.param != 0;
    switch (w.key.kw) {
    // Character properties.
    case Kw::Plain: {
        const std::int32_t link = s.chr.link; // \plain inside a link's result keeps it a link
        s.chr = CharProps{};
        s.chr.link = link;
        break;
    }
    case Kw::B:
        s.chr.bold = on;
        break;
    case Kw::I:
        s.chr.italic = on;
        break;
    case Kw::Ul:
        s.chr.underline = on;
        break;
    case Kw::Ulnone:
        s.chr.underline = false;
        break;
    case Kw::Strike:
        s.chr.strike = on;
        break;
    case Kw::Fs:
        if (w.hasParam && w.param > 0)
            s.chr.halfPoints = clampInt(w.param, kMinHalfPoints, kMaxHalfPoints);
        break;
    case Kw::Cf:
        s.chr.fg = std::max(0, w.param);
        break;
    case Kw::Cb:
        s.chr.bg = std::max(0, w.param);
        break;
    case Kw::Super:
        s.chr.vertical = 1;
        break;
    case Kw::Sub:
        s.chr.vertical = 2;
        break;
    case Kw::Nosupersub:
        s.chr.vertical = 0;
        break;
    // Paragraph properties.
    case Kw::Pard:
        s.para = ParaProps{};
        break;
    case Kw::Ql:
        s.para.align = 0;
        break;
    case Kw::Qc:
        s.para.align = 1;
        break;
    case Kw::Qr:
        s.para.align = 2;
        break;
    case Kw::Qj:
        s.para.align = 3;
        break;
    case Kw::Li:
        s.para.left = w.param;
        break;
    case Kw::Fi:
        s.para.first = w.param;
        break;
    case Kw::Ri:
        s.para.right = w.param;
        break;
    case Kw::Sb:
        s.para.before = w.param;
        break;
    case Kw::Sa:
        s.para.after = w.param;
        break;
    case Kw::Ls:
        if (dest == Dest::ListOverrides) {
            override_.ls = w.param;
            override_.hasLs = true;
            if (override_.hasListId)
                listIdByLs_.insert(override_.ls, override_.listId);
        } else {
            s.para.ls = w.param;
        }
        break;
    case Kw::Ilvl:
        s.para.level = clampInt(w.param, 0, 8);
        break;
    case Kw::Pnlvlblt:
        s.para.pn.kind = Numbering::Bullet;
        break;
    case Kw::Pnlvlbody:
        s.para.pn.kind = Numbering::Number;
        break;
    case Kw::Pnlvlother:
        s.para.pn.kind = Numbering::Other;
        break;
    case Kw::Pnstyle:
        s.para.pn.style = static_cast<QTextListFormat::Style>(-static_cast<int>(w.key.ch));
        s.para.pn.styleKnown = w.key.ch != 0;
        break;
    case Kw::Pnstart:
        s.para.pn.start = w.param;
        break;
    default:
        return false;
    }
    return true;
}

bool Reader::scriptWord(const Word& w) {
    CharProps& chr = w.state.chr;
    const bool on = !w.hasParam || w.param != 0;
    switch (w.key.kw) {
    case Kw::Loch:
        chr.script = Script::Low;
        return true;
    case Kw::Hich:
        chr.script = Script::High;
        return true;
    case Kw::Dbch:
        chr.script = Script::Double;
        return true;
    case Kw::Rtlch:
        chr.rtl = true;
        return true;
    case Kw::Ltrch:
        chr.rtl = false;
        return true;
    case Kw::Af:
    case Kw::Afs:
    case Kw::Ab:
    case Kw::Ai:
    case Kw::Aul:
    case Kw::Aulnone:
        break;
    default:
        return false;
    }
    // Associated properties: under \dbch those of double-byte text. Under \loch and \hich they
    // repeat the plain ones; under \rtlch they are right-to-left text's, which has none apart.
    if (chr.rtl || chr.script != Script::Double)
        return true;
    EastAsian& ea = chr.eastAsian;
    switch (w.key.kw) {
    case Kw::Af:
        if (w.hasParam && w.param >= 0)
            ea.font = w.param;
        break;
    case Kw::Afs:
        if (w.hasParam && w.param > 0)
            ea.halfPoints = clampInt(w.param, kMinHalfPoints, kMaxHalfPoints);
        break;
    case Kw::Ab:
        ea.bold = on;
        break;
    case Kw::Ai:
        ea.italic = on;
        break;
    case Kw::Aul:
        ea.underline = on;
        break;
    default:
        ea.underline = 0;
        break;
    }
    return true;
}

bool Reader::textWord(const Word& w) {
    State& s = w.state;
    const Dest dest = w.dest;
    const bool inText = dest == Dest::Body || dest == Dest::PnText;
    // Destinations that gather characters besides the text: a field's instruction, a number's
    // text, a list level's template.
    const bool takesChars = inText || dest == Dest::FieldInst || dest == Dest::PnBefore ||
                            dest == Dest::PnAfter || dest == Dest::LevelText;
    switch (w.key.kw) {
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
        if (takesChars)
            textChar(w.key.ch);
        break;
    case Kw::U: {
        if (!w.hasParam)
            break;
        std::int64_t code = w.param;
        if (code < 0)
            code += 0x10000;
        const char32_t ch = code >= 0 && code <= 0x10FFFF ? static_cast<char32_t>(code) : 0xFFFD;
        if (takesChars || dest == Dest::FontTable)
            textChar(ch);
        skip_ = s.uc;
        break;
    }
    case Kw::Uc:
        s.uc = clampInt(w.param, 0, 1 << 20);
        break;
    case Kw::Bin:
        break; // handled where the bytes are
    default:
        return false;
    }
    return true;
}

void Reader::textBytes(const char* p, qsizetype len, bool escaped) {
    State& s = top();
    s.fresh = s.starred = false;
    switch (s.dest) {
    case Dest::Body:
    case Dest::PnText: {
        if (!begin(s.dest))
            return;
        const int codePage = codePageOfText(s.chr);
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
    case Dest::Pict:
        if (escaped)
            pict_.broken = true; // picture bytes are hex digits, never escaped bytes
        else
            pictHex(p, len);
        break;
    case Dest::FieldInst:
    case Dest::PnBefore:
    case Dest::PnAfter: {
        const QString text = decoders_.decode(codePageOfText(s.chr), QByteArrayView(p, len));
        if (s.dest == Dest::FieldInst)
            fieldText(text);
        else {
            QString& number = s.dest == Dest::PnBefore ? s.para.pn.before : s.para.pn.after;
            number.append(text.left(std::max<qsizetype>(0, kMaxNumberText - number.size())));
        }
        break;
    }
    case Dest::LevelText:
        // The template's first byte is its length and bytes below 9 stand for the numbers: those
        // are byte values. The rest is text, in the code page.
        for (qsizetype k = 0; k < len;) {
            if (levelText_.isEmpty() || static_cast<unsigned char>(p[k]) < 0x20) {
                levelText(QString(QChar(static_cast<unsigned char>(p[k]))));
                ++k;
                continue;
            }
            qsizetype end = k;
            while (end < len && static_cast<unsigned char>(p[end]) >= 0x20)
                ++end;
            levelText(decoders_.decode(codePageOfText(s.chr), QByteArrayView(p + k, end - k)));
            k = end;
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
    const QStringView text(units, count);
    switch (s.dest) {
    case Dest::Pict:
        pict_.broken = true;
        return;
    case Dest::FieldInst:
        fieldText(text);
        return;
    case Dest::PnBefore:
    case Dest::PnAfter: {
        QString& number = s.dest == Dest::PnBefore ? s.para.pn.before : s.para.pn.after;
        if (number.size() < kMaxNumberText)
            number.append(text);
        return;
    }
    case Dest::LevelText:
        levelText(text);
        return;
    default:
        break;
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

} // namespace detail

void read(const QByteArray& bytes, QTextDocument& document) {
    using namespace detail;
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
