#include "dialogs/stikko_admin.h"

#include "note/notedialogs.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/rtf.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/noteregistry.h"
#include "theme/colors.h"
#include "theme/fonts.h"
#include "theme/icons.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <cstring>

namespace stikko {

TfrmStikko_admin* frmStikko_admin = nullptr;

namespace {

constexpr int kClientWidth = 406;
constexpr int kClientHeight = 293;
constexpr int kFrameHeight = 252;
constexpr int kFrameWidth = 4;
constexpr int kInnerWidth = kClientWidth - 2 * kFrameWidth;
constexpr int kHeadingHeight = 27;
constexpr int kColumnsHeight = 18;
constexpr int kTitleColumnWidth = 263;
constexpr int kAlarmColumnWidth = 134;
constexpr int kLineHeight = 16;

constexpr int32_t kFrameColor = 16411517;  // the frame and the heading strip
constexpr int32_t kColumnsColor = 6781577; // the column-title strip
constexpr int32_t kColumnTitleColor = 11781840;

void padTo(QByteArray& text, qsizetype width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
}

// `text` cut to at most `limit` bytes, stepping over double-byte characters whole.
QByteArray cutAtCharacter(const QByteArray& text, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype step =
            cp949::isLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + step > limit)
            break;
        end += step;
    }
    return text.left(end);
}

QPalette filled(QWidget* widget, const QColor& background, const QColor& text = Qt::black) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    return palette;
}

QFont fixedPitchFont() {
    QFont font = fonts::fixedPitch(12);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// Every line of the check list is exactly 16 pixels high, whatever the font says.
class FixedLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kLineHeight);
    }
};

// The title note `id`'s body gives, as the note window takes it from its text; empty when the
// body cannot be read.
QString titleFromBody(QByteArrayView id) {
    const BodyLoad body = noteFiles().loadBody(id);
    if (body.state != FileState::Loaded)
        return {};
    QTextDocument document;
    rtf::read(body.rtf, document);
    // Lines as the window counts them: a last empty paragraph after a line break is none.
    int lines = document.isEmpty() ? 0 : document.blockCount();
    if (lines > 1 && document.lastBlock().length() <= 1)
        --lines;
    return NoteTitle(lines, document.firstBlock().text(), document.firstBlock().next().text());
}

// The list line of a note as shown. Its title holds '?' for a character without a CP949 form
// ("–", an emoji); when the body gives that title again, the body's own characters are shown.
QString shownLine(const QByteArray& id, const NoteRecord& record) {
    const QByteArray line = FormatAdminLine(record);
    const QByteArrayView title = cp949::fieldBytes(record.title);
    if (title.contains('?') && line.startsWith(title)) {
        const QString fromBody = titleFromBody(id);
        if (!fromBody.isEmpty() && cp949::encode(fromBody) == title)
            return fromBody + cp949::decode(QByteArrayView(line).sliced(title.size()));
    }
    return cp949::decode(line);
}

} // namespace

QByteArray FormatAdminLine(const NoteRecord& record) {
    QByteArray line = cp949::fieldBytes(record.title).toByteArray();
    padTo(line, 40);
    line += "   ";
    QByteArray alarm;
    if (record.isalram != 0)
        alarm = cp949::fieldBytes(record.alram_datetime).toByteArray();
    padTo(alarm, 20);
    line += alarm;
    return cutAtCharacter(line, kAdminLineLimit);
}

TfrmStikko_admin::TfrmStikko_admin(QWidget* owner, NoteRegistry& registry)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      registry_(registry) {
    buildForm();
}

TfrmStikko_admin::~TfrmStikko_admin() {
    if (frmStikko_admin == this)
        frmStikko_admin = nullptr;
}

void TfrmStikko_admin::buildForm() {
    setObjectName(QStringLiteral("frmStikko_admin"));
    setWindowTitle(QStringLiteral("Stikko"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(fixedPitchFont());
    setAutoFillBackground(true);
    setPalette(filled(this, Qt::white));

    const QColor frameColor = colors::toQColor(kFrameColor);

    pnFrame = new QFrame(this);
    pnFrame->setObjectName(QStringLiteral("pnFrame"));
    pnFrame->setGeometry(0, 0, kClientWidth, kFrameHeight);
    pnFrame->setAutoFillBackground(true);
    pnFrame->setPalette(filled(pnFrame, frameColor));

    labHeading = new QLabel(QStringLiteral("▣ 화면에 보여야 하는 메모장은 체크를 하세요"), pnFrame);
    labHeading->setObjectName(QStringLiteral("labHeading"));
    labHeading->setGeometry(kFrameWidth, kFrameWidth, kInnerWidth, kHeadingHeight);
    labHeading->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labHeading->setIndent(4);
    labHeading->setAutoFillBackground(true);
    labHeading->setPalette(filled(labHeading, frameColor, Qt::white));

    pnColumns = new QFrame(pnFrame);
    pnColumns->setObjectName(QStringLiteral("pnColumns"));
    pnColumns->setGeometry(kFrameWidth, kFrameWidth + kHeadingHeight, kInnerWidth, kColumnsHeight);
    pnColumns->setAutoFillBackground(true);
    pnColumns->setPalette(filled(pnColumns, colors::toQColor(kColumnsColor)));

    // The strip's darker colour shows as a one-pixel rule around and between the two titles.
    const QColor titleBackground = colors::toQColor(kColumnTitleColor);
    labTitle = new QLabel(QStringLiteral("제    목"), pnColumns);
    labTitle->setObjectName(QStringLiteral("labTitle"));
    labTitle->setGeometry(0, 1, kTitleColumnWidth, kColumnsHeight - 2);
    labAlarm = new QLabel(QStringLiteral("알람 시간"), pnColumns);
    labAlarm->setObjectName(QStringLiteral("labAlarm"));
    labAlarm->setGeometry(kInnerWidth - kAlarmColumnWidth, 1, kAlarmColumnWidth, kColumnsHeight - 2);
    for (QLabel* label : {labTitle, labAlarm}) {
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
        label->setPalette(filled(label, titleBackground));
    }

    buildList();

    sbClose = new QToolButton(this);
    sbClose->setObjectName(QStringLiteral("sbClose"));
    sbClose->setText(QStringLiteral("닫기"));
    sbClose->setAutoRaise(true);
    sbClose->setGeometry(kClientWidth - 65 - 7, kFrameHeight + (kClientHeight - kFrameHeight - 22) / 2, 65,
                         22);
    connect(sbClose, &QToolButton::clicked, this, &TfrmStikko_admin::sbCloseClick);

    buildMenu();
    connect(clbStikko, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { puEdit->popup(clbStikko->viewport()->mapToGlobal(at)); });
}

void TfrmStikko_admin::buildList() {
    clbStikko = new QListWidget(pnFrame);
    clbStikko->setObjectName(QStringLiteral("clbStikko"));
    const int listTop = kFrameWidth + kHeadingHeight + kColumnsHeight;
    clbStikko->setGeometry(kFrameWidth, listTop, kInnerWidth, kFrameHeight - kFrameWidth - listTop);
    clbStikko->setFrameShape(QFrame::NoFrame);
    clbStikko->setItemDelegate(new FixedLineDelegate(clbStikko));
    clbStikko->setUniformItemSizes(true);
    clbStikko->setSelectionMode(QAbstractItemView::SingleSelection);
    clbStikko->setTextElideMode(Qt::ElideNone);
    clbStikko->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    clbStikko->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette listPalette = clbStikko->palette();
    listPalette.setColor(QPalette::Base, Qt::white);
    listPalette.setColor(QPalette::Text, Qt::black);
    clbStikko->setPalette(listPalette);
    clbStikko->setContextMenuPolicy(Qt::CustomContextMenu);
    clbStikko->viewport()->installEventFilter(this);
    connect(clbStikko, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (filling_)
            return;
        // A line whose box the user ticks becomes the selected line, as the menu expects.
        const int line = clbStikko->row(item);
        if (selectedLine() != line)
            clbStikko->setCurrentRow(line);
        clbStikkoClickCheck(line);
    });
}

void TfrmStikko_admin::buildMenu() {
    puEdit = new QMenu(this);
    puEdit->setObjectName(QStringLiteral("puEdit"));
    nnHide = new QAction(icons::editIcon(15), QStringLiteral("화면에서 숨기기"), this);
    nnHide->setObjectName(QStringLiteral("nnHide"));
    nnHide->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    nnDelete = new QAction(icons::editIcon(12), QStringLiteral("완전 삭제"), this);
    nnDelete->setObjectName(QStringLiteral("nnDelete"));
    nnDelete->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    puEdit->addAction(nnHide);
    puEdit->addAction(nnDelete);
    addAction(nnHide); // the shortcuts work while the manager has the focus
    addAction(nnDelete);
    connect(nnHide, &QAction::triggered, this, &TfrmStikko_admin::nnHideClick);
    connect(nnDelete, &QAction::triggered, this, &TfrmStikko_admin::nnDeleteClick);
}

bool TfrmStikko_admin::eventFilter(QObject* watched, QEvent* event) {
    // The right button only opens the menu: the menu acts on the line already selected, so a
    // right click must not move the selection to the line under the pointer.
    if (watched == clbStikko->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
                return true;
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmStikko_admin::showEvent(QShowEvent* event) {
    // Only when the program shows the form: coming back from the task bar it keeps its
    // place, its lines and their selection.
    if (!event->spontaneous()) {
        const QSize area = env::workArea();
        const QRect frame = frameGeometry();
        move(area.width() - frame.width(), area.height() - frame.height());
        FillList();
    }
    QDialog::showEvent(event);
}

void TfrmStikko_admin::done(int result) {
    emptyLists();
    QDialog::done(result);
}

void TfrmStikko_admin::emptyLists() {
    filling_ = true;
    clbStikko->clear();
    lbOid.clear();
    filling_ = false;
}

void TfrmStikko_admin::FillList() {
    filling_ = true;
    clbStikko->clear();
    lbOid.clear();

    // The store's list of notes, by their exact ids as the registry opens them, with what
    // their records say; looked at again first (a stat per file, a read where one changed).
    NoteCatalogue& catalogue = noteFiles().catalogue();
    catalogue.refresh();
    const QList<NoteFacts> notes = catalogue.notes();
    for (const NoteFacts& note : notes) {
        NoteRecord record{};
        cp949::copyToField(record.title, note.title);
        record.isalram = note.isalram;
        cp949::copyToField(record.alram_datetime, note.alarmMoment);

        auto* item = new QListWidgetItem(shownLine(note.id, record));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(note.isshow == 1 ? Qt::Checked : Qt::Unchecked);
        clbStikko->addItem(item);
        // Appended in the order of the lines, so entry i stays the note of line i whatever
        // the ids look like.
        lbOid.append(note.id);
    }
    filling_ = false;
}

int TfrmStikko_admin::selectedLine() const {
    QListWidgetItem* item = clbStikko->currentItem();
    if (!item || !item->isSelected())
        return -1;
    return clbStikko->row(item);
}

void TfrmStikko_admin::sbCloseClick() {
    close();
}

void TfrmStikko_admin::clbStikkoClickCheck(int line) {
    if (line < 0 || line >= lbOid.size() || line >= clbStikko->count())
        return;
    const QByteArray id = lbOid.at(line); // a copy: the registry may come back into this form
    if (clbStikko->item(line)->checkState() == Qt::Checked)
        registry_.OpenNoteWindow(id.constData());
    else
        registry_.CloseNoteWindow(id.constData());
}

void TfrmStikko_admin::nnHideClick() {
    const int line = selectedLine();
    if (line < 0)
        return;
    QListWidgetItem* item = clbStikko->item(line);
    filling_ = true;
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    filling_ = false;
    clbStikkoClickCheck(line);
}

void TfrmStikko_admin::nnDeleteClick() {
    const int line = selectedLine();
    if (line < 0 || line >= lbOid.size())
        return;
    if (!confirmDelete(this))
        return;
    if (line >= lbOid.size() || line >= clbStikko->count())
        return;
    const QByteArray id = lbOid.at(line);
    if (!registry_.DeleteNote(id.constData()))
        return; // the files are still there; the user has been told
    lbOid.removeAt(line);
    filling_ = true;
    delete clbStikko->takeItem(line);
    // Like a list box after a deletion: no line is selected, so a second command cannot hit
    // the neighbour of the deleted note by accident.
    clbStikko->setCurrentRow(-1);
    clbStikko->clearSelection();
    filling_ = false;
}

bool RunNoteManager(QWidget* owner, NoteRegistry& registry, const std::function<void(bool)>& setTrayEnabled) {
    if (frmStikko_admin)
        return false;
    if (setTrayEnabled)
        setTrayEnabled(false);
    QPointer<TfrmStikko_admin> form = new TfrmStikko_admin(owner, registry);
    frmStikko_admin = form;
    form->exec();
    delete form.data(); // null when the owner went away during the modal run
    frmStikko_admin = nullptr;
    if (setTrayEnabled)
        setTrayEnabled(true);
    return true;
}

} // namespace stikko
