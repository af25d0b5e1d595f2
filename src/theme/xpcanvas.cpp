#include "theme/xpcanvas.h"

#include "theme/colors.h"

#include <QFontMetrics>
#include <cstdlib>

namespace stikko::xp {

QColor toColor(ColorValue value) {
    return colors::toQColor(value);
}

XPCanvas::XPCanvas(QPainter& painter, int depth, const QImage* readBack, QPoint origin)
    : painter_(painter), depth_(depth), readBack_(readBack), origin_(origin), font_(painter.font()) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
}

void XPCanvas::setPen(ColorValue color) {
    pen_ = color;
}

void XPCanvas::setBrush(ColorValue color) {
    brush_ = color;
    brushClear_ = false;
}

void XPCanvas::setFont(const QFont& font) {
    font_ = font;
    painter_.setFont(font);
}

void XPCanvas::fillRect(const Edges& r) {
    if (!brushClear_ && r.width() > 0 && r.height() > 0)
        painter_.fillRect(r.toRect(), toColor(brush_));
}

void XPCanvas::rectangle(const Edges& r) {
    if (r.width() <= 0 || r.height() <= 0)
        return;
    fillRect(r);
    const QColor pen = toColor(pen_);
    painter_.fillRect(QRect(r.left, r.top, r.width(), 1), pen);
    painter_.fillRect(QRect(r.left, r.bottom - 1, r.width(), 1), pen);
    painter_.fillRect(QRect(r.left, r.top, 1, r.height()), pen);
    painter_.fillRect(QRect(r.right - 1, r.top, 1, r.height()), pen);
}

void XPCanvas::roundRect(const Edges& r, int w, int h) {
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter_.save();
    painter_.setPen(QPen(toColor(pen_), 0));
    painter_.setBrush(brushClear_ ? QBrush(Qt::NoBrush) : QBrush(toColor(brush_)));
    // An aliased outline of a rectangle w x h covers w + 1 columns and h + 1 rows.
    painter_.drawRoundedRect(QRectF(r.left, r.top, r.width() - 1, r.height() - 1), w / 2.0, h / 2.0);
    painter_.restore();
}

void XPCanvas::ellipse(const Edges& r) {
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter_.save();
    painter_.setPen(QPen(toColor(pen_), 0));
    painter_.setBrush(brushClear_ ? QBrush(Qt::NoBrush) : QBrush(toColor(brush_)));
    painter_.drawEllipse(QRectF(r.left, r.top, r.width() - 1, r.height() - 1));
    painter_.restore();
}

void XPCanvas::lineTo(int x, int y) {
    // Bresenham from the current position, the end point left out.
    const QColor pen = toColor(pen_);
    int x0 = position_.x();
    int y0 = position_.y();
    const int dx = std::abs(x - x0);
    const int dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1;
    const int sy = y0 < y ? 1 : -1;
    int error = dx + dy;
    while (x0 != x || y0 != y) {
        painter_.fillRect(QRect(x0, y0, 1, 1), pen);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
    position_ = QPoint(x, y);
}

void XPCanvas::setPixel(int x, int y, ColorValue color) {
    painter_.fillRect(QRect(x, y, 1, 1), toColor(color));
}

void XPCanvas::andRect(const Edges& r, ColorValue color) {
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter_.save();
    painter_.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter_.fillRect(r.toRect(), toColor(color));
    painter_.restore();
}

ColorValue XPCanvas::pixel(int x, int y) const {
    if (readBack_ == nullptr)
        return colors::resolve(brush_);
    const qreal ratio = readBack_->devicePixelRatio();
    const QPoint at(qRound((x - origin_.x()) * ratio), qRound((y - origin_.y()) * ratio));
    if (!readBack_->rect().contains(at))
        return colors::resolve(brush_);
    return colors::fromQColor(readBack_->pixelColor(at));
}

void XPCanvas::drawText(const Edges& r, const QString& text, int format) {
    int flags = Qt::TextShowMnemonic | Qt::AlignAbsolute;
    if (format & kDtCenter)
        flags |= Qt::AlignHCenter;
    else if (format & kDtRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    flags |= (format & kDtVCenter) ? Qt::AlignVCenter : Qt::AlignTop;
    if (format & kDtRtlReading)
        flags |= Qt::TextForceRightToLeft;
    painter_.save();
    painter_.setFont(font_);
    painter_.setPen(toColor(textColor_));
    painter_.drawText(r.toRect(), flags, text);
    painter_.restore();
}

int XPCanvas::textWidth(const QString& text) const {
    return QFontMetrics(font_).horizontalAdvance(text);
}

int XPCanvas::textHeight() const {
    return QFontMetrics(font_).height();
}

} // namespace stikko::xp
