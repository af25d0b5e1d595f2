#include "note/stikko_sub.h"

#include "note/bodyreader.h"
#include "note/bodywriter.h"
#include "note/notealarm.h"
#include "note/notedefaults.h"
#include "note/notegestures.h"
#include "note/notehost.h"
#include "note/notelayout.h"
#include "note/notepictures.h"
#include "note/notetitlebar.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/sharedpictures.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/oldpaths.h"
#include "platform/rtf.h"
#include "store/dm.h"
#include "theme/colors.h"
#include "theme/fonts.h"
#include "theme/icons.h"
#include "theme/xpstyle.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>
#include <QTimer>
#include <algorithm>
#include <cstring>

namespace stikko {

namespace {

using notelayout::kDesignHeight;
using notelayout::kDesignWidth;

// Design sizes of the title bar and the two bottom strips.
constexpr int kTitleHeight = 16;
constexpr int kToolbarHeight = 18;
constexpr int kStripHeight = 16;

// Colours at design, 0x00BBGGRR.
constexpr int32_t kBaseColor = 11056317;
constexpr int32_t kTitleColor = 5467961;
constexpr int32_t kDocPanelColor = 16185078;
constexpr int32_t kEditorColor = 12382189;
constexpr int32_t kStripColor = 11781840;

// The title bar's pictures: the two links' and the others'.
constexpr QSize kLinkPictureSize(26, 16);
constexpr QSize kPictureSize(16, 16);

QFont noteFont() {
    return fonts::fixedPitch(12);
}

} // namespace

TfrmStikko_sub::TfrmStikko_sub(QWidget* owner, NoteHost* host)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), host_(host) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The title bar's and tool bar's tips show on every note under the pointer, not only on
    // the active one.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFont(noteFont());
    resize(kDesignWidth, kDesignHeight);
    buildControls();
    layoutPanels();
    alarm_ = new NoteAlarm(record_, this);
    connect(alarm_, &NoteAlarm::ringingStarted, this, &TfrmStikko_sub::startedRinging);
    connect(alarm_, &NoteAlarm::blink, this, &TfrmStikko_sub::blinkTitle);
    gestures_ = new NoteGestures(this, pnTitle, {pnBottom->sizeGrip(), Image1},
                                 [this](const QPoint& pos) { return pnTitle->isOnPicture(pos); });
    connect(gestures_, &NoteGestures::started, this, &TfrmStikko_sub::commitComposition);
    connect(gestures_, &NoteGestures::placeTaken, this, [this] {
        record_.scr_x = x();
        record_.scr_y = y();
    });
    connect(gestures_, &NoteGestures::moved, this, &TfrmStikko_sub::storePlace);
    connect(gestures_, &NoteGestures::resized, this, &TfrmStikko_sub::storeSize);
    connect(gestures_, &NoteGestures::foldRequested, this, &TfrmStikko_sub::foldOrUnfold);
    xpStyle_ = new TXPStyle(this);
    // The body editor fills its panel, so the frame the style would draw around it, one pixel
    // outside, is never seen: it is left out (it would land on the client panel's border).
    configureFormStyle(*xpStyle_,
                       xcPopupMenu | xcCombo | xcEdit | xcCheckBox | xcRadioButton | xcButton | xcBitBtn |
                           xcSpeedButton | xcPanel,
                       xccForm | xccFrame | xccPanel | xccScrollBox | xccPageScroller);
    // The panels and the tool bar draw themselves, in the style's way while it is active (the
    // window draws its three plain panels the same way).
    for (Panel* panel : std::initializer_list<Panel*>{pnTitle, pnBottom0, pnBottom})
        panel->setXPStyle(xpStyle_);
    connect(xpStyle_, &TXPStyle::activeChanged, this, [this] { update(); });
    xpStyle_->SetActive(true);

    // The right link image answers clicks only when the defaults give it an address.
    if (!rightLinkAddress().isEmpty())
        pnTitle->setPictureCursor(NoteTitleBar::Picture::Vanto, Qt::PointingHandCursor);
    SelectionChange(); // FormCreate: the style labels start in step with the empty body
}

TfrmStikko_sub::~TfrmStikko_sub() {
    gestures_->endCursor();
    // FormDestroy: nothing left to do when the close already saved. The host may be going
    // too (it destroys its windows with itself), so it is not called from here; it learns
    // of the window's end through QObject::destroyed.
    host_ = nullptr;
    saveOnClose();
    alarm_->stop(); // a sound still playing must not keep the other notes silent
    // The editor goes before the body it edits (the window's children go in the order made).
    delete reDoc;
    reDoc = nullptr;
    // The controls outlive this part of the object while QWidget destroys them; their last
    // signals (focus, selection) must not reach handlers of a window that is gone.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

// --- Building -----------------------------------------------------------------------------

void TfrmStikko_sub::buildControls() {
    // The form's own colour shows as a one-pixel ring around the base panel.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colors::toQColor(colors::systemColorValue(colors::kButtonFace)));
    setPalette(pal);
    // The window paints all of itself (paintEvent): nothing is cleared before.
    setAttribute(Qt::WA_OpaquePaintEvent);

    pnBase.color = colors::toQColor(kBaseColor);
    buildTitleBar();
    buildBody();

    timAutosave = new QTimer(this);
    timAutosave->setSingleShot(true);
    connect(timAutosave, &QTimer::timeout, this, &TfrmStikko_sub::autosaveTimeout);
    recoveryCopy_ = new QTimer(this);
    recoveryCopy_->setObjectName(QStringLiteral("recoveryCopy"));
    recoveryCopy_->setSingleShot(true);
    connect(recoveryCopy_, &QTimer::timeout, this, [this] {
        recoveryCopyDueFrom_ = -1;
        if (bodyFailed_ && !closed_)
            keepRecoveryCopy(nullptr);
    });
}

void TfrmStikko_sub::buildTitleBar() {
    using Picture = NoteTitleBar::Picture;
    pnTitle = new NoteTitleBar(this);
    pnTitle->setObjectName(QStringLiteral("pnTitle"));
    pnTitle->setColor(colors::toQColor(kTitleColor));
    pnTitle->setToolTip(QStringLiteral("더블클릭\n= 최소화"));
    pnTitle->setCaption(QStringLiteral("메모란을 맹글어 보자"));
    pnTitle->setPicture(Picture::Zem, notepictures::makerMark(), kLinkPictureSize);
    pnTitle->setPictureTip(Picture::Zem, QStringLiteral("제작사 홈페이지"));
    pnTitle->setPictureCursor(Picture::Zem, Qt::PointingHandCursor);
    pnTitle->setPicture(Picture::Time, notepictures::alarmClock(), kPictureSize);
    pnTitle->setPicture(Picture::Max, notepictures::maximize(), kPictureSize);
    pnTitle->setPictureTip(Picture::Max, QStringLiteral("확대\n축소"));
    connect(pnTitle, &NoteTitleBar::pictureClicked, this, [this](Picture picture, Qt::MouseButton button) {
        if (picture == Picture::Zem && button == Qt::RightButton)
            noteMenu()->popup(QCursor::pos());
        if (button != Qt::LeftButton)
            return;
        switch (picture) {
        case Picture::Zem:
            imgZemClick();
            break;
        case Picture::Vanto:
            imgVantoClick();
            break;
        case Picture::Time:
            run(NoteCommand::Alarm);
            break;
        case Picture::Max:
            imgMaxClick();
            break;
        case Picture::Mark:
            break;
        }
    });
}

void TfrmStikko_sub::buildBody() {
    pnClient.color = colors::toQColor(kTitleColor);
    pnDoc.color = colors::toQColor(kDocPanelColor);

    body_ = new QTextDocument(this);
    body_->setDefaultFont(noteFont());
    // Wrapped as the editor wraps it: at the body's width, long words broken anywhere.
    QTextOption wrapping = body_->defaultTextOption();
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    body_->setDefaultTextOption(wrapping);
    connect(body_, &QTextDocument::contentsChanged, this, &TfrmStikko_sub::reDocChange);
    bodyView_ = new NoteBodyView(body_, this);
    bodyView_->setObjectName(QStringLiteral("reDocView"));
    connect(bodyView_, &NoteBodyView::editorWanted, this,
            [this](Qt::FocusReason focus) { ensureEditor(focus); });
    setBodyColor(kEditorColor);

    pnBottom0 = new Panel(this);
    pnBottom0->setObjectName(QStringLiteral("pnBottom0"));
    pnBottom0->setColor(colors::toQColor(kStripColor));
    Image1 = new ImageBox(pnBottom0);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->resize(kPictureSize);
    Image1->setPicture(notepictures::sizeGrip(), kPictureSize);
    Image1->setCursor(Qt::SizeFDiagCursor);
    connect(pnBottom0, &Panel::resized, this,
            [this] { Image1->move(pnBottom0->width() - Image1->width(), 0); });

    pnBottom = new NoteToolbar(this);
    pnBottom->setColor(pnClient.color);
    connect(pnBottom, &NoteToolbar::triggered, this, &TfrmStikko_sub::run);
    pnBottom0->hide();
}

// --- Layout -------------------------------------------------------------------------------
// Panels are placed by hand, as aligned panels would be: each fills what its parent leaves,
// and shrinking the window (down to the folded 20 pixels) clips the lower ones instead of
// pushing back on the window's size.

void TfrmStikko_sub::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanels();
}

void TfrmStikko_sub::layoutPanels() {
    auto clampHeight = [](int h) { return std::max(0, h); };
    // A panel's rectangle, never of negative size, and what lies inside its edges: what a
    // child placed there shows of (a panel of no size shows none of its children).
    auto sized = [](int x, int y, int w, int h) { return QRect(x, y, std::max(0, w), std::max(0, h)); };
    auto inside = [&sized](const QRect& panel, int inset) {
        const QRect r = panel.adjusted(inset, inset, -inset, -inset);
        return panel.isEmpty() ? QRect(r.topLeft(), QSize(0, 0)) : sized(r.x(), r.y(), r.width(), r.height());
    };
    const QRect base = rect().adjusted(1, 1, -1, -1); // the form's border width
    pnBase.rect = sized(base.x(), base.y(), base.width(), base.height());

    const QRect inner = inside(pnBase.rect, 2); // the bevel and the border
    const int titleHeight = std::min(kTitleHeight, clampHeight(inner.height()));
    pnTitle->setGeometry(inner.x(), inner.y(), inner.width(), titleHeight);
    pnClient.rect = sized(inner.x(), inner.y() + titleHeight, inner.width(), inner.height() - titleHeight);

    const QRect client = inside(pnClient.rect, 1); // the border
    const bool toolbar = !pnBottom->isHidden();
    Panel* strip = toolbar ? pnBottom : pnBottom0;
    const int stripHeight = std::min(toolbar ? kToolbarHeight : kStripHeight, clampHeight(client.height()));
    const int docHeight = clampHeight(client.height() - stripHeight);
    pnDoc.rect = sized(client.x(), client.y(), client.width(), docHeight);
    strip->setGeometry(client.x(), client.y() + docHeight, client.width(), stripHeight);
    if (reDoc) {
        reDoc->setGeometry(pnDoc.rect);
        return;
    }
    bodyView_->setGeometry(pnDoc.rect);
    // Laid out at the width the editor would give it (no scroll bar: the text fits, or the
    // editor is made). Setting the width lays the text out anew, so only when it changes.
    if (pnDoc.rect.width() > 0 && body_->pageSize().width() != pnDoc.rect.width())
        body_->setPageSize(QSizeF(pnDoc.rect.width(), -1));
    if (isVisible() && !bodyFits())
        ensureEditor();
}

NoteEditor* TfrmStikko_sub::editor() {
    ensureEditor();
    return reDoc;
}

void TfrmStikko_sub::ensureEditor(Qt::FocusReason focus) {
    if (!reDoc) {
        reDoc = new NoteEditor(this);
        reDoc->setObjectName(QStringLiteral("reDoc"));
        reDoc->setFrameShape(QFrame::NoFrame);
        reDoc->setGeometry(pnDoc.rect);
        reDoc->setFont(noteFont());
        reDoc->setDocument(body_);
        reDoc->setTextCursor(bodyCursorAt(startCaret_));
        reDoc->setAcceptRichText(true);
        reDoc->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        reDoc->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        reDoc->setContextMenuPolicy(Qt::CustomContextMenu);
        reDoc->setLocale(QLocale(QLocale::Korean, QLocale::SouthKorea));
        // The body's colour, which the painted body has carried so far.
        reDoc->setPalette(bodyView_->palette());
        reDoc->setReadOnly(readOnly_ || bodyPending_);
        connect(reDoc, &NoteEditor::focusLost, this, &TfrmStikko_sub::reDocExit);
        // A link in the text opens as the note's other addresses do, by the program's rule.
        connect(reDoc, &NoteEditor::linkActivated, this, [this](const QString& address) {
            if (host_)
                host_->OpenWebAddress(address, this);
        });
        connect(reDoc, &QTextEdit::selectionChanged, this, &TfrmStikko_sub::SelectionChange);
        connect(reDoc, &QTextEdit::cursorPositionChanged, this, &TfrmStikko_sub::SelectionChange);
        connect(reDoc, &QWidget::customContextMenuRequested, this,
                [this](const QPoint& pos) { editMenu()->popup(reDoc->viewport()->mapToGlobal(pos)); });
        reDoc->setCommandKeys(commandKeys());
        connect(reDoc, &NoteEditor::commandKey, this, [this](QKeyCombination key) {
            if (const NoteCommandInfo* info = commandForKey(key))
                run(info->command);
        });
        reDoc->show();
        // The painted body may be the one asking (from its own event): it goes once that is
        // over. The focus it had, if any, is the editor's now.
        bodyView_->hide();
        bodyView_->deleteLater();
        bodyView_ = nullptr;
    }
    if (focus != Qt::NoFocusReason)
        reDoc->setFocus(focus);
}

bool TfrmStikko_sub::bodyFits() const {
    const QSize view = pnDoc.rect.size();
    if (view.isEmpty())
        return true; // nothing of the body shows (a folded note)
    const QSize text = body_->documentLayout()->documentSize().toSize();
    return text.height() <= view.height() && text.width() <= view.width();
}

QTextCursor TfrmStikko_sub::bodyCursor() const {
    return reDoc ? reDoc->textCursor() : bodyCursorAt(startCaret_);
}

QTextCursor TfrmStikko_sub::bodyCursorAt(int position) const {
    QTextCursor cursor(body_);
    cursor.setPosition(std::clamp(position, 0, body_->characterCount() - 1));
    return cursor;
}

bool TfrmStikko_sub::composing() const {
    return reDoc && !reDoc->preeditText().isEmpty();
}

void TfrmStikko_sub::paintEvent(QPaintEvent*) {
    // What shows of the window are the rings between its opaque controls, and every fill
    // through that clip costs a pass over all the rows it spans. The frame is drawn once into
    // a picture that all notes of the same size, colours and look share, and copied in one
    // pass.
    const qreal ratio = devicePixelRatio();
    const int depth = xpStyle_ && xpStyle_->Active() ? xpStyle_->deviceDepth(this) : 0;
    const auto rgb = [](const QColor& c) { return int64_t(c.rgba()); };
    static SharedPictures<22> frames;
    const SharedPictures<22>::Key key = {
        width(), height(), //
        // the three panels' places
        pnBase.rect.x(), pnBase.rect.y(), pnBase.rect.width(), pnBase.rect.height(),         //
        pnClient.rect.x(), pnClient.rect.y(), pnClient.rect.width(), pnClient.rect.height(), //
        pnDoc.rect.x(), pnDoc.rect.y(), pnDoc.rect.width(), pnDoc.rect.height(),             //
        // their colours, the ring's, the edges' and the look
        rgb(pnBase.color), rgb(pnClient.color), rgb(pnDoc.color), rgb(palette().color(QPalette::Window)), //
        rgb(palette().color(QPalette::Light)), colors::systemColorValue(colors::kButtonShadow), depth,    //
        qRound64(ratio * 1000)};
    const QPixmap* frame =
        frames.find(key, size(), ratio, [this, depth](QPainter& painter) { paintFrame(painter, depth); });
    QPainter p(this);
    if (frame)
        p.drawPixmap(0, 0, *frame);
    else
        paintFrame(p, depth);
}

void TfrmStikko_sub::paintFrame(QPainter& p, int depth) const {
    // The form's own colour shows as a one-pixel ring around the base panel.
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.fillRect(pnBase.rect, pnBase.color);
    if (!pnBase.rect.isEmpty()) {
        if (depth > 0) {
            XPCanvas canvas(p, depth);
            XPPanelLook look;
            look.color = colors::fromQColor(pnBase.color);
            look.outer = XPBevel::Raised;
            look.borderWidth = 1;
            xpStyle_->PaintPanel(canvas, Edges::of(pnBase.rect), look);
        } else {
            paintRaisedEdge(p, pnBase.rect, palette().color(QPalette::Light));
        }
    }
    p.fillRect(pnClient.rect, pnClient.color);
    p.fillRect(pnDoc.rect, pnDoc.color);
}

// --- Opening and applying ---------------------------------------------------------------

void TfrmStikko_sub::open(QByteArrayView id) {
    NoteRecord record{};
    InitNoteRecord(record, id.toByteArray().constData());
    const FileState state = noteFiles().loadRecord(record);
    if (state == FileState::Missing)
        LoadNoteRecord(record, kDefaultsFile);
    open(record, state);
}

void TfrmStikko_sub::open(const NoteRecord& record, FileState state) {
    openAs(record, state, false, true);
}

void TfrmStikko_sub::openUnwritten(const NoteRecord& record, FileState state) {
    openAs(record, state, false, false);
    recordPending_ = recordWritable();
}

void TfrmStikko_sub::openFromElsewhere(const NoteRecord& record) {
    openAs(record, FileState::Loaded, true, false);
}

void TfrmStikko_sub::openAs(const NoteRecord& record, FileState state, bool fromElsewhere, bool write) {
    record_ = record;
    base_ = record;
    closed_ = false;
    deleted_ = false;
    modified_ = false;
    showing_ = true;
    if (state == FileState::Unreadable)
        enterReadOnly(noteFiles().recordPath(noteId(record_)), true);
    // A data folder that cannot be written is used as it is: nothing is written into it.
    if (folderReadOnly_)
        enterReadOnly(noteFiles().dataFolder(), true);
    BodyLoad body;
    const QString bodyPath = noteFiles().bodyPath(noteId(record_));
    if (BodyReader::isLarge(bodyPath)) {
        // Read in the background; the note takes it once it is there.
        if (!bodyReader_) {
            bodyReader_ = new BodyReader(this);
            connect(bodyReader_, &BodyReader::read, this, &TfrmStikko_sub::bodyReadDone);
        }
        bodyPending_ = true;
        pendingNewBody_ = !fromElsewhere;
        bodyReader_->start(bodyPath, noteFont());
        body.state = FileState::Loaded; // nothing yet
    } else {
        body = noteFiles().loadBody(noteId(record_));
    }
    applyRecord(&body, !fromElsewhere);
    // What came from elsewhere is shown as it came: written here, it would go back. The title
    // taken from its text is no change made here.
    if (fromElsewhere)
        base_ = record_;
    else if (write)
        writeRecord();
    show();
    applyStayOnTop();
}

void TfrmStikko_sub::takeFromFiles(const NoteRecord& record, const BodyLoad& body) {
    base_ = record;
    applyFromFiles(record, &body);
}

void TfrmStikko_sub::applyFromFiles(const NoteRecord& record, const BodyLoad* body) {
    // The caret and the view stay where they were, as far as the new text reaches.
    const int caret = bodyCursor().position();
    const int scrolled = reDoc ? reDoc->verticalScrollBar()->value() : 0;
    record_ = record;
    takingFiles_ = true;
    applyRecord(body, false);
    applyStayOnTop();
    takingFiles_ = false;
    // The title taken from text that came from elsewhere (or was there already) is no change
    // made here; one taken from text typed here is.
    if (body || !modified_)
        std::memcpy(base_.title, record_.title, sizeof base_.title);
    if (reDoc && body && body->state == FileState::Loaded) {
        QTextCursor cursor = reDoc->textCursor();
        cursor.setPosition(std::clamp(caret, 0, body_->characterCount() - 1));
        reDoc->setTextCursor(cursor);
        reDoc->verticalScrollBar()->setValue(scrolled);
    }
}

void TfrmStikko_sub::applyRecord(const BodyLoad* body, bool newBody) {
    move(record_.scr_x, record_.scr_y);
    applyGeometry();
    applyLinkPicture();
    setCaption(cp949::fieldText(record_.title));
    setWindowTitle(cp949::fieldText(record_.title));
    if (body)
        applyBody(*body, newBody);
    setStayOnTop(record_.istop != 0);
    applySettings();
    UpdateTitleFromText();
    SelectionChange();
    // Text the painted body cannot show whole needs the editor's scroll bar.
    if (!reDoc && !bodyFits())
        ensureEditor();
}

void TfrmStikko_sub::applyLinkPicture() {
    // The right link image: a picture in the system folder named by the record. A name that
    // is not found there falls back to the defaults' picture; a name from the Windows program
    // stands for the picture of the same name in the system folder.
    const QString systemFolder = env::programFolder() + QLatin1String(kSystemFolder);
    const QByteArrayView imageName = cp949::fieldBytes(record_.right_homepage_image);
    const QByteArrayView defaultImage = cp949::fieldBytes(noteDefaults().right_homepage_image);
    QString imagePath;
    if (imageName.size() >= kMinPictureNameLength) {
        QStringList names{systemFolder + cp949::decode(imageName)};
        if (defaultImage.size() >= kMinPictureNameLength)
            names << systemFolder + cp949::decode(defaultImage);
        imagePath = oldpaths::firstExistingFile(names, systemFolder);
    }
    QPixmap picture;
    if (!imagePath.isEmpty())
        picture.load(imagePath);
    using Picture = NoteTitleBar::Picture;
    if (!picture.isNull()) {
        pnTitle->setPicture(Picture::Vanto, picture);
        pnTitle->setPictureTip(Picture::Vanto, cp949::fieldText(record_.right_homepage_hint));
    }
    pnTitle->setPictureShown(Picture::Vanto, !picture.isNull());
}

void TfrmStikko_sub::finishBodyRead() {
    if (bodyPending_ && bodyReader_)
        bodyReader_->finish();
}

void TfrmStikko_sub::bodyReadDone(const NoteFiles::BodyRead& file, QTextDocument* document) {
    std::unique_ptr<QTextDocument> read(document);
    if (!bodyPending_ || closed_ || deleted_)
        return;
    bodyPending_ = false;
    noteFiles().bodyRead(file);
    if (!read) {
        // Gone or unreadable since the note opened: as if it had been found so then.
        applyBody(file.load, pendingNewBody_);
    } else {
        // The document made of the file becomes the body, in the editor (text this large
        // never fits the painted body).
        delete bodyWriter_; // made for the body before, and idle: nothing was typed
        bodyWriter_ = nullptr;
        ensureEditor();
        QTextDocument* before = body_;
        disconnect(before, nullptr, this, nullptr);
        read->setParent(this);
        read->setDefaultTextOption(before->defaultTextOption());
        body_ = read.release();
        connect(body_, &QTextDocument::contentsChanged, this, &TfrmStikko_sub::reDocChange);
        loadingBody_ = true;
        reDoc->setDocument(body_);
        loadingBody_ = false;
        before->deleteLater();
        // The text is the file's: nothing of it waits to be saved.
        modified_ = false;
        if (!hasUnsavedFailure()) {
            autosave_.saved();
            timAutosave->stop();
        }
        body_->clearUndoRedoStacks();
        reDoc->moveCursor(QTextCursor::Start);
    }
    if (reDoc)
        reDoc->setReadOnly(readOnly_);
    if (lineCount() > 0)
        setCaption(lineText(0));
    if (UpdateTitleFromText())
        writeRecord();
    SelectionChange();
    if (!reDoc && !bodyFits())
        ensureEditor();
}

void TfrmStikko_sub::applyBody(const BodyLoad& body, bool newBody) {
    if (bodyPending_) {
        // The text comes from the background: nothing of it to show or save yet.
        modified_ = false;
        return;
    }
    bool newDateLine = false;
    if (body.state == FileState::Loaded) {
        loadingBody_ = true;
        rtf::read(body.rtf, *body_);
        loadingBody_ = false;
        // The text is the file's: nothing of it waits to be saved.
        modified_ = false;
        if (!hasUnsavedFailure()) {
            autosave_.saved();
            timAutosave->stop();
        }
    } else if (body.state == FileState::Unreadable) {
        // Shown empty and never saved: the file keeps whatever it holds.
        enterReadOnly(noteFiles().bodyPath(noteId(record_)), false);
    } else if (newBody && !readOnly_) {
        addDateLine();
        newDateLine = true;
    }
    body_->clearUndoRedoStacks();
    if (!newDateLine)
        startCaret_ = 0;
    if (reDoc)
        reDoc->setTextCursor(bodyCursorAt(startCaret_));
}

void TfrmStikko_sub::applySettings() {
    setTitleColors(record_.titlebk_color, record_.title_color);
    setBodyColor(record_.batang_color);
    setBottomColor(record_.bottom_color);
    setToolbarVisible(record_.isshow_toolbar != 0);
    armAlarm();
    setOpacityValue(record_.opt_color);
}

void TfrmStikko_sub::previewSettings(const NoteRecord& settings) {
    setTitleColors(settings.titlebk_color, settings.title_color);
    setBodyColor(settings.batang_color);
    setBottomColor(settings.bottom_color);
    setToolbarVisible(settings.isshow_toolbar != 0);
    setOpacityValue(settings.opt_color);
}

void TfrmStikko_sub::takeSettings(const NoteRecord& settings) {
    CopySettings(record_, settings);
    writeRecord();
}

void TfrmStikko_sub::addDateLine() {
    // Two-digit year, month and day, the Korean before/after-noon word, then the time.
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    const QString stamp = korean.toString(env::now(), QStringLiteral("yy/MM/dd AP hh:mm:ss"));
    QTextCursor cursor(body_);
    cursor.movePosition(QTextCursor::End);
    loadingBody_ = true;
    cursor.insertText(QStringLiteral("작성일:") + stamp);
    // The caret waits on the line below, so what the user types at once is the second line,
    // which the title follows; the date line stays the first.
    cursor.insertBlock();
    loadingBody_ = false;
    startCaret_ = cursor.position();
    // A new body is a change: it is saved like typing, a moment later, and gives the title.
    modified_ = true;
    scheduleAutosave();
    UpdateTitleFromText();
}

void TfrmStikko_sub::armAlarm() {
    // The caption shows the body's first line until the next change near the top.
    if (lineCount() > 0)
        setCaption(lineText(0));
    pnTitle->setPictureShown(NoteTitleBar::Picture::Time, record_.isalram == 1);
    // A record taken from the files leaves an alarm whose settings it did not change as it
    // was: no second sound, no second notice.
    if (takingFiles_)
        alarm_->follow();
    else
        alarm_->arm();
}

// --- Colours, tool bar, opacity -----------------------------------------------------------

void TfrmStikko_sub::setTitleColors(int32_t background, int32_t text) {
    pnTitle->setColor(colors::toQColor(background));
    pnTitle->setCaptionColor(colors::toQColor(text));
}

void TfrmStikko_sub::setBodyColor(int32_t color) {
    const QColor c = colors::toQColor(color);
    QWidget* body = reDoc ? static_cast<QWidget*>(reDoc) : bodyView_;
    QPalette pal = body->palette();
    // A new palette goes to every part of the editor (its viewport, scroll bars and their
    // corners); opening a note sets the colour it was made with, most often the same again.
    const bool same = pal.isBrushSet(QPalette::Active, QPalette::Base) && pal.color(QPalette::Base) == c &&
                      pal.isBrushSet(QPalette::Active, QPalette::Window) && pal.color(QPalette::Window) == c;
    if (!same) {
        pal.setColor(QPalette::Base, c);
        pal.setColor(QPalette::Window, c);
        body->setPalette(pal);
    }
    if (pnBottom0)
        pnBottom0->setColor(c);
}

void TfrmStikko_sub::setBottomColor(int32_t color) {
    const QColor c = colors::toQColor(color);
    pnBottom->setColor(c);
    if (pnClient.color != c) {
        pnClient.color = c;
        update(pnClient.rect);
    }
}

void TfrmStikko_sub::setToolbarVisible(bool shown) {
    pnBottom->setVisible(shown);
    pnBottom0->setVisible(!shown);
    layoutPanels();
}

void TfrmStikko_sub::setOpacityValue(int32_t value) {
    // Blending is on below 255 (a signed compare), with the value's low byte as alpha.
    setWindowOpacity(value < 255 ? double(value & 0xFF) / 255.0 : 1.0);
}

// --- Title --------------------------------------------------------------------------------

QString TfrmStikko_sub::titleCaption() const {
    return pnTitle->caption();
}

void TfrmStikko_sub::setCaption(const QString& text) {
    pnTitle->setCaption(text);
}

int TfrmStikko_sub::lineCount() const {
    if (body_->isEmpty())
        return 0;
    // A body that ends in a line break has no line after it yet (see NoteTitle).
    const int blocks = body_->blockCount();
    return blocks > 1 && body_->lastBlock().length() <= 1 ? blocks - 1 : blocks;
}

QString TfrmStikko_sub::lineText(int line) const {
    // The text of the line: a picture in it has none (its object character would become '?').
    return body_->findBlockByNumber(line).text().remove(QChar::ObjectReplacementCharacter);
}

bool TfrmStikko_sub::UpdateTitleFromText() {
    // A note that could not be read keeps the title its record file gives, and one whose body
    // is still being read the one it has.
    if (readOnly_ || bodyPending_)
        return false;
    const int lines = lineCount();
    // The title is line 2 when there is one (line 1 is the date line of a new note). The
    // window shows it as the text has it; the record keeps its CP949 form.
    const QString title =
        NoteTitle(lines, lines > 0 ? lineText(0) : QString(), lines > 1 ? lineText(1) : QString());
    const QByteArray bytes = cp949::encode(title);
    // The caption may show the text's first line already while the record still holds an
    // older title (a body that came after its record), or the record's title may be this
    // one's CP949 form, read back from the file: the text's own title is shown and set.
    if (title == titleCaption() && title == windowTitle() && cp949::fieldBytes(record_.title) == bytes)
        return false;
    setCaption(title);
    cp949::copyToField(record_.title, bytes);
    setWindowTitle(title);
    return true;
}

// --- Change tracking ----------------------------------------------------------------------

void TfrmStikko_sub::reDocChange() {
    if (loadingBody_ || !showing_ || closed_ || readOnly_ || bodyPending_)
        return;
    ++changes_;
    if (bodyWriter_ && bodyWriter_->writing() && firstChangeSinceCopy_ < 0)
        firstChangeSinceCopy_ = env::steadyMs();
    modified_ = true;
    scheduleAutosave();
    // The new title is written with the body, a moment later: the two files of one change
    // leave together (for a synchroniser too), and typing does not rewrite the record at
    // every key.
    if (bodyCursor().blockNumber() <= 1)
        UpdateTitleFromText();
}

void TfrmStikko_sub::reDocExit() {
    if (lineCount() > 0)
        setCaption(lineText(0));
}

void TfrmStikko_sub::commitComposition() {
    if (reDoc)
        reDoc->commitComposition();
}

} // namespace stikko
