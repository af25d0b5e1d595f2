#include "note/notewidgets.h"

#include "theme/colors.h"
#include "theme/xpstyle.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace stikko {

void paintRaisedEdge(QPainter& p, const QRect& r, const QColor& light) {
    const QColor shadow = colors::toQColor(colors::systemColorValue(colors::kButtonShadow));
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), light);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), light);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), shadow);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), shadow);
}

// --- Panel --------------------------------------------------------------------------------

Panel::Panel(QWidget* parent) : QWidget(parent), color_(palette().color(QPalette::Window)) {
    // The panel fills all of itself: whatever lies beneath (the parent panels, the form) is
    // left unpainted there, and no background is cleared before it paints.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Panel::setColor(const QColor& color) {
    if (color_ == color)
        return;
    color_ = color;
    update();
}

void Panel::setBevel(Bevel bevel) {
    bevel_ = bevel;
    update();
}

void Panel::setBorderWidth(int width) {
    borderWidth_ = std::max(0, width);
    update();
}

QRect Panel::innerRect() const {
    const int inset = (bevel_ == Bevel::Raised ? 1 : 0) + borderWidth_;
    return rect().adjusted(inset, inset, -inset, -inset);
}

void Panel::setXPStyle(const TXPStyle* style) {
    xpStyle_ = style;
}

const TXPStyle* Panel::activeXPStyle() const {
    return xpStyle_ && xpStyle_->Active() ? xpStyle_.data() : nullptr;
}

void Panel::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    paintPanel(p, event->region());
}

void Panel::paintPanel(QPainter& p, const QRegion& region) {
    // Only what shows is filled: the opaque controls inside cover the rest, and filling the
    // few exposed rectangles costs far less than one large fill clipped down to them.
    for (const QRect& r : region)
        p.fillRect(r, color_);
    if (bevel_ == Bevel::Raised && width() > 0 && height() > 0) {
        if (const TXPStyle* style = activeXPStyle()) {
            XPCanvas canvas(p, style->deviceDepth(this));
            XPPanelLook look;
            look.color = colors::fromQColor(color_);
            look.outer = XPBevel::Raised;
            look.borderWidth = borderWidth_;
            style->PaintPanel(canvas, Edges::of(rect()), look);
        } else {
            paintRaisedEdge(p, rect(), palette().color(QPalette::Light));
        }
    }
    if (const TXPStyle* style = activeXPStyle(); style && framedEdit_) {
        XPCanvas canvas(p, style->deviceDepth(this));
        XPControlState state;
        state.focused = state.hot = framedEdit_->hasFocus();
        style->PaintRichEdit(canvas, Edges::of(framedEdit_->geometry()), colors::fromQColor(color_), false,
                             state);
    }
    paintContents(p, region.boundingRect());
}

void Panel::paintContents(QPainter&, const QRect&) {}

void Panel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

// --- ClickableWidget ----------------------------------------------------------------------

void ClickableWidget::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button();
    event->accept();
}

void ClickableWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ == event->button() && rect().contains(event->position().toPoint());
    pressed_ = Qt::NoButton;
    event->accept();
    if (click)
        emit clicked(event->button());
}

// --- ImageBox -----------------------------------------------------------------------------

ImageBox::ImageBox(QWidget* parent) : ClickableWidget(parent) {}

void ImageBox::setPicture(const QIcon& picture, QSize size) {
    picture_ = picture;
    pictureSize_ = size;
    update();
}

void ImageBox::setPicture(const QPixmap& picture) {
    setPicture(QIcon(picture), picture.deviceIndependentSize().toSize());
}

QPixmap ImageBox::picture() const {
    return picture_.isNull() ? QPixmap() : picture_.pixmap(pictureSize_, devicePixelRatioF());
}

void ImageBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter p(this);
    // Centred, never scaled: the pictures are drawn at the control's size.
    p.drawPixmap((width() - pictureSize_.width()) / 2, (height() - pictureSize_.height()) / 2, picture());
}

// --- NoteEditor ---------------------------------------------------------------------------

NoteEditor::NoteEditor(QWidget* parent) : QTextEdit(parent) {
    setAttribute(Qt::WA_InputMethodEnabled, true);
}

namespace {
QKeyCombination combinationOf(const QKeyEvent* event) {
    // The keypad flag does not make a different command.
    return QKeyCombination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
}

// Redo: Ctrl+Y as on Windows, Ctrl+Shift+Z as on this desktop, whichever key scheme the
// platform follows (the X11 scheme knows only the second).
bool isRedoKey(const QKeyEvent* event) {
    const QKeyCombination key = combinationOf(event);
    return key == QKeyCombination(Qt::ControlModifier, Qt::Key_Y) ||
           key == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
}

} // namespace

bool NoteEditor::isCommandKey(const QKeyEvent* event) const {
    const QKeyCombination key = combinationOf(event);
    return std::find(commandKeys_.begin(), commandKeys_.end(), key) != commandKeys_.end();
}

bool NoteEditor::event(QEvent* event) {
    // Claiming the key at the override stage keeps application shortcuts and the editor's
    // own bindings (copy, paste, ...) from taking it first; the press then comes here.
    if (event->type() == QEvent::ShortcutOverride &&
        (isCommandKey(static_cast<QKeyEvent*>(event)) || isRedoKey(static_cast<QKeyEvent*>(event)))) {
        event->accept();
        return true;
    }
    return QTextEdit::event(event);
}

void NoteEditor::keyPressEvent(QKeyEvent* event) {
    if (isCommandKey(event)) {
        event->accept();
        emit commandKey(combinationOf(event));
        return;
    }
    if (isRedoKey(event) && !isReadOnly()) {
        event->accept();
        redo();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

namespace {

// Drops an input method's second copy of a syllable that was already committed.
//
// Qt's ibus plug-in, asked to commit (by the editor before a command, or by Qt itself when a
// click or a focus change interrupts the composition), sends the syllable it was showing as a
// commit and then resets the input method. The Hangul engine answers that reset by committing
// the same syllable once more, a moment later, to whatever has the focus by then: the same
// note, another note, a menu or a dialog. An engine finishing a syllable on its own clears the
// composition before it commits; a commit of the composition exactly as shown comes from the
// plug-in or the editor, and only then is the copy watched for. It is dropped when it is the
// next text the input method sends, wherever it goes; a new composition, other text or a
// moment without it end the watch, so an input method that does not repeat itself loses
// nothing.
class RepeatedCommitGuard : public QObject {
  public:
    using QObject::QObject;

    static void expect(const QString& text) {
        static QPointer<RepeatedCommitGuard> guard;
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        if (!guard)
            guard = new RepeatedCommitGuard(app);
        guard->text_ = text;
        guard->deadline_.setRemainingTime(kWatchMs);
        // Watching only while a copy may come keeps the filter off the event path otherwise.
        app->removeEventFilter(guard);
        app->installEventFilter(guard);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::InputMethod)
            return false;
        const auto* im = static_cast<QInputMethodEvent*>(event);
        const bool empty =
            im->commitString().isEmpty() && im->preeditString().isEmpty() && im->replacementLength() == 0;
        if (empty && !deadline_.hasExpired())
            return false; // the engine clearing its composition before it commits
        const bool copy = !deadline_.hasExpired() && im->preeditString().isEmpty() &&
                          im->replacementLength() == 0 && im->commitString() == text_;
        stop();
        return copy;
    }

  private:
    // The copy answers a reset over the input method's bus within milliseconds; a second is
    // ample on a loaded machine and short against typing the same syllable anew.
    static constexpr int kWatchMs = 1000;

    void stop() {
        text_.clear();
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeEventFilter(this);
    }

    QString text_;
    QDeadlineTimer deadline_;
};

} // namespace

void NoteEditor::inputMethodEvent(QInputMethodEvent* event) {
    const bool committedAsShown = !preedit_.isEmpty() && event->preeditString().isEmpty() &&
                                  event->replacementLength() == 0 && event->commitString() == preedit_;
    QTextEdit::inputMethodEvent(event);
    preedit_ = event->preeditString();
    if (committedAsShown)
        RepeatedCommitGuard::expect(event->commitString());
}

bool NoteEditor::commitComposition() {
    if (preedit_.isEmpty())
        return false;
    // The input method commits its own composition when it can (it then sends the commit
    // event to the focused editor). When it could not, or the editor was not its focus,
    // the editor commits what it showed, and the input method forgets its state so the
    // syllable is not committed twice. A copy it still sends in answer is dropped (above).
    if (hasFocus())
        QGuiApplication::inputMethod()->commit();
    if (!preedit_.isEmpty()) {
        const QString text = preedit_;
        QInputMethodEvent commit;
        commit.setCommitString(text);
        inputMethodEvent(&commit);
        if (hasFocus())
            QGuiApplication::inputMethod()->reset();
    }
    return true;
}

std::unique_ptr<QTextDocument> NoteEditor::documentAsShown() const {
    if (preedit_.isEmpty())
        return nullptr;
    // While a syllable is composed there is no selection: the composition replaced it.
    std::unique_ptr<QTextDocument> copy(document()->clone());
    QTextCursor cursor(copy.get());
    cursor.setPosition(textCursor().position());
    cursor.insertText(preedit_, currentCharFormat());
    return copy;
}

void NoteEditor::mousePressEvent(QMouseEvent* event) {
    // A click in the text finishes the syllable being composed where it was typed, before the
    // caret moves. Qt asks the input method to commit it, but not every input method does
    // (fcitx5 does not): the composition then vanished from the screen, and this editor's
    // record of it went to wherever the caret stood next.
    commitComposition();
    notePressOnLink(event);
    QTextEdit::mousePressEvent(event);
}

void NoteEditor::focusOutEvent(QFocusEvent* event) {
    commitComposition();
    QTextEdit::focusOutEvent(event);
    // A pop-up menu or another application taking the keyboard for a while does not move
    // the focus away from the body within its window; only a real move does.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason &&
        reason != Qt::ActiveWindowFocusReason)
        emit focusLost();
}

NoteBodyView::NoteBodyView(QTextDocument* document, QWidget* parent) : QWidget(parent), document_(document) {
    // Filled with the body's colour, as the editor's viewport is.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setAcceptDrops(true);
    connect(document_, &QTextDocument::contentsChanged, this, qOverload<>(&QWidget::update));
}

void NoteBodyView::paintEvent(QPaintEvent* event) {
    // What the editor's viewport paints with nothing selected and no caret: the base colour,
    // then the document laid out at the view's width.
    QPainter p(this);
    p.fillRect(event->rect(), palette().brush(QPalette::Base));
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.clip = event->rect();
    document_->documentLayout()->draw(&p, context);
}

void NoteBodyView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    emit editorWanted(Qt::NoFocusReason);
}

void NoteBodyView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    emit editorWanted(event->reason());
}

void NoteBodyView::mousePressEvent(QMouseEvent* event) {
    // A press that came without the pointer entering first (synthesised): it goes on to the
    // editor, which takes the focus and puts the caret there as for any click.
    const QPoint at = mapTo(window(), event->position().toPoint());
    emit editorWanted(Qt::MouseFocusReason);
    QWidget* target = window()->childAt(at);
    if (target == nullptr || target == this) {
        event->ignore();
        return;
    }
    QMouseEvent forwarded(event->type(), target->mapFrom(window(), at), event->scenePosition(),
                          event->globalPosition(), event->button(), event->buttons(), event->modifiers(),
                          event->pointingDevice());
    QCoreApplication::sendEvent(target, &forwarded);
}

void NoteBodyView::dragEnterEvent(QDragEnterEvent* event) {
    // The drop itself goes to the editor, under the pointer once it moves on.
    emit editorWanted(Qt::NoFocusReason);
    event->ignore();
}

} // namespace stikko
