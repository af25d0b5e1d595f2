#pragma once
// The drawing surface of the flat style's painters. Their arithmetic counts rectangles by
// left, top, right and bottom edges with the right and bottom ones outside, draws lines that
// leave out their end point, and keeps a pen, a brush and a current position between calls;
// this canvas draws exactly those pixels with QPainter, so the painters can be written as
// their arithmetic reads.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>

namespace stikko::xp {

// A colour value as colors.h describes it: 0x00BBGGRR, or a system colour (0x800000nn).
using ColorValue = int32_t;

inline constexpr ColorValue kBlack = 0x00000000;
inline constexpr ColorValue kWhite = 0x00FFFFFF;
inline constexpr ColorValue kSilver = 0x00C0C0C0;

// Text formats (combinable).
inline constexpr int kDtLeft = 0;
inline constexpr int kDtCenter = 1;
inline constexpr int kDtRight = 2;
inline constexpr int kDtVCenter = 4;
inline constexpr int kDtRtlReading = 0x20000;

struct Edges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    QRect toRect() const { return QRect(left, top, right - left, bottom - top); }
    static Edges of(const QRect& rect) {
        return {rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
    }
    bool operator==(const Edges&) const = default;
};

class XPCanvas {
  public:
    // Draws through `painter` for a device of `depth` bits per pixel. `readBack`, when given, is
    // the image the painter draws on, placed with its top-left pixel at `origin` in the
    // painter's coordinates; pixel() reads it.
    XPCanvas(QPainter& painter, int depth, const QImage* readBack = nullptr, QPoint origin = {});

    QPainter& painter() { return painter_; }
    int depth() const { return depth_; }

    // The pen, one pixel wide.
    void setPen(ColorValue color);
    ColorValue pen() const { return pen_; }
    // Giving the brush a colour makes it solid; a clear brush keeps its colour for later.
    void setBrush(ColorValue color);
    void setBrushClear() { brushClear_ = true; }
    void setBrushSolid() { brushClear_ = false; }
    ColorValue brush() const { return brush_; }
    bool brushClear() const { return brushClear_; }

    void setFont(const QFont& font);
    const QFont& font() const { return font_; }
    void setTextColor(ColorValue color) { textColor_ = color; }
    ColorValue textColor() const { return textColor_; }

    // Fills with the brush (nothing while it is clear).
    void fillRect(const Edges& r);
    // Outlines with the pen, the inside filled with the brush unless it is clear.
    void rectangle(const Edges& r);
    // The same with corners rounded by a `w` x `h` ellipse.
    void roundRect(const Edges& r, int w, int h);
    // The ellipse inscribed in `r`, outlined with the pen and filled with the brush.
    void ellipse(const Edges& r);
    void moveTo(int x, int y) { position_ = QPoint(x, y); }
    // A line from the current position to (x, y), leaving out (x, y), which becomes current.
    void lineTo(int x, int y);
    void setPixel(int x, int y, ColorValue color);
    // Combines `color` bit by bit (AND) with what the rectangle shows: a tint through which
    // what lies beneath stays visible.
    void andRect(const Edges& r, ColorValue color);
    // The colour at (x, y) as plain RGB; the brush colour where nothing can be read.
    ColorValue pixel(int x, int y) const;

    // Text in the text colour on a transparent background, "&" underlining the next letter.
    void drawText(const Edges& r, const QString& text, int format);
    int textWidth(const QString& text) const;
    int textHeight() const;

  private:
    QPainter& painter_;
    int depth_;
    const QImage* readBack_;
    QPoint origin_;
    ColorValue pen_ = kBlack;
    ColorValue brush_ = kWhite;
    bool brushClear_ = false;
    ColorValue textColor_ = kBlack;
    QFont font_;
    QPoint position_;
};

// A colour value as a QColor; system colours resolved.
QColor toColor(ColorValue value);

} // namespace stikko::xp
