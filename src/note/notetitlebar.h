#pragma once
// The note's title bar: its colour, the caption, and the small pictures at its two ends: the
// maker's mark, the alarm clock and the trouble mark on the left, the enlarge/shrink box and
// the right link picture on the right, each shown or not as the note says. The caption fills
// what the shown pictures leave, centred. The bar draws the pictures itself (ControlPanel),
// with their tool tips, pointer shapes and clicks; a press elsewhere belongs to the gesture
// that moves the note.

#include "note/controlpanel.h"

#include <QIcon>

namespace stikko {

class NoteTitleBar : public ControlPanel {
    Q_OBJECT
  public:
    // In the order they are kept; the names are those of the note's layout.
    enum class Picture {
        Zem,   // imgZem: the maker's mark (26 x 16)
        Time,  // imgTime: the alarm clock, while an alarm is set
        Mark,  // imgMark: a file that could not be read or written
        Max,   // imgMax: enlarge or shrink
        Vanto, // imgVanto: the right link picture (26 x 16), when one is found
    };

    explicit NoteTitleBar(QWidget* parent);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    QColor captionColor() const { return captionColor_; }
    void setCaptionColor(const QColor& color);

    // A picture the program draws, shown at `size`; one read from a file, at its own size.
    // Either is centred in its place.
    void setPicture(Picture picture, const QIcon& icon, QSize size);
    void setPicture(Picture picture, const QPixmap& pixmap);
    // What is shown, at the bar's pixel ratio (null when nothing is).
    QPixmap picture(Picture picture) const;
    void setPictureShown(Picture picture, bool shown);
    bool isPictureShown(Picture picture) const;
    void setPictureTip(Picture picture, const QString& tip);
    QString pictureTip(Picture picture) const;
    void setPictureCursor(Picture picture, Qt::CursorShape cursor);
    Qt::CursorShape pictureCursor(Picture picture) const;
    // Where the picture is (empty while it is not shown), and where the caption is.
    QRect pictureRect(Picture picture) const;
    QRect captionRect() const { return captionRect_; }
    // True when `pos` is on a shown picture.
    bool isOnPicture(const QPoint& pos) const { return controlAt(pos) >= 0; }

    QString accessibleCaption() const override { return caption_; }

  signals:
    void pictureClicked(NoteTitleBar::Picture picture, Qt::MouseButton button);

  protected:
    void paintContents(QPainter& painter, const QRect& exposed) override;
    void paintControl(QPainter& painter, int index) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void layOut();

    QString caption_;
    QColor captionColor_ = Qt::white;
    QRect captionRect_;
    struct Shown {
        QIcon icon;
        QSize size;
        // The icon as last drawn: asking the icon on every paint costs more than the drawing.
        mutable QPixmap pixmap;
    };
    Shown pictures_[5];
};

} // namespace stikko
