#include "note/notepictures.h"

#include "theme/paintedicon.h"

#include <QPainter>
#include <QPainterPath>

// Flat pictures sized for a 16-pixel title bar: a white or pale fill with a dark outline, so
// they read on any title-bar colour the user picks.

namespace stikko::notepictures {

namespace {
using ink::kInk;
using ink::kPaper;
const QColor kNote(0xff, 0xe2, 0x6a);
const QColor kAccent = ink::kRed;

QPen pen(const QColor& color, qreal width = 1.0) {
    QPen p(color, width);
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    return p;
}
} // namespace

QIcon makerMark() {
    // A small yellow note with a folded corner and a red pin, then two text strokes.
    static const QIcon picture = paintedIcon(QStringLiteral("makerMark"), QSize(26, 16), [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(pen(kInk));
        p.setBrush(kNote);
        p.drawPath(foldedNote(QRectF(QPointF(3.5, 2.5), QPointF(17.5, 14.5)), 4));
        p.setBrush(kPaper);
        p.drawPolygon(QPolygonF({{17.5, 10.5}, {13.5, 10.5}, {13.5, 14.5}}));
        p.setPen(pen(kInk));
        p.drawLine(QPointF(6, 7.5), QPointF(14, 7.5));
        p.drawLine(QPointF(6, 10.5), QPointF(11, 10.5));
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(20.5, 4.5), 2.6, 2.6);
        p.setPen(pen(kInk, 1.2));
        p.drawLine(QPointF(19.0, 6.2), QPointF(16.5, 9.0));
    });
    return picture;
}

QIcon alarmClock() {
    static const QIcon picture = paintedIcon(QStringLiteral("alarmClock"), QSize(16, 16), [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(pen(kInk));
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(3.5, 3.5), 2.0, 2.0); // bells
        p.drawEllipse(QPointF(12.5, 3.5), 2.0, 2.0);
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(8.0, 8.5), 5.5, 5.5);
        p.drawLine(QPointF(8.0, 8.5), QPointF(8.0, 5.0)); // hands at ten past twelve
        p.drawLine(QPointF(8.0, 8.5), QPointF(10.5, 9.5));
        p.drawLine(QPointF(4.5, 14.5), QPointF(3.0, 15.5)); // feet
        p.drawLine(QPointF(11.5, 14.5), QPointF(13.0, 15.5));
    });
    return picture;
}

QIcon maximize() {
    // A window frame with a thick top edge and a small arrow towards the top right.
    static const QIcon picture = paintedIcon(QStringLiteral("maximize"), QSize(16, 16), [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(pen(kInk));
        p.setBrush(kPaper);
        p.drawRect(QRectF(2.5, 3.5, 11, 10));
        p.fillRect(QRectF(3, 4, 10, 2), kInk);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawLine(QPointF(6, 11), QPointF(10.5, 7.5));
        p.drawLine(QPointF(10.5, 7.5), QPointF(8, 7.5));
        p.drawLine(QPointF(10.5, 7.5), QPointF(10.5, 10));
    });
    return picture;
}

QIcon sizeGrip() {
    // Three diagonal rows of dots falling to the bottom-right corner.
    static const QIcon picture = paintedIcon(QStringLiteral("sizeGrip"), QSize(16, 16), [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        const QColor light(0xff, 0xff, 0xff);
        const QColor dark(0x5a, 0x5a, 0x5a);
        for (int row = 0; row < 3; ++row) {
            for (int i = 0; i <= row; ++i) {
                const int x = 13 - 4 * (row - i);
                const int y = 13 - 4 * i;
                p.fillRect(x, y, 2, 2, dark);
                p.fillRect(x - 1, y - 1, 1, 1, light);
            }
        }
    });
    return picture;
}

QIcon unsavedMark() {
    // A red disk with a white exclamation mark.
    static const QIcon picture = paintedIcon(QStringLiteral("unsavedMark"), QSize(16, 16), [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(pen(kPaper));
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kPaper);
        p.drawRect(QRectF(7, 3.5, 2, 6));
        p.drawRect(QRectF(7, 10.5, 2, 2));
    });
    return picture;
}

QIcon readOnlyMark() {
    // A padlock: a pale body under a dark shackle.
    static const QIcon picture = paintedIcon(QStringLiteral("readOnlyMark"), QSize(16, 16), [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(pen(kPaper, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
        p.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
        p.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
        p.setPen(pen(kInk));
        p.setBrush(kNote);
        p.drawRect(QRectF(2.5, 7.5, 11, 7));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRect(QRectF(7, 9.5, 2, 3));
    });
    return picture;
}

} // namespace stikko::notepictures
