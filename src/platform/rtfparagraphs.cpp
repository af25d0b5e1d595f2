// The output side of the RTF reader: a paragraph's runs, pictures, list and properties become a
// block of the document when the paragraph ends; fonts and code pages come from the font table.

#include "platform/rtfreader_p.h"

namespace stikko::rtf::detail {

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
        storeRun(runs, std::move(pendingText_), pendingProps_);
        pendingText_.clear();
    }
    pendingActive_ = false;
}

namespace {

enum class CharClass : std::uint8_t { Weak, Latin, EastAsian };

// Hangul, kana and CJK characters (and their punctuation and full-width forms) take the
// properties of double-byte text; letters of other scripts those of the rest; spaces, digits,
// punctuation and symbols side with the text around them, as word processors decide.
CharClass classOf(char32_t c) {
    if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x2FF0 && c <= 0x9FFF) ||
        (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFAFF) ||
        (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF))
        return CharClass::EastAsian;
    return QChar::isLetter(c) ? CharClass::Latin : CharClass::Weak;
}

} // namespace

void Reader::storeRun(std::vector<Run>& runs, QString text, const CharProps& props) {
    pictAwaitsBeside_ = false;
    const CharProps plain = plainProps(props);
    const EastAsian& ea = props.eastAsian;
    CharProps asian = plain;
    if (ea.font >= 0 && font(ea.font))
        asian.font = ea.font;
    if (ea.halfPoints > 0)
        asian.halfPoints = ea.halfPoints;
    if (ea.bold >= 0)
        asian.bold = ea.bold != 0;
    if (ea.italic >= 0)
        asian.italic = ea.italic != 0;
    if (ea.underline >= 0)
        asian.underline = ea.underline != 0;
    if (asian == plain) {
        runs.push_back(Run{std::move(text), plain});
        return;
    }
    // Split where the text changes between double-byte and other characters; characters that
    // side with either join the part they stand in (at the start, the part they begin), and a
    // run of nothing else goes by what the writer declared it (\dbch).
    const QStringView view(text);
    const auto push = [&](qsizetype from, qsizetype to, CharClass cls) {
        const bool isAsian =
            cls == CharClass::EastAsian || (cls == CharClass::Weak && props.script == Script::Double);
        runs.push_back(Run{view.sliced(from, to - from).toString(), isAsian ? asian : plain});
    };
    qsizetype start = 0;
    CharClass current = CharClass::Weak;
    for (qsizetype i = 0; i < view.size();) {
        char32_t c = view[i].unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < view.size() && view[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(view[i], view[i + 1]);
            width = 2;
        }
        const CharClass cls = classOf(c);
        if (cls != CharClass::Weak) {
            if (current == CharClass::Weak) {
                current = cls;
            } else if (cls != current) {
                push(start, i, current);
                start = i;
                current = cls;
            }
        }
        i += width;
    }
    push(start, view.size(), current);
}

namespace {
// The text before or after a list's numbers: one line of plain characters.
QString numberText(const QString& text) {
    return sanitized(text).remove(u'\t').remove(QChar::LineSeparator);
}
} // namespace

Reader::ListInfo Reader::listInfo(const ParaProps& para) const {
    ListInfo info;
    // A list of the list table, when the paragraph names one that is there.
    if (para.ls > 0) {
        const auto listId = listIdByLs_.constFind(para.ls);
        const auto index =
            listId == listIdByLs_.constEnd() ? listById_.constEnd() : listById_.constFind(*listId);
        if (index != listById_.constEnd()) {
            info.ls = para.ls;
            info.level = clampInt(para.level, 0, 8);
            const ListLevel& level = lists_[static_cast<std::size_t>(*index)].levels[info.level];
            QTextListFormat::Style style = QTextListFormat::ListDecimal;
            switch (level.nfc) {
            case 23: // bullet
                info.kind = Numbering::Bullet;
                return info;
            case 0:
                style = QTextListFormat::ListDecimal;
                break;
            case 1:
                style = QTextListFormat::ListUpperRoman;
                break;
            case 2:
                style = QTextListFormat::ListLowerRoman;
                break;
            case 3:
                style = QTextListFormat::ListUpperAlpha;
                break;
            case 4:
                style = QTextListFormat::ListLowerAlpha;
                break;
            default: // other number systems, and none
                info.kind = Numbering::Other;
                return info;
            }
            info.kind = level.template_ ? Numbering::Number : Numbering::Other;
            info.format.setStyle(style);
            info.format.setNumberPrefix(numberText(level.prefix));
            info.format.setNumberSuffix(numberText(level.suffix));
            info.start = level.start;
            return info;
        }
    }
    const PnProps& pn = para.pn;
    info.kind = pn.kind == Numbering::Number && !pn.styleKnown ? Numbering::Other : pn.kind;
    if (info.kind == Numbering::Number) {
        info.format.setStyle(pn.style);
        info.format.setNumberPrefix(numberText(pn.before));
        info.format.setNumberSuffix(numberText(pn.after));
        info.start = pn.start;
    }
    return info;
}

namespace {
bool sameNumbers(const QTextList* list, const QTextListFormat& format) {
    const QTextListFormat f = list->format();
    return f.style() == format.style() && f.numberPrefix() == format.numberPrefix() &&
           f.numberSuffix() == format.numberSuffix();
}
qint64 listKey(int ls, int level) {
    return qint64(ls) << 4 | level;
}
// What tells lists numbered by \pn apart: the style and the text around the numbers.
QString lookOf(const QTextListFormat& f) {
    return QString::number(f.style()) + u'\x1f' + f.numberPrefix() + u'\x1f' + f.numberSuffix();
}
} // namespace

bool Reader::placeNumbered(const ListInfo& info, OpenList** open) {
    // The document model numbers every list from 1. An item joins the list it continues:
    // the same list and level of the list table, or (\pn) the numbered paragraph just before
    // it, or the last list numbered alike when its number says it resumes that one. A list
    // that would start elsewhere than at 1 keeps its numbers as text.
    if (info.ls > 0) {
        for (int level = info.level + 1; level < 9; ++level)
            tableLists_.remove(listKey(info.ls, level)); // deeper levels count anew after it
        OpenList& slot = tableLists_[listKey(info.ls, info.level)];
        if (slot.list && sameNumbers(slot.list, info.format)) {
            *open = &slot;
            return true;
        }
        slot = OpenList{};
        *open = &slot;
        return info.start == 1;
    }
    const QString look = lookOf(info.format);
    OpenList& slot = pnLists_[look];
    if (slot.list && (pnLast_ == look || slot.items == info.start - 1)) {
        *open = &slot;
        return true;
    }
    slot = OpenList{};
    *open = &slot;
    return info.start == 1;
}

void Reader::endParagraph() {
    flushPending();
    const ParaProps& para = top().para;
    ListInfo info = listInfo(para);
    OpenList* open = nullptr;
    if (info.kind == Numbering::Number && !placeNumbered(info, &open))
        info.kind = Numbering::Other;
    const bool item = info.kind == Numbering::Bullet || info.kind == Numbering::Number;
    if (!item && !pnRuns_.empty()) {
        // A number the model cannot show keeps its literal text at the start of the paragraph.
        pnRuns_.insert(pnRuns_.end(), std::make_move_iterator(bodyRuns_.begin()),
                       std::make_move_iterator(bodyRuns_.end()));
        bodyRuns_.swap(pnRuns_);
    }
    emitBlock(para, info, plainProps(top().chr), bodyRuns_);
    if (info.kind == Numbering::Number) {
        QTextBlock block = cursor_.block();
        if (open->list) {
            open->list->add(block);
        } else {
            info.format.setIndent(1);
            open->list = cursor_.createList(info.format);
        }
        ++open->items;
    }
    pnLast_ = info.kind == Numbering::Number && info.ls == 0 ? lookOf(info.format) : QString();
    bodyRuns_.clear();
    pnRuns_.clear();
    pictures_.clear();
    pictAwaitsBeside_ = false;
}

void Reader::finish() {
    flushPending();
    if (fontOpen_)
        finishFont();
    // Text after the last \par makes a last paragraph; bytes that are no text (the NUL some
    // writers put after the closing brace, line ends) do not.
    const auto hasText = [](const std::vector<Run>& runs) {
        return std::any_of(runs.begin(), runs.end(),
                           [](const Run& run) { return run.picture >= 0 || !sanitized(run.text).isEmpty(); });
    };
    const Numbering kind = listInfo(top().para).kind;
    const bool item = kind == Numbering::Bullet || kind == Numbering::Number;
    if (hasText(bodyRuns_) || (!item && hasText(pnRuns_)))
        endParagraph();
}

QTextBlockFormat Reader::blockFormat(const ParaProps& para, bool bullet) const {
    QTextBlockFormat format;
    switch (para.align) {
    case 1:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case 2:
        format.setAlignment(Qt::AlignRight);
        break;
    case 3:
        format.setAlignment(Qt::AlignJustify);
        break;
    default:
        break;
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
    if (props.link > 0 && props.link <= static_cast<int>(links_.size())) {
        format.setAnchor(true);
        format.setAnchorHref(links_[static_cast<std::size_t>(props.link - 1)]);
    }
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
        if (index <= 0 || index >= static_cast<int>(colours_.size()))
            return nullptr;
        const Colour& entry = colours_[static_cast<std::size_t>(index)];
        return entry.automatic ? nullptr : &entry;
    };
    if (const Colour* fg = colour(props.fg))
        format.setForeground(QColor(fg->rgb));
    else if (format.isAnchor())
        format.setForeground(QColor(0, 0, 255)); // a link looks like one unless it has a colour
    if (format.isAnchor())
        format.setFontUnderline(true);
    if (const Colour* bg = colour(props.bg))
        format.setBackground(QColor(bg->rgb));
    return formats_.emplace(props, format).first->second;
}

void Reader::emitBlock(const ParaProps& para, const ListInfo& list, const CharProps& mark,
                       const std::vector<Run>& runs) {
    const bool bullet = list.kind == Numbering::Bullet;
    const QTextBlockFormat format = blockFormat(para, bullet || list.kind == Numbering::Number);
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
        if (run.picture >= 0) {
            Picture& picture = pictures_[static_cast<std::size_t>(run.picture)];
            completePicture(picture);
            QTextCharFormat pictureChar = charFormat(run.props);
            pictureChar.merge(pictureFormat(picture, *cursor_.document()));
            cursor_.insertImage(pictureChar.toImageFormat());
            picture = Picture{}; // its bytes live in the document now
            continue;
        }
        const QString text = sanitized(run.text);
        if (!text.isEmpty())
            cursor_.insertText(text, charFormat(run.props));
    }
}

int Reader::codePageOfText(const CharProps& props) {
    // Double-byte text is in the code page of its own font when the writer gave it one.
    if (props.script == Script::Double && !props.rtl && props.eastAsian.font >= 0 &&
        font(props.eastAsian.font))
        return codePageOf(props.eastAsian.font);
    return codePageOf(props.font);
}

const FontEntry* Reader::font(int number) const {
    const auto found = fontIndex_.constFind(number);
    return found == fontIndex_.constEnd() ? nullptr : &fonts_[static_cast<std::size_t>(*found)];
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

qsizetype rtfStart(const QByteArray& bytes) {
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return QByteArrayView(bytes).sliced(i).startsWith("{\\rtf") ? i : -1;
}

} // namespace stikko::rtf::detail
