// The flat style's colour and bitmap helpers against values worked out by hand from their
// arithmetic: rounding halves to even, clamps and caps, transparency kept in the alpha channel,
// and the exact pixels of the two small glyphs.
#include "theme/colors.h"
#include "theme/xphelpers.h"

#include <QApplication>
#include <QSet>
#include <QTest>

using namespace stikko;
using namespace stikko::xp;

namespace {

// The pixels of `image` that are not white, as "x,y".
QSet<QString> inked(const QImage& image) {
    QSet<QString> points;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                points.insert(QStringLiteral("%1,%2").arg(x).arg(y));
        }
    }
    return points;
}

QImage white(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

} // namespace

class XPHelpersTest : public QObject {
    Q_OBJECT
  private slots:
    void colours_followTheirArithmetic() {
        // Darkening: green two steps less; clamped at both ends, so -40 lightens.
        QCOMPARE(GetShadeColor(0x00FFFFFF, 90), 0x00A5A7A5);
        QCOMPARE(GetShadeColor(0x00000000, 5), 0x00000000);
        QCOMPARE(GetShadeColor(0x00000000, 1), 0x00000100);
        QCOMPARE(GetShadeColor(0x00102030, 0), 0x00102230);
        QCOMPARE(GetShadeColor(0x00FFFFFF, 0), 0x00FFFFFF);
        QCOMPARE(GetShadeColor(0x00000000, -40), 0x00282A28);

        // Lightening: levels above 100 count as 100; exact halves go to the even neighbour.
        QCOMPARE(NewColor(0x00123456, 0), 0x00123456);
        QCOMPARE(NewColor(0x00123456, 100), 0x00FFFFFF);
        QCOMPARE(NewColor(0x00123456, 150), 0x00FFFFFF);
        QCOMPARE(NewColor(0x00000000, 50), 0x00808080); // 127.5 -> 128
        QCOMPARE(NewColor(0x00FEFEFE, 50), 0x00FEFEFE); // 0.5 -> 0
        QCOMPARE(NewColor(0x00C68C30, 68), 0x00EDDABD); // a highlight's selection fill
        QCOMPARE(roundHalfEven(10.5), 10);              // 14-pixel text makes 24-pixel rows
        QCOMPARE(roundHalfEven(11.5), 12);
        // A device of 256 colours shows the nearest of its fixed colours (here sky blue).
        QCOMPARE(NewColor(0x00C68C30, 68, 8), 0x00F0CAA6);
        QCOMPARE(NewColor(0x00C68C30, 68, 16), 0x00EDDABD);

        // Greying: the average raised by the level, never above 240.
        QCOMPARE(GrayColor(0x00FFFFFF, 10), 0x00F0F0F0);
        QCOMPARE(GrayColor(0x00000000, 10), 0x000A0A0A);
        QCOMPARE(GrayColor(0x00030201, 0), 0x00020202);

        // System colours are resolved first; the results are plain RGB.
        const ColorValue face = colors::systemColorValue(colors::kButtonFace);
        QCOMPARE(NewColor(face, 0), colors::resolve(face));
        QVERIFY(!colors::isSystemColor(GetShadeColor(face, 0)));
    }

    void greyingAndFading_changeColoursAndKeepAlpha() {
        QImage image(3, 2, QImage::Format_ARGB32);
        image.setPixel(0, 0, qRgba(0, 0, 0, 255)); // black first, converted like later black
        image.setPixel(1, 0, qRgba(0, 0, 0, 255));
        image.setPixel(2, 0, qRgba(255, 0, 0, 0));
        image.setPixel(0, 1, qRgba(255, 255, 255, 128));
        image.setPixel(1, 1, qRgba(0, 0, 0, 255));
        image.setPixel(2, 1, qRgba(10, 20, 30, 255));
        QImage grey = image;
        GrayBitmap(grey, 10);
        QCOMPARE(grey.pixel(0, 0), qRgba(10, 10, 10, 255));
        QCOMPARE(grey.pixel(1, 1), qRgba(10, 10, 10, 255));
        QCOMPARE(grey.pixel(2, 0), qRgba(95, 95, 95, 0));
        QCOMPARE(grey.pixel(0, 1), qRgba(240, 240, 240, 128));
        QCOMPARE(grey.pixel(2, 1), qRgba(30, 30, 30, 255));

        QImage faded = image;
        DimBitmap(faded, 100);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                QCOMPARE(qRgb(qRed(faded.pixel(x, y)), qGreen(faded.pixel(x, y)), qBlue(faded.pixel(x, y))),
                         qRgb(255, 255, 255));
                QCOMPARE(qAlpha(faded.pixel(x, y)), qAlpha(image.pixel(x, y)));
            }
        }
        QImage empty;
        GrayBitmap(empty, 10);
        DimBitmap(empty, 10);
        QVERIFY(empty.isNull());
    }

    void shadowArrowAndCheckMark_drawExactlyTheirPixels() {
        QImage target = white(40, 40);
        {
            QPainter painter(&target);
            XPCanvas canvas(painter, 32);
            canvas.setPen(kBlack);
            DrawArrow(canvas, 10, 20);
        }
        QCOMPARE(inked(target), (QSet<QString>{"10,20", "11,20", "12,20", "13,20", "14,20", "11,21", "12,21",
                                               "13,21", "12,22"}));

        target = white(40, 40);
        {
            QPainter painter(&target);
            XPCanvas canvas(painter, 32);
            canvas.setPen(kBlack);
            DrawCheckMark(canvas, 5, 30);
        }
        QSet<QString> mark;
        for (int i = 0; i < 3; ++i) {
            // Two pixels down and to the right, then five up and to the right.
            for (const QPoint& p :
                 {QPoint(7, 25 - i), QPoint(8, 26 - i), QPoint(9, 27 - i), QPoint(10, 26 - i),
                  QPoint(11, 25 - i), QPoint(12, 24 - i), QPoint(13, 23 - i)})
                mark.insert(QStringLiteral("%1,%2").arg(p.x()).arg(p.y()));
        }
        QCOMPARE(inked(target), mark);

        // A glyph with alpha casts its opaque pixels only; one without alpha casts every pixel
        // that differs from its bottom-left one, and a uniform one casts nothing.
        QImage glyph(3, 3, QImage::Format_ARGB32);
        glyph.fill(Qt::transparent);
        glyph.setPixel(1, 1, qRgba(200, 0, 0, 255));
        QImage opaque(3, 3, QImage::Format_RGB32);
        opaque.fill(qRgb(0, 128, 0));
        QImage uniform = opaque;
        opaque.setPixel(0, 0, qRgb(1, 2, 3));
        target = white(10, 10);
        {
            QPainter painter(&target);
            XPCanvas canvas(painter, 32);
            DrawBitmapShadow(glyph, canvas, 2, 2, 0x00102030);
            DrawBitmapShadow(uniform, canvas, 6, 6, 0x00102030);
            DrawBitmapShadow(opaque, canvas, 6, 0, 0x00102030);
        }
        QCOMPARE(inked(target), (QSet<QString>{"3,3", "6,0"}));
        QCOMPARE(target.pixel(3, 3), qRgb(0x30, 0x20, 0x10));
    }

    void systemMenuFont_takesTheDesktopsMenuFontInTheMenuTextColour() {
        MenuFont font;
        font.font = QFont(QStringLiteral("Serif"), 30);
        font.color = 0x00123456;
        GetSystemMenuFont(font);
        QCOMPARE(font.font, QApplication::font("QMenu"));
        QCOMPARE(font.color, colors::systemColorValue(colors::kMenuText));
    }
};

QTEST_MAIN(XPHelpersTest)
#include "xphelpers_test.moc"
