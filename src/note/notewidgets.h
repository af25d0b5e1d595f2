#pragma once
// Small controls the note window is built from, where Qt's own lack a property the note needs:
// a panel with a colour, a bevel and a border width; a picture and a label that report clicks
// (the label's font colour readable as a state); a flat tool-bar button with a down state; and
// the body editor, which keeps track of the syllable the input method is still composing.

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QTextEdit>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>

namespace stikko {

// A plain coloured rectangle. Its contents start inside the bevel and the border width, so
// children placed at contentsRect() sit where they would on a framed panel.
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

  signals:
    void resized();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QColor color_;
    Bevel bevel_ = Bevel::None;
    int borderWidth_ = 0;
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

// A flat 18 x 17 tool-bar button: no frame until the pointer is over it, sunken while down.
// Checkable buttons keep their down state like a grouped speed button that may be all up.
class SpeedButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit SpeedButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {18, 17}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool hovered_ = false;
    // The icon as last drawn; looking it up in the icon on every paint costs more than the
    // drawing.
    QPixmap pixmap_;
    qint64 pixmapIcon_ = 0;
    QSize pixmapSize_;
    bool pixmapEnabled_ = true;
    qreal pixmapRatio_ = 0;
};

// A one-line label that tells of clicks. Its text is drawn in its font colour, a 0x00BBGGRR
// value (black at first) that is readable back: the style labels of the tool bar show their
// on/off state in it. Every note has the same few labels, so the painted text is shared: labels
// with the same text, font, colour and size draw one cached picture instead of laying their
// text out.
class ClickLabel : public ClickableWidget {
    Q_OBJECT
  public:
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr);
    QString text() const { return text_; }
    void setText(const QString& text);
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    QSize sizeHint() const override;
    void setFontColor(int32_t value);
    int32_t fontColor() const { return fontColor_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    int32_t fontColor_ = 0;
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

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    bool isCommandKey(const QKeyEvent* event) const;

    QString preedit_;
    std::span<const QKeyCombination> commandKeys_;
};

} // namespace stikko
