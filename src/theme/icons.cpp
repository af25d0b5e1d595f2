#include "theme/icons.h"

#include "theme/paintedicon.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <array>

// One flat style for every picture: a dark slate outline, white or pale fills and a few
// saturated accents, antialiased on a transparent 16 x 16 grid. Lines sit on half units so
// one-unit strokes stay sharp at scale 1.

namespace stikko::icons {

namespace {

using namespace ink;

constexpr int kEditIconCount = 19;

QPen inkPen(qreal width = 1.0, const QColor& color = kInk) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A letter shape filled in ink, centred in `box`.
void drawLetter(QPainter& p, const QString& text, const QRectF& box, bool bold, bool italic,
                const QColor& color = kInk) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qRound(box.height() * 1.25));
    font.setBold(bold);
    font.setItalic(italic);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    // Scale the glyph outline to the box so the letter is the same size with any font.
    const qreal scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform t;
    t.translate(box.center().x(), box.center().y());
    t.scale(scale, scale);
    t.translate(-bounds.center().x(), -bounds.center().y());
    p.fillPath(t.map(path), color);
}

void drawPage(QPainter& p, const QRectF& r, const QColor& fill = kPaper) {
    p.setPen(inkPen());
    p.setBrush(fill);
    p.drawRect(r);
}

void drawTextColor(QPainter& p) {
    drawLetter(p, QStringLiteral("A"), QRectF(3, 1, 10, 10), true, false);
    p.fillRect(QRectF(2, 12, 12, 3), kRed);
}

void drawBullets(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    for (int i = 0; i < 3; ++i) {
        p.drawEllipse(QRectF(1.5, 2 + i * 5, 3, 3));
    }
    p.setPen(inkPen());
    for (int i = 0; i < 3; ++i) {
        const qreal y = 3.5 + i * 5;
        p.drawLine(QPointF(7.5, y), QPointF(14.5, y));
    }
}

void drawUndo(QPainter& p) {
    QPainterPath arc;
    arc.moveTo(4, 7);
    arc.cubicTo(6, 3.5, 12.5, 3.5, 13, 8.5);
    arc.cubicTo(13.3, 11.5, 11, 13.5, 8, 13.5);
    p.setPen(inkPen(1.8, kBlue));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({{1.5, 3}, {7, 8.5}, {1.5, 9.5}}));
}

void drawCopy(QPainter& p) {
    drawPage(p, QRectF(1.5, 1.5, 8, 10), kPale);
    drawPage(p, QRectF(6.5, 4.5, 8, 10));
    p.setPen(inkPen(1, kBlue));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 7.5 + i * 2;
        p.drawLine(QPointF(8.5, y), QPointF(12.5, y));
    }
}

void drawCut(QPainter& p) {
    p.setPen(inkPen(1.3));
    p.drawLine(QPointF(5, 1.5), QPointF(10.5, 10));
    p.drawLine(QPointF(11, 1.5), QPointF(5.5, 10));
    p.setPen(inkPen(1.5, kRed));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(1.5, 9.5, 5, 5));
    p.drawEllipse(QRectF(9.5, 9.5, 5, 5));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(8, 6.5), 1, 1);
}

void drawPaste(QPainter& p) {
    p.setPen(inkPen());
    p.setBrush(QColor(0xc8, 0x94, 0x5a));
    p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1.5, 1.5);
    p.setBrush(kPale);
    p.drawRect(QRectF(4.5, 1.5, 4, 3));
    drawPage(p, QRectF(6.5, 6.5, 8, 8));
    p.setPen(inkPen(1, kBlue));
    p.drawLine(QPointF(8.5, 9.5), QPointF(12.5, 9.5));
    p.drawLine(QPointF(8.5, 11.5), QPointF(12.5, 11.5));
}

void drawUnderline(QPainter& p) {
    drawLetter(p, QStringLiteral("U"), QRectF(3.5, 1, 9, 10), true, false);
    p.fillRect(QRectF(2, 13, 12, 2), kBlue);
}

void drawBold(QPainter& p) {
    drawLetter(p, QStringLiteral("B"), QRectF(3, 2, 10, 12), true, false);
}

void drawFont(QPainter& p) {
    drawLetter(p, QStringLiteral("A"), QRectF(0.5, 2, 9, 12), true, false);
    drawLetter(p, QStringLiteral("a"), QRectF(9.5, 7, 6, 7), false, false, kBlue);
}

void drawItalic(QPainter& p) {
    drawLetter(p, QStringLiteral("I"), QRectF(4, 2, 8, 12), true, true);
}

void drawPrint(QPainter& p) {
    drawPage(p, QRectF(4.5, 1.5, 7, 5));
    p.setPen(inkPen());
    p.setBrush(kPale);
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
    drawPage(p, QRectF(4.5, 9.5, 7, 5));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(11.5, 7, 2, 2));
    p.setPen(inkPen(1, kBlue));
    p.drawLine(QPointF(6, 12), QPointF(10, 12));
}

void drawClose(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
    p.setPen(inkPen(2, kPaper));
    p.drawLine(QPointF(5, 5), QPointF(11, 11));
    p.drawLine(QPointF(11, 5), QPointF(5, 11));
}

void drawDelete(QPainter& p) {
    p.setPen(inkPen());
    p.setBrush(kPale);
    QPainterPath can;
    can.moveTo(3.5, 4.5);
    can.lineTo(12.5, 4.5);
    can.lineTo(11.5, 14.5);
    can.lineTo(4.5, 14.5);
    can.closeSubpath();
    p.drawPath(can);
    p.setPen(inkPen(1.5));
    p.drawLine(QPointF(2, 3.5), QPointF(14, 3.5));
    p.setPen(inkPen(1.2));
    p.drawLine(QPointF(6.5, 3), QPointF(6.5, 1.5));
    p.drawLine(QPointF(6.5, 1.5), QPointF(9.5, 1.5));
    p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 3));
    p.setPen(inkPen(1, kRed));
    p.drawLine(QPointF(6.5, 6.5), QPointF(6.5, 12.5));
    p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.5));
}

void drawSettings(QPainter& p) {
    QPainterPath gear;
    const QPointF c(8, 8);
    constexpr int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal angle = (i * M_PI) / teeth - M_PI / (teeth * 2);
        const qreal r = (i % 2 == 0) ? 7.2 : 5.2;
        const qreal a1 = angle;
        const qreal a2 = angle + M_PI / teeth;
        const QPointF p1(c.x() + r * std::cos(a1), c.y() + r * std::sin(a1));
        const QPointF p2(c.x() + r * std::cos(a2), c.y() + r * std::sin(a2));
        if (i == 0) {
            gear.moveTo(p1);
        } else {
            gear.lineTo(p1);
        }
        gear.lineTo(p2);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 2.2, 2.2);
    p.setPen(inkPen(0.8));
    p.setBrush(QColor(0x8a, 0x96, 0xa3));
    p.drawPath(gear.subtracted(hole));
}

void drawAlarm(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QRectF(0.5, 0.5, 5, 5));
    p.drawEllipse(QRectF(10.5, 0.5, 5, 5));
    p.setPen(inkPen(1.2));
    p.drawLine(QPointF(4, 13.5), QPointF(2.5, 15));
    p.drawLine(QPointF(12, 13.5), QPointF(13.5, 15));
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(2, 2.5, 12, 12));
    p.setPen(inkPen(1.2, kBlue));
    p.drawLine(QPointF(8, 8.5), QPointF(8, 5));
    p.drawLine(QPointF(8, 8.5), QPointF(10.5, 10));
}

void drawHide(QPainter& p) {
    QPainterPath eye;
    eye.moveTo(1, 8);
    eye.quadTo(8, 0.5, 15, 8);
    eye.quadTo(8, 15.5, 1, 8);
    p.setPen(inkPen());
    p.setBrush(kPaper);
    p.drawPath(eye);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(8, 8), 2.6, 2.6);
    p.setPen(inkPen(2.4, kPaper));
    p.drawLine(QPointF(3, 13), QPointF(13, 3));
    p.setPen(inkPen(1.4, kRed));
    p.drawLine(QPointF(3, 13), QPointF(13, 3));
}

void drawAbout(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(8, 4.5), 1.3, 1.3);
    p.drawRoundedRect(QRectF(6.8, 7, 2.4, 6), 0.8, 0.8);
}

void drawHome(QPainter& p) {
    QPainterPath roof;
    roof.moveTo(0.8, 8);
    roof.lineTo(8, 1.5);
    roof.lineTo(15.2, 8);
    p.setPen(inkPen());
    p.setBrush(kPaper);
    p.drawRect(QRectF(3.5, 7.5, 9, 7));
    p.setPen(inkPen(1.8, kRed));
    p.setBrush(Qt::NoBrush);
    p.drawPath(roof);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(6.5, 10, 3, 4.5));
}

void drawAllNotes(QPainter& p) {
    const QColor back(0xff, 0xe9, 0x9a);
    for (int i = 0; i < 3; ++i) {
        const qreal o = 1.5 + i * 3;
        p.setPen(inkPen(1, kYellowEdge));
        p.setBrush(i == 2 ? kYellow : back);
        p.drawRect(QRectF(o, 6.5 - i * 2.5, 8, 8));
    }
    p.setPen(inkPen(1, kYellowEdge));
    p.drawLine(QPointF(9, 4.5), QPointF(13, 4.5));
    p.drawLine(QPointF(9, 6.5), QPointF(13, 6.5));
}

using Painter = void (*)(QPainter&);

constexpr std::array<Painter, kEditIconCount> kPainters = {
    drawTextColor, drawBullets, drawUndo,   drawCopy,  drawCut,      drawPaste,  drawUnderline,
    drawBold,      drawFont,    drawItalic, drawPrint, drawClose,    drawDelete, drawSettings,
    drawAlarm,     drawHide,    drawAbout,  drawHome,  drawAllNotes,
};

// The tray picture: a yellow sticky note, its bottom-right corner turned up, with a red pin
// and three lines of writing, on a 48-unit grid.
void drawTray(QPainter& p) {
    const QPainterPath note = foldedNote(QRectF(QPointF(5, 7), QPointF(43, 44)), 12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawPath(note.translated(1.5, 1.5));
    p.setPen(QPen(kYellowEdge, 1.5));
    p.setBrush(kYellow);
    p.drawPath(note);

    QPainterPath curl;
    curl.moveTo(43, 32);
    curl.lineTo(33, 32);
    curl.quadTo(31, 32, 31, 34);
    curl.lineTo(31, 44);
    curl.closeSubpath();
    p.setBrush(QColor(0xe8, 0xb8, 0x22));
    p.drawPath(curl);

    QPen line(QColor(0x9a, 0x74, 0x10), 2.6);
    line.setCapStyle(Qt::RoundCap);
    p.setPen(line);
    p.drawLine(QPointF(11, 19), QPointF(37, 19));
    p.drawLine(QPointF(11, 26), QPointF(33, 26));
    p.drawLine(QPointF(11, 33), QPointF(25, 33));

    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(24, 8.5), 4, 4);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(22.8, 7.3), 1.3, 1.3);
}

} // namespace

QIcon editIcon(int index) {
    if (index < 0 || index >= kEditIconCount) {
        return {};
    }
    // Every note asks for about twenty of these: one icon each, shared; their pixmaps live in
    // the application's pixmap cache.
    static std::array<QIcon, kEditIconCount> made;
    QIcon& icon = made[static_cast<size_t>(index)];
    if (icon.isNull()) {
        icon = paintedIcon(QStringLiteral("edit%1").arg(index), QSize(16, 16),
                           kPainters[static_cast<size_t>(index)]);
    }
    return icon;
}

QIcon trayIcon() {
    return paintedIcon(QStringLiteral("tray"), QSize(48, 48), drawTray,
                       {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48),
                        QSize(64, 64), QSize(128, 128), QSize(256, 256)});
}

QIcon windowIcon() {
    // Every window hands its icon to the window system as it is made: pictures painted once
    // here serve them all without being looked up by name again for each.
    const QIcon painted =
        paintedIcon(QStringLiteral("tray"), QSize(48, 48), drawTray, {QSize(16, 16), QSize(32, 32)});
    QIcon icon;
    for (const QSize& size : painted.availableSizes())
        icon.addPixmap(painted.pixmap(size));
    return icon;
}

} // namespace stikko::icons
