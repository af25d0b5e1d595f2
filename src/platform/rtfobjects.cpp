// The reader's objects: pictures (\pict, with \shppict and \nonshppict as word processors pair
// them), link fields (\field with a HYPERLINK instruction) and list number templates. Picture
// bytes are decoded as they come, in linear time; a picture whose bytes are broken is left out
// and nothing else with it.

#include "platform/rtfreader_p.h"

#include <array>

namespace stikko::rtf::detail {

namespace {

constexpr std::array<std::int16_t, 256> kHex = [] {
    std::array<std::int16_t, 256> table{};
    for (std::size_t c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            table[c] = static_cast<std::int16_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            table[c] = static_cast<std::int16_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            table[c] = static_cast<std::int16_t>(c - 'A' + 10);
        else if (c == ' ' || c == '\t')
            table[c] = -2; // blanks between the digits
        else
            table[c] = -1;
    }
    return table;
}();

int clampedSize(int param) {
    return std::clamp(param, 0, 1 << 24);
}

// The address a HYPERLINK instruction opens, or nothing (another field, or a link only to a
// place in the same document).
QString hyperlinkOf(QStringView instruction) {
    QStringList tokens;
    QList<bool> quoted;
    qsizetype i = 0;
    const qsizetype n = instruction.size();
    while (i < n) {
        while (i < n && instruction[i].isSpace())
            ++i;
        if (i >= n)
            break;
        if (instruction[i] == u'"') {
            const qsizetype end = instruction.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? n : end;
            tokens << instruction.sliced(i + 1, stop - i - 1).toString();
            quoted << true;
            i = stop + 1;
        } else {
            qsizetype j = i;
            while (j < n && !instruction[j].isSpace())
                ++j;
            tokens << instruction.sliced(i, j - i).toString();
            quoted << false;
            i = j;
        }
    }
    if (tokens.isEmpty() || tokens.first().compare(u"HYPERLINK", Qt::CaseInsensitive) != 0)
        return {};
    QString address, place;
    for (qsizetype t = 1; t < tokens.size(); ++t) {
        const QString& token = tokens[t];
        if (!quoted[t] && token.size() >= 2 && token[0] == u'\\') {
            const QChar option = token[1].toLower();
            // \l (a place), \o (a tip), \t (a target frame) take an argument; \m and \n none.
            if (option == u'l' || option == u'o' || option == u't') {
                if (t + 1 < tokens.size()) {
                    if (option == u'l')
                        place = tokens[t + 1];
                    ++t;
                }
            }
            continue;
        }
        if (address.isEmpty())
            address = token;
    }
    address = address.trimmed();
    if (address.isEmpty())
        return {};
    if (!place.isEmpty())
        address += u'#' + place.trimmed();
    return address;
}

} // namespace

void Reader::pictWord(const Word& w) {
    PictureBlob& blob = pict_.blob;
    const std::string_view name = w.name;
    const int param = w.param;
    if (name == "picw") {
        blob.native.setWidth(clampedSize(param));
    } else if (name == "pich") {
        blob.native.setHeight(clampedSize(param));
    } else if (name == "picwgoal") {
        pict_.goal.setWidth(clampedSize(param));
    } else if (name == "pichgoal") {
        pict_.goal.setHeight(clampedSize(param));
    } else if (name == "picscalex") {
        if (param > 0)
            pict_.scale.setWidth(std::min(param, 10000));
    } else if (name == "picscaley") {
        if (param > 0)
            pict_.scale.setHeight(std::min(param, 10000));
    } else if (name == "pngblip" || name == "jpegblip" || name == "emfblip" || name == "macpict") {
        blob.kind = QByteArray(name.data(), static_cast<qsizetype>(name.size()));
    } else if (name == "wmetafile" || name == "dibitmap" || name == "wbitmap" || name == "pmmetafile") {
        // The parameter is the metafile's mapping mode or the bitmap's type.
        const int defaultParam = name == "wmetafile" ? 1 : 0;
        blob.kind = QByteArray(name.data(), static_cast<qsizetype>(name.size())) +
                    QByteArray::number(w.hasParam ? std::clamp(param, 0, 1 << 16) : defaultParam);
    } else {
        // A device bitmap's geometry, kept to be written back with it.
        blob.extra += '\\';
        blob.extra += QByteArray(name.data(), static_cast<qsizetype>(name.size()));
        if (w.hasParam)
            blob.extra += QByteArray::number(std::clamp(param, 0, 1 << 16));
    }
}

void Reader::pictHex(const char* p, qsizetype len) {
    if (pict_.broken)
        return;
    QByteArray& data = pict_.blob.data;
    // Room for every byte these digits can make; the buffer grows by doubling.
    const qsizetype needed = data.size() + len / 2 + 1;
    if (data.capacity() < needed)
        data.reserve(std::max(needed, data.capacity() * 2));
    const qsizetype start = data.size();
    data.resize(needed);
    char* out = data.data() + start;
    int nibble = pict_.nibble;
    for (qsizetype k = 0; k < len; ++k) {
        const int v = kHex[static_cast<unsigned char>(p[k])];
        if (v >= 0) {
            if (nibble < 0) {
                nibble = v;
            } else {
                *out++ = static_cast<char>(nibble << 4 | v);
                nibble = -1;
            }
        } else if (v == -1) {
            pict_.broken = true;
            break;
        }
    }
    pict_.nibble = nibble;
    data.truncate(out - data.constData());
}

bool Reader::pictBinary(const char* p, qsizetype len) {
    if (pict_.nibble >= 0)
        pict_.broken = true; // bytes in the middle of a hex pair
    if (!pict_.broken)
        pict_.blob.data.append(p, len);
    return true;
}

void Reader::finishPict() {
    PictDraft draft = std::move(pict_);
    pict_ = PictDraft{};
    if (draft.broken || draft.nibble >= 0 || draft.blob.data.isEmpty())
        return;
    if (draft.role == PictRole::Beside) {
        // Kept as the form beside the preferred picture just read, when it is one the
        // rich-edit control reads and is well formed; otherwise nothing.
        if (!pictAwaitsBeside_ || bodyRuns_.empty() || bodyRuns_.back().picture < 0)
            return;
        pictAwaitsBeside_ = false;
        if (!isRichEditForm(draft.blob.kind) || !decodePicture(draft.blob, {}))
            return;
        pictures_[static_cast<std::size_t>(bodyRuns_.back().picture)].fallback = std::move(draft.blob);
        return;
    }
    QSizeF goal = draft.goal;
    if (goal.width() <= 0 || goal.height() <= 0)
        goal = QSizeF();
    std::optional<Picture> picture = decodePicture(std::move(draft.blob), goal);
    if (!picture)
        return;
    if (draft.scale != QSizeF(100, 100)) {
        const auto side = [](double px) { return std::clamp(px, 1.0, double(kMaxPictureSide)); };
        picture->size = QSizeF(side(picture->size.width() * draft.scale.width() / 100),
                               side(picture->size.height() * draft.scale.height() / 100));
    }
    // The picture stands in the text where its group was, in the properties around it.
    if (top().dest != Dest::Body)
        return;
    flushPending();
    pictures_.push_back(std::move(*picture));
    Run run;
    run.props = plainProps(top().chr);
    run.picture = static_cast<int>(pictures_.size() - 1);
    bodyRuns_.push_back(std::move(run));
    pictAwaitsBeside_ = draft.role == PictRole::Preferred;
}

void Reader::fieldText(QStringView text) {
    const int field = top().field;
    if (field < 0 || field >= static_cast<int>(fields_.size()))
        return;
    QString& instruction = fields_[static_cast<std::size_t>(field)];
    if (instruction.size() < kMaxFieldText)
        instruction.append(text.left(kMaxFieldText - instruction.size()));
}

void Reader::fieldResult(State& s) {
    if (s.field < 0 || s.dest != Dest::Body)
        return;
    // An address is one line of printable characters: tabs and breaks in it are no part of it.
    const QString address = sanitized(hyperlinkOf(fields_[static_cast<std::size_t>(s.field)]))
                                .remove(u'\t')
                                .remove(QChar::LineSeparator);
    if (address.isEmpty())
        return;
    links_.push_back(address);
    s.chr.link = static_cast<std::int32_t>(links_.size());
}

void Reader::levelText(QStringView text) {
    if (levelText_.size() < 64)
        levelText_.append(text.left(64 - levelText_.size()));
}

void Reader::finishLevelText() {
    if (lists_.empty() || listLevel_ < 0 || listLevel_ >= 9)
        return;
    ListLevel& level = lists_.back().levels[listLevel_];
    // The first character is the template's length; characters below 9 stand for the number
    // of that level. One number, of this level, is what a list item of the document model shows.
    const QStringView text(levelText_);
    const qsizetype length = text.isEmpty() ? 0 : std::min<qsizetype>(text[0].unicode(), text.size() - 1);
    const QStringView body = text.sliced(std::min<qsizetype>(1, text.size()), length);
    qsizetype number = -1;
    int numbers = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i].unicode() < 9) {
            ++numbers;
            if (body[i].unicode() == listLevel_)
                number = i;
        }
    }
    level.template_ = numbers == 1 && number >= 0;
    if (level.template_) {
        level.prefix = body.first(number).toString().left(kMaxNumberText);
        level.suffix = body.sliced(number + 1).toString().left(kMaxNumberText);
    }
}

} // namespace stikko::rtf::detail
