#include "theme/xphelpers.h"

#include "theme/colors.h"

#include <QApplication>
#include <algorithm>
#include <array>
#include <cmath>

namespace stikko::xp {

namespace {

struct Channels {
    int red;
    int green;
    int blue;
};

Channels split(ColorValue color) {
    const auto v = static_cast<uint32_t>(colors::resolve(color));
    return {int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF)};
}

ColorValue compose(int red, int green, int blue) {
    return ColorValue(uint32_t(red & 0xFF) | (uint32_t(green & 0xFF) << 8) | (uint32_t(blue & 0xFF) << 16));
}

ColorValue fromRgb(QRgb rgb) {
    return compose(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

QRgb toRgb(ColorValue color, int alpha) {
    const Channels c = split(color);
    return qRgba(c.red, c.green, c.blue, alpha);
}

// Every pixel of `image` to `convert(colour)`, remembering the last colour converted so that
// runs of equal pixels are worked out once.
template <typename Convert> void convertPixels(QImage& image, Convert convert) {
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    bool remembered = false;
    ColorValue last = 0;
    ColorValue lastResult = 0;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const ColorValue p = fromRgb(line[x]);
            if (!remembered || p != last) {
                last = p;
                lastResult = convert(p);
                remembered = true;
            }
            line[x] = toRgb(lastResult, qAlpha(line[x]));
        }
    }
}

} // namespace

int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value)); // the default rounding mode is to nearest-even
}

ColorValue nearestColor(ColorValue rgb, int depth) {
    if (depth > 8)
        return rgb;
    static constexpr std::array<ColorValue, 20> kStatic = {
        0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0, 0xC0DCC0, 0xF0CAA6,
        0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
    };
    const Channels c = split(rgb);
    ColorValue best = kStatic[0];
    int bestDistance = INT32_MAX;
    for (ColorValue candidate : kStatic) {
        const Channels k = split(candidate);
        const int distance = (c.red - k.red) * (c.red - k.red) + (c.green - k.green) * (c.green - k.green) +
                             (c.blue - k.blue) * (c.blue - k.blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    return best;
}

ColorValue GetShadeColor(ColorValue color, int level) {
    const Channels c = split(color);
    return compose(std::clamp(c.red - level, 0, 255), std::clamp(c.green - level + 2, 0, 255),
                   std::clamp(c.blue - level, 0, 255));
}

ColorValue NewColor(ColorValue color, int level, int depth) {
    level = std::min(level, 100);
    const Channels c = split(color);
    const double part = level / 100.0;
    const auto lighten = [part](int channel) { return channel + roundHalfEven((255 - channel) * part); };
    return nearestColor(compose(lighten(c.red), lighten(c.green), lighten(c.blue)), depth);
}

ColorValue GrayColor(ColorValue color, int level) {
    const Channels c = split(color);
    const int grey = std::min((c.red + c.green + c.blue) / 3 + level, 240);
    return compose(grey, grey, grey);
}

void GrayBitmap(QImage& image, int level) {
    convertPixels(image, [level](ColorValue p) { return GrayColor(p, level); });
}

void DimBitmap(QImage& image, int level) {
    level = std::min(level, 100);
    convertPixels(image, [level](ColorValue p) { return NewColor(p, level); });
}

void DrawBitmapShadow(const QImage& image, XPCanvas& canvas, int x, int y, ColorValue shadow) {
    if (image.isNull())
        return;
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    const bool alpha = image.hasAlphaChannel();
    const QRgb transparent = source.pixel(0, source.height() - 1);
    QImage silhouette(source.size(), QImage::Format_ARGB32);
    silhouette.setDevicePixelRatio(image.devicePixelRatio());
    bool any = false;
    for (int py = 0; py < source.height(); ++py) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(py));
        auto* out = reinterpret_cast<QRgb*>(silhouette.scanLine(py));
        for (int px = 0; px < source.width(); ++px) {
            const int cover = alpha ? qAlpha(in[px]) : (in[px] != transparent ? 255 : 0);
            out[px] = toRgb(shadow, cover);
            any = any || cover > 0;
        }
    }
    if (any)
        canvas.painter().drawImage(QPoint(x, y), silhouette);
}

void DrawArrow(XPCanvas& canvas, int x, int y) {
    canvas.moveTo(x, y);
    canvas.lineTo(x + 5, y);
    canvas.moveTo(x + 1, y + 1);
    canvas.lineTo(x + 4, y + 1);
    canvas.moveTo(x + 2, y + 2);
    canvas.lineTo(x + 3, y + 2);
}

void DrawCheckMark(XPCanvas& canvas, int x, int y) {
    for (int i = 0; i < 3; ++i) {
        canvas.moveTo(x + 2, y - 5 - i);
        canvas.lineTo(x + 4, y - 3 - i);
        canvas.lineTo(x + 9, y - 8 - i);
    }
}

void GetSystemMenuFont(MenuFont& font) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    font.font = QApplication::font("QMenu");
    font.color = kMenuText;
}

} // namespace stikko::xp
