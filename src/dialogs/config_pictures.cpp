#include "dialogs/config_pictures.h"

#include "theme/paintedicon.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace stikko::configpictures {

namespace {
void drawClock(QPainter& p, QPointF centre, qreal radius, const QColor& rim) {
    p.setPen(QPen(rim, 1.2));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(ink::kInk, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(0, -radius * 0.65));
    p.drawLine(centre, centre + QPointF(radius * 0.5, 0));
}

void drawTab(QPainter& p, int page) {
    switch (page) {
    case 0: { // a palette with four paint spots
        QPainterPath palette;
        palette.addEllipse(QRectF(1.5, 2.5, 13, 11));
        QPainterPath hole;
        hole.addEllipse(QRectF(8.5, 8.5, 3, 3));
        p.setPen(QPen(QColor(120, 90, 50), 1));
        p.setBrush(QColor(235, 205, 150));
        p.drawPath(palette.subtracted(hole));
        const QColor spots[] = {QColor(57, 111, 83), QColor(220, 50, 50), QColor(240, 200, 40),
                                QColor(60, 90, 200)};
        const QPointF at[] = {{5, 6}, {8.5, 5}, {12, 6.5}, {5, 10}};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            p.setBrush(spots[i]);
            p.drawEllipse(at[i], 1.6, 1.6);
        }
        break;
    }
    case 1: // an alarm clock
        p.setPen(QPen(QColor(150, 40, 40), 1.5));
        p.drawLine(QPointF(3, 4), QPointF(5, 2));
        p.drawLine(QPointF(13, 4), QPointF(11, 2));
        drawClock(p, QPointF(8, 9), 5.5, QColor(150, 40, 40));
        break;
    default: { // a bell
        QPainterPath bell;
        bell.moveTo(8, 2);
        bell.cubicTo(12, 2, 12.5, 6, 12.5, 9);
        bell.lineTo(14, 12);
        bell.lineTo(2, 12);
        bell.lineTo(3.5, 9);
        bell.cubicTo(3.5, 6, 4, 2, 8, 2);
        p.setPen(QPen(QColor(140, 100, 10), 1));
        p.setBrush(QColor(250, 200, 40));
        p.drawPath(bell);
        p.setBrush(QColor(140, 100, 10));
        p.drawEllipse(QPointF(8, 13.5), 1.5, 1.5);
        break;
    }
    }
}
} // namespace

QIcon tabIcon(int page) {
    static const QIcon pictures[] = {
        paintedIcon(QStringLiteral("configTab0"), QSize(16, 16), [](QPainter& p) { drawTab(p, 0); }),
        paintedIcon(QStringLiteral("configTab1"), QSize(16, 16), [](QPainter& p) { drawTab(p, 1); }),
        paintedIcon(QStringLiteral("configTab2"), QSize(16, 16), [](QPainter& p) { drawTab(p, 2); }),
    };
    return pictures[std::clamp(page, 0, 2)];
}

QIcon colorButton() {
    static const QIcon picture = paintedIcon(QStringLiteral("colorButton"), QSize(14, 14), [](QPainter& p) {
        // a letter over a bar of colours
        QFont font;
        font.setPixelSize(10);
        font.setBold(true);
        p.setFont(font);
        p.setPen(ink::kInk);
        p.drawText(QRectF(0, -1, 14, 11), Qt::AlignCenter, QStringLiteral("A"));
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRect(1, 10, 4, 3), QColor(220, 50, 50));
        p.fillRect(QRect(5, 10, 4, 3), QColor(57, 160, 83));
        p.fillRect(QRect(9, 10, 4, 3), QColor(60, 90, 200));
    });
    return picture;
}

QIcon browse() {
    static const QIcon picture = paintedIcon(QStringLiteral("browse"), QSize(14, 14), [](QPainter& p) {
        // an open folder
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(QColor(250, 215, 110));
        p.drawRect(QRectF(1.5, 3.5, 10, 8));
        p.setBrush(QColor(255, 235, 150));
        QPolygonF flap({QPointF(3.5, 6.5), QPointF(13, 6.5), QPointF(11.5, 11.5), QPointF(1.5, 11.5)});
        p.drawPolygon(flap);
    });
    return picture;
}

QIcon alarmIcon() {
    static const QIcon picture = paintedIcon(QStringLiteral("alarmIcon"), QSize(32, 32), [](QPainter& p) {
        // calendar sheet
        p.setPen(QPen(QColor(110, 110, 110), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 3.5, 22, 22));
        p.fillRect(QRectF(2, 4, 21, 6), QColor(200, 60, 60));
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        p.drawLine(QPointF(7, 1.5), QPointF(7, 6));
        p.drawLine(QPointF(18, 1.5), QPointF(18, 6));
        p.setPen(QPen(QColor(170, 170, 170), 1));
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col)
                p.drawRect(QRectF(4 + col * 5, 12.5 + row * 4, 2.5, 2));
        // stopwatch in front
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.drawLine(QPointF(23, 13), QPointF(23, 15.5));
        p.setBrush(QColor(60, 60, 60));
        p.drawRect(QRectF(21, 11.5, 4, 1.5));
        drawClock(p, QPointF(23, 23), 7.5, QColor(40, 80, 160));
    });
    return picture;
}

QIcon hourglass() {
    static const QIcon picture = paintedIcon(QStringLiteral("hourglass"), QSize(114, 99), [](QPainter& p) {
        const QColor wood(150, 100, 50), woodDark(100, 65, 30);
        // caps
        p.setPen(QPen(woodDark, 1));
        p.setBrush(wood);
        p.drawRoundedRect(QRectF(30, 4, 54, 9), 3, 3);
        p.drawRoundedRect(QRectF(30, 86, 54, 9), 3, 3);
        // posts
        p.drawRect(QRectF(34, 13, 4, 73));
        p.drawRect(QRectF(76, 13, 4, 73));
        // glass
        QPainterPath glass;
        glass.moveTo(42, 13);
        glass.lineTo(72, 13);
        glass.cubicTo(72, 36, 60, 44, 59, 49.5);
        glass.cubicTo(60, 55, 72, 63, 72, 86);
        glass.lineTo(42, 86);
        glass.cubicTo(42, 63, 54, 55, 55, 49.5);
        glass.cubicTo(54, 44, 42, 36, 42, 13);
        p.setPen(QPen(QColor(120, 150, 180), 1.2));
        p.setBrush(QColor(225, 238, 250));
        p.drawPath(glass);
        // sand: a little left above, a heap below and a falling stream
        const QColor sand(230, 190, 100);
        p.setPen(Qt::NoPen);
        p.setBrush(sand);
        QPainterPath top;
        top.moveTo(49, 34);
        top.lineTo(65, 34);
        top.cubicTo(63, 40, 58, 44, 57, 48);
        top.cubicTo(56, 44, 51, 40, 49, 34);
        p.drawPath(top);
        p.drawRect(QRectF(56.3, 48, 1.4, 28));
        QPainterPath heap;
        heap.moveTo(43, 85);
        heap.cubicTo(46, 74, 53, 70, 57, 70);
        heap.cubicTo(61, 70, 68, 74, 71, 85);
        heap.closeSubpath();
        p.drawPath(heap);
        // a highlight on the glass
        p.setPen(QPen(QColor(255, 255, 255, 200), 2));
        p.drawLine(QPointF(46, 18), QPointF(47, 30));
    });
    return picture;
}

} // namespace stikko::configpictures
