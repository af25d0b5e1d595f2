// stikko_icons FOLDER   writes the program's icon as FOLDER/hicolor/NxN/apps/stikko.png for
// every size a desktop's icon theme offers; `make install` puts them into the hicolor theme.
#include "theme/icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stikko_icons FOLDER\n");
        return 2;
    }
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QIcon icon = stikko::icons::trayIcon();
    for (const QSize& size : icon.availableSizes()) {
        const QString dir =
            QStringLiteral("%1/hicolor/%2x%3/apps").arg(folder).arg(size.width()).arg(size.height());
        const QString file = dir + QStringLiteral("/stikko.png");
        if (!QDir().mkpath(dir) || !icon.pixmap(size, 1.0).save(file, "PNG")) {
            std::fprintf(stderr, "stikko_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
