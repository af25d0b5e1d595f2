#include "dialogs/stikko_find.h"

#include "platform/appenv.h"
#include "theme/colors.h"
#include "theme/fonts.h"
#include "theme/icons.h"
#include "theme/xpstyle.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace stikko {

namespace {

// How much of the text around a match a row shows: the view cuts what does not fit.
constexpr qsizetype kCharsBefore = 24;
constexpr qsizetype kCharsAfter = 160;
// A burst of notes coming into the index is one search.
constexpr int kIndexGatherMs = 40;
constexpr QSize kInitialSize(440, 400);
constexpr int kRowPadding = 4;

// The light yellow that marks a match, and the grey of the text around it.
const QColor kMatchBackground(255, 236, 140);
const QColor kContextText(96, 96, 96);

// Tabs and other control characters shown as blanks: a row is one line.
QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return text;
}

// The title a row shows: the record's, or for a record without one what a note's window would
// take from its text (its second line, else its first).
QString titleOf(const FoundNote& note) {
    QString title = note.title.trimmed();
    if (title.isEmpty()) {
        const QStringList lines = note.text.left(4096).split(u'\n');
        title = lines.value(lines.size() >= 2 ? 1 : 0).trimmed().left(80);
    }
    return title.isEmpty() ? QStringLiteral("(제목 없음)") : title;
}

QColor systemColor(int index) {
    return colors::toQColor(colors::systemColorValue(index));
}

// A row: the title (bold) with the marks at its right, and below it the line around the match.
class FoundNoteDelegate : public QStyledItemDelegate {
  public:
    FoundNoteDelegate(TXPStyle* style, QObject* parent) : QStyledItemDelegate(parent), style_(style) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), 2 * option.fontMetrics.height() + 3 * kRowPadding};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const auto* model = static_cast<const FoundNotesModel*>(index.model());
        const FoundNote* note = model->noteAt(index.row());
        if (!note)
            return;
        p->save();
        const QRect r = option.rect;
        // The selection as the flat menus show theirs: a light bar in a frame of the highlight.
        if (option.state & QStyle::State_Selected) {
            style_->SetGlobalColor(style_->deviceDepth(p->device()));
            const XPPalette& palette = style_->workingPalette();
            p->fillRect(r, colors::toQColor(palette.SelectionFillColor));
            p->setPen(colors::toQColor(palette.SelectionFrameColor));
            p->drawRect(r.adjusted(0, 0, -1, -1));
        } else {
            p->fillRect(r, option.palette.color(QPalette::Base));
            p->setPen(systemColor(colors::kButtonFace));
            p->drawLine(r.bottomLeft(), r.bottomRight());
        }
        const QFontMetrics plain(option.font);
        const int lineHeight = plain.height();
        const QRect first(r.left() + 6, r.top() + kRowPadding, r.width() - 12, lineHeight);
        const QRect second = first.translated(0, lineHeight + kRowPadding);

        // The marks, right-aligned in small frames.
        QFont small = option.font;
        small.setPixelSize(std::max(9, option.font.pixelSize() - 1));
        const QFontMetrics smallMetrics(small);
        int right = first.right();
        p->setFont(small);
        const QStringList marks = FoundNotesModel::marksOf(*note);
        for (auto it = marks.crbegin(); it != marks.crend(); ++it) {
            const int w = smallMetrics.horizontalAdvance(*it) + 8;
            const QRect box(right - w + 1, first.top() + 1, w, lineHeight - 2);
            p->setPen(systemColor(colors::kButtonShadow));
            p->setBrush(systemColor(colors::kButtonFace));
            p->drawRect(box.adjusted(0, 0, -1, -1));
            p->setPen(option.palette.color(QPalette::Text));
            p->drawText(box, Qt::AlignCenter, *it);
            right -= w + 4;
        }

        QFont bold = option.font;
        bold.setBold(true);
        p->setFont(bold);
        p->setPen(option.palette.color(QPalette::Text));
        const QRect titleRect(first.left(), first.top(), std::max(0, right - first.left()), lineHeight);
        const QString title = index.data(Qt::DisplayRole).toString();
        p->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                    QFontMetrics(bold).elidedText(oneLine(title), Qt::ElideRight, titleRect.width()));

        // The line around the match: the match itself on a marker's yellow.
        const FoundLine line = foundLineOf(*note);
        p->setFont(option.font);
        int x = second.left();
        const auto draw = [&](const QString& text, bool match) {
            if (text.isEmpty() || x >= second.right())
                return;
            const int room = second.right() - x;
            const QString shown = plain.elidedText(oneLine(text), Qt::ElideRight, room);
            const int w = plain.horizontalAdvance(shown);
            if (match) {
                p->fillRect(QRect(x, second.top(), w, lineHeight), kMatchBackground);
                p->setPen(option.palette.color(QPalette::Text));
            } else {
                p->setPen(kContextText);
            }
            p->drawText(QRect(x, second.top(), room, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, shown);
            x += w;
        };
        draw(line.before, false);
        draw(line.match, true);
        draw(line.after, false);
        p->restore();
    }

  private:
    TXPStyle* style_;
};

} // namespace

FoundLine foundLineOf(const FoundNote& note) {
    FoundLine line;
    const QString& text = note.text;
    if (note.match.start < 0 || note.match.start + note.match.length > text.size()) {
        // Found by the title alone: the first line of the text that says something more.
        for (const QStringView l : QStringView(text).split(u'\n')) {
            const QStringView trimmed = l.trimmed();
            if (!trimmed.isEmpty() && trimmed != note.title) {
                line.after = trimmed.left(kCharsAfter).toString();
                break;
            }
        }
        return line;
    }
    const qsizetype start = note.match.start;
    const qsizetype end = start + note.match.length;
    const qsizetype lineStart = start > 0 ? text.lastIndexOf(u'\n', start - 1) + 1 : 0;
    qsizetype lineEnd = text.indexOf(u'\n', end);
    if (lineEnd < 0)
        lineEnd = text.size();
    const qsizetype from = std::max(lineStart, start - kCharsBefore);
    line.before = (from > lineStart ? QStringLiteral("…") : QString()) + text.mid(from, start - from);
    line.match = text.mid(start, end - start);
    line.after = text.mid(end, std::min(lineEnd - end, kCharsAfter));
    return line;
}

// --- The rows -------------------------------------------------------------------------------

void FoundNotesModel::setNotes(std::vector<FoundNote> notes) {
    beginResetModel();
    notes_ = std::move(notes);
    endResetModel();
}

const FoundNote* FoundNotesModel::noteAt(int row) const {
    return row >= 0 && row < int(notes_.size()) ? &notes_[std::size_t(row)] : nullptr;
}

int FoundNotesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(notes_.size());
}

QStringList FoundNotesModel::marksOf(const FoundNote& note) {
    QStringList marks;
    if (note.unreadable)
        marks << QStringLiteral("읽을 수 없음");
    if (note.ringing)
        marks << QStringLiteral("알람");
    if (note.folded)
        marks << QStringLiteral("접힘");
    if (note.hidden)
        marks << QStringLiteral("숨김");
    return marks;
}

QVariant FoundNotesModel::data(const QModelIndex& index, int role) const {
    const FoundNote* note = noteAt(index.row());
    if (!note || !index.isValid())
        return {};
    const QString title = titleOf(*note);
    switch (role) {
    case Qt::DisplayRole:
        return title;
    case Qt::AccessibleTextRole: {
        // What a screen reader says of the row: all that the row shows.
        const FoundLine line = foundLineOf(*note);
        QString said = oneLine(title);
        const QString text = oneLine(line.before + line.match + line.after).trimmed();
        if (!text.isEmpty())
            said += QStringLiteral(" — ") + text;
        const QStringList marks = marksOf(*note);
        if (!marks.isEmpty())
            said += QStringLiteral(" (") + marks.join(QStringLiteral(", ")) + u')';
        return said;
    }
    default:
        return {};
    }
}

// --- The field ------------------------------------------------------------------------------

FindField::FindField(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &FindField::tell);
}

void FindField::tell() {
    // A syllable committed changes the text and ends the composition at once: one change.
    const QString now = query();
    if (now == told_)
        return;
    told_ = now;
    emit queryChanged();
}

QString FindField::query() const {
    QString typed = text();
    if (!preedit_.isEmpty())
        typed.insert(std::clamp<qsizetype>(cursorPosition(), 0, typed.size()), preedit_);
    return typed;
}

void FindField::inputMethodEvent(QInputMethodEvent* event) {
    QLineEdit::inputMethodEvent(event);
    // The syllable being composed counts as typed: the list follows it key by key.
    preedit_ = event->preeditString();
    tell();
}

// --- The window -----------------------------------------------------------------------------

TfrmStikko_find::TfrmStikko_find(NoteIndex& index, FindHost& host, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint), index_(index), host_(host) {
    setObjectName(QStringLiteral("frmStikko_find"));
    setWindowTitle(QStringLiteral("메모 찾기"));
    setWindowIcon(icons::windowIcon());
    QFont font = fonts::proportional();
    font.setPixelSize(12);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, systemColor(colors::kButtonFace));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(6);

    edQuery = new FindField(this);
    edQuery->setObjectName(QStringLiteral("edQuery"));
    edQuery->setAccessibleName(QStringLiteral("찾을 말"));
    edQuery->setPlaceholderText(QStringLiteral("제목이나 내용의 낱말 (초성도 됩니다: ㅎㄱ)"));
    edQuery->setMinimumHeight(24);
    edQuery->installEventFilter(this);
    layout->addWidget(edQuery);

    model_ = new FoundNotesModel(this);
    lbFound = new QListView(this);
    lbFound->setObjectName(QStringLiteral("lbFound"));
    lbFound->setAccessibleName(QStringLiteral("찾은 메모"));
    lbFound->setModel(model_);
    lbFound->setUniformItemSizes(true);
    lbFound->setSelectionMode(QAbstractItemView::SingleSelection);
    lbFound->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbFound->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The keyboard stays in the field; the rows are chosen from there or with the mouse.
    lbFound->setFocusPolicy(Qt::NoFocus);
    // A flat one-pixel frame, as the program's other lists have.
    lbFound->setFrameShape(QFrame::Box);
    lbFound->setFrameShadow(QFrame::Plain);
    QPalette listPalette = lbFound->palette();
    listPalette.setColor(QPalette::WindowText, systemColor(colors::kButtonShadow));
    lbFound->setPalette(listPalette);
    layout->addWidget(lbFound, 1);

    labStatus = new QLabel(this);
    labStatus->setObjectName(QStringLiteral("labStatus"));
    labStatus->setAccessibleName(QStringLiteral("찾기 상태"));
    labStatus->setWordWrap(true);
    layout->addWidget(labStatus);

    xpStyle_ = new TXPStyle(this);
    configureFormStyle(*xpStyle_, xcPopupMenu | xcEdit, xccForm | xccFrame | xccPanel);
    xpStyle_->SetActive(true);
    lbFound->setItemDelegate(new FoundNoteDelegate(xpStyle_, lbFound));

    connect(edQuery, &FindField::queryChanged, this, [this] { search(); });
    connect(lbFound, &QListView::activated, this, [this] { openSelected(); });
    connect(lbFound, &QListView::doubleClicked, this, [this] { openSelected(); });

    indexChanged_ = new QTimer(this);
    indexChanged_->setSingleShot(true);
    indexChanged_->setInterval(kIndexGatherMs);
    connect(indexChanged_, &QTimer::timeout, this, [this] {
        if (isVisible())
            search();
    });
    connect(&index_, &NoteIndex::changed, indexChanged_, qOverload<>(&QTimer::start));

    resize(kInitialSize);
    const QSize area = env::workArea();
    move(std::max(0, (area.width() - width()) / 2), std::max(0, (area.height() - height()) / 3));
}

TfrmStikko_find::~TfrmStikko_find() = default;

void TfrmStikko_find::openWith(const std::optional<QString>& text) {
    if (text)
        edQuery->setText(*text);
    gone_.clear();
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    edQuery->setFocus(Qt::ActiveWindowFocusReason);
    edQuery->selectAll();
    search();
}

void TfrmStikko_find::search() {
    // The notes open now as they are shown (text typed a moment ago included).
    host_.refreshIndex();
    const QString typed = edQuery->query();
    // A new query starts at its best match; the same one searched again (notes coming in while
    // the index is read) keeps the row chosen.
    QByteArray chosen;
    if (typed == searchedFor_ && lbFound->currentIndex().isValid()) {
        if (const FoundNote* note = model_->noteAt(lbFound->currentIndex().row()))
            chosen = note->id;
    }
    searchedFor_ = typed;
    query_ = search::Query(typed);
    model_->setNotes(index_.search(query_));
    int row = 0;
    for (int i = 0; !chosen.isEmpty() && i < model_->rowCount(); ++i) {
        if (model_->noteAt(i)->id == chosen) {
            row = i;
            break;
        }
    }
    if (model_->rowCount() > 0) {
        lbFound->setCurrentIndex(model_->index(row));
        lbFound->scrollTo(model_->index(row));
    }
    // What the refresh itself changed is in this search already.
    indexChanged_->stop();
    showStatus();
}

void TfrmStikko_find::showStatus() {
    QString status;
    if (!gone_.isEmpty())
        status = QStringLiteral("“%1” 메모는 더 이상 없습니다. ").arg(gone_);
    const int found = model_->rowCount();
    if (!index_.complete()) {
        status += index_.toRead() > 0
                      ? QStringLiteral("메모를 읽는 중입니다 (%1/%2). 찾은 메모가 더 늘어날 수 있습니다.")
                            .arg(index_.readSoFar())
                            .arg(index_.toRead())
                      : QStringLiteral("메모를 읽는 중입니다. 찾은 메모가 더 늘어날 수 있습니다.");
    } else if (query_.isEmpty()) {
        status += QStringLiteral("메모 %1개 (최근에 바뀐 것부터)").arg(found);
    } else if (found == 0) {
        status += QStringLiteral("찾는 말이 들어 있는 메모가 없습니다.");
    } else {
        status += QStringLiteral("메모 %1개를 찾았습니다.").arg(found);
    }
    labStatus->setText(status);
}

void TfrmStikko_find::moveSelection(int rows) {
    const int count = model_->rowCount();
    if (count == 0)
        return;
    const int current = lbFound->currentIndex().isValid() ? lbFound->currentIndex().row() : -1;
    const int next = std::clamp(current + rows, 0, count - 1);
    lbFound->setCurrentIndex(model_->index(next));
    lbFound->scrollTo(model_->index(next));
}

void TfrmStikko_find::openSelected() {
    const int row = lbFound->currentIndex().isValid() ? lbFound->currentIndex().row() : 0;
    const FoundNote* note = model_->noteAt(row);
    if (!note)
        return;
    // Copies: opening runs the program's code, which may search again and replace the rows.
    const QByteArray id = note->id;
    const QString title = note->title;
    const search::Query query = query_;
    if (host_.showFoundNote(id, query)) {
        gone_.clear();
        close();
        return;
    }
    gone_ = title;
    search();
}

bool TfrmStikko_find::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edQuery && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int page =
            std::max(1, lbFound->viewport()->height() /
                            std::max(1, lbFound->sizeHintForRow(0) > 0 ? lbFound->sizeHintForRow(0) : 1));
        switch (key->key()) {
        case Qt::Key_Up:
            moveSelection(-1);
            return true;
        case Qt::Key_Down:
            moveSelection(1);
            return true;
        case Qt::Key_PageUp:
            moveSelection(-page);
            return true;
        case Qt::Key_PageDown:
            moveSelection(page);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openSelected();
            return true;
        case Qt::Key_Escape:
            close();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmStikko_find::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace stikko
