#pragma once
// Small controls the note window is built from, where Qt's own lack a property the note needs:
// a panel with a colour, a bevel and a border width; a picture that reports clicks; and the
// body editor, which keeps track of the syllable the input method is still composing, and the
// body as painted until that editor is made. The tool bar and the title bar draw their small
// controls themselves (controlpanel.h).

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTextEdit>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>

namespace stikko {

class TXPStyle;

// The classic raised edge around `r`: `light` at the top and left, the system's button shadow
// at the bottom and right (the shadow wins at the two corners they share). One-pixel fills
// rather than lines, which take a slow path through a clip.
void paintRaisedEdge(QPainter& p, const QRect& r, const QColor& light);

// A plain coloured rectangle. Its contents start inside the bevel and the border width, so
// children placed at contentsRect() sit where they would on a framed panel. While a flat style
// is given and active, the bevel is drawn its way: from the panel's own colour.
class Panel : public QWidget {
    Q_OBJECT
  public:
    enum class Bevel { None, Raised };
    explicit Panel(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const { return color_; }
    void setBevel(Bevel bevel);
    void setBorderWidth(int width);
    // Inner rectangle (inside bevel and border) in the panel's own coordinates.
    QRect innerRect() const;
    void setXPStyle(const TXPStyle* style);
    // An edit on the panel whose frame the flat style draws on the panel, one pixel outside
    // the edit (where the edit fills the panel, that is outside the panel and not seen).
    void setFramedEdit(QWidget* edit) { framedEdit_ = edit; }
    // The flat style while it is active; null otherwise.
    const TXPStyle* activeXPStyle() const;

  signals:
    void resized();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Paints the part `region` of the panel: background, bevel, then paintContents().
    void paintPanel(QPainter& p, const QRegion& region);
    // Draws what lies on the panel (after its background and bevel); `exposed` is the part
    // being painted.
    virtual void paintContents(QPainter& painter, const QRect& exposed);

  private:
    QColor color_;
    Bevel bevel_ = Bevel::None;
    int borderWidth_ = 0;
    QPointer<const TXPStyle> xpStyle_;
    QPointer<QWidget> framedEdit_;
};

// A widget that tells of clicks: a press and a release of the same button inside it. The mouse
// presses and releases it gets are accepted.
class ClickableWidget : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

  signals:
    void clicked(Qt::MouseButton button);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    Qt::MouseButton pressed_ = Qt::NoButton;
};

// A picture that tells of clicks; the note window decides what each means (the title bar's
// pictures; the grips, whose moves NoteGestures watches).
class ImageBox : public ClickableWidget {
    Q_OBJECT
  public:
    explicit ImageBox(QWidget* parent = nullptr);
    // A picture the program draws: shown at `size`, painted at the screen's pixel ratio.
    void setPicture(const QIcon& picture, QSize size);
    // A picture read from a file, shown at its own size.
    void setPicture(const QPixmap& picture);
    // What is shown, at the widget's pixel ratio.
    QPixmap picture() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QIcon picture_;
    QSize pictureSize_;
};

// The body editor. Text that the input method is still composing lives only in the editor's
// layout, not in the document; commitComposition() turns it into document text, so a save,
// a command or a loss of focus never drops the syllable being typed. A composition committed
// as it was shown is watched for a moment: an input method that commits it once more in answer
// to the reset (ibus with its Hangul engine does) has that copy dropped, wherever it goes.
class NoteEditor : public QTextEdit {
    Q_OBJECT
  public:
    explicit NoteEditor(QWidget* parent = nullptr);

    QString preeditText() const { return preedit_; }
    // Commits a pending composition; true when there was one.
    bool commitComposition();
    // A copy of the body as the window shows it, the syllable being composed written in at
    // the caret; null when nothing is being composed. Saving it leaves the composition alone.
    std::unique_ptr<QTextDocument> documentAsShown() const;

    // Keys that stand for the window's commands. While the editor has the focus they come out
    // as commandKey() instead of being typed or taken by the editor's own bindings. The keys
    // live in static storage the caller owns; one table serves every note, so no note pays
    // for shortcut objects of its own.
    void setCommandKeys(std::span<const QKeyCombination> keys) { commandKeys_ = keys; }

  signals:
    // The focus moved to something else in the note's window (not to a menu or another
    // application, which hand it back).
    void focusLost();
    // One of the command keys was pressed while the editor had the focus.
    void commandKey(QKeyCombination key);
    // A link in the text was clicked: the address to open.
    void linkActivated(const QString& address);

  protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Clipboard and drops (noteeditor_content.cpp): rich text, pictures and picture files.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    bool isCommandKey(const QKeyEvent* event) const;
    // Notes the link a left press comes on (noteeditor_content.cpp); its release there opens it.
    void notePressOnLink(const QMouseEvent* event);
    // Pictures from `source` inserted at the caret: the image it holds, or the picture files
    // it names. False when it holds neither.
    bool insertPictures(const QMimeData* source);
    // Pictures that text read as HTML brought between `from` and `to` become pictures the
    // body keeps, or go when their image cannot be had.
    void adoptPictures(int from, int to);
    // The largest size a picture put into the note is shown at: the body's width.
    QSizeF fittedSize(QSizeF size) const;

    QString preedit_;
    std::span<const QKeyCombination> commandKeys_;
    QString pressedLink_; // the link under a left press, opened if the release comes there
    QPoint pressedAt_;
};

// The body as the editor would show it, drawn from the note's document, until the editor is
// made. Most notes are only looked at, and an editor (a scroll area with a viewport and two
// scroll bars, each a widget with its own accessibility object) costs every note at start.
// The note makes its editor as soon as someone may use it: the pointer comes over the body,
// the keyboard focus comes to it, something is dropped on it, or the text no longer fits
// (the editor would show a scroll bar).
class NoteBodyView : public QWidget {
    Q_OBJECT
  public:
    NoteBodyView(QTextDocument* document, QWidget* parent);

  signals:
    // The editor is needed now; the note puts it in this view's place and hides the view.
    void editorWanted(Qt::FocusReason focus);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;

  private:
    QTextDocument* document_;
};

} // namespace stikko
