// The output side of the RTF reader: a paragraph's runs, bullet and properties become a block of
// the document when the paragraph ends; fonts and code pages come from the font table.

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
    return lists_[static_cast<std::size_t>(*index)].nfc[para.level] == 23; // 23: the bullet level format
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
        return std::any_of(runs.begin(), runs.end(),
                           [](const Run& run) { return !sanitized(run.text).isEmpty(); });
    };
    if (hasText(bodyRuns_) || (!isBullet(top().para) && hasText(pnRuns_)))
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
    if (const Colour* bg = colour(props.bg))
        format.setBackground(QColor(bg->rgb));
    return formats_.emplace(props, format).first->second;
}

void Reader::emitBlock(const ParaProps& para, bool bullet, const CharProps& mark,
                       const std::vector<Run>& runs) {
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
