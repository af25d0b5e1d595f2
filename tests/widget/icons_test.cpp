// The program's own pictures: every index of the menu image list is a distinct 16 x 16 picture,
// drawn afresh (not enlarged) at scale 2, and the tray icon offers the sizes desktops ask for.
#include "theme/icons.h"

#include <QImage>
#include <QSet>
#include <QTest>

using namespace stikko;

class IconsTest : public QObject {
    Q_OBJECT
  private slots:
    void everyMenuIndex_isADistinctPicture() {
        QSet<QByteArray> seen;
        for (int index = 0; index <= 18; ++index) {
            const QPixmap pixmap = icons::editIcon(index).pixmap(QSize(16, 16), 1.0);
            QVERIFY2(!pixmap.isNull(), qPrintable(QString::number(index)));
            QCOMPARE(pixmap.size(), QSize(16, 16));
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            int opaque = 0;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
                }
            }
            // Something is drawn, and it is not a filled square.
            QVERIFY2(opaque > 20 && opaque < 256, qPrintable(QString::number(index)));
            const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
            QVERIFY2(!seen.contains(bytes), qPrintable(QString::number(index)));
            seen.insert(bytes);

            // At scale 2 the picture has four times the pixels, and they are drawn, not copied:
            // an enlarged 16 x 16 picture would be the same as its pixels doubled.
            const QPixmap sharp = icons::editIcon(index).pixmap(QSize(16, 16), 2.0);
            QCOMPARE(sharp.size(), QSize(32, 32));
            QCOMPARE(sharp.deviceIndependentSize().toSize(), QSize(16, 16));
            const QImage doubled = image.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            QVERIFY2(sharp.toImage().convertToFormat(QImage::Format_ARGB32) != doubled,
                     qPrintable(QString::number(index)));
        }
    }

    void unknownIndexes_giveNullIcons() {
        QVERIFY(icons::editIcon(-1).isNull());
        QVERIFY(icons::editIcon(19).isNull());
    }

    void trayIcon_hasTheDesktopSizes_withAYellowNote() {
        const QIcon icon = icons::trayIcon();
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
        QCOMPARE(icon.pixmap(QSize(256, 256)).size(), QSize(256, 256));
        const QImage image = icon.pixmap(QSize(48, 48)).toImage();
        const QColor middle = image.pixelColor(14, 38);
        QVERIFY(middle.red() > 200 && middle.green() > 180 && middle.blue() < 120);
    }
};

QTEST_MAIN(IconsTest)
#include "icons_test.moc"
