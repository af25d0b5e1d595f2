// xpgallery [--off] [--grab FILE]: shows every control and bar under the flat style; --off
// starts with the style switched off, --grab saves a picture of the window and ends.
#include "xpgallery.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    stikko::XPGallery gallery;
    if (args.contains(QStringLiteral("--off")))
        gallery.styleSwitch->setChecked(false);
    gallery.show();
    const qsizetype grab = args.indexOf(QStringLiteral("--grab"));
    if (grab > 0 && grab + 1 < args.size()) {
        QTimer::singleShot(200, &gallery, [&gallery, file = args.at(grab + 1)] {
            QCoreApplication::exit(gallery.grab().save(file) ? 0 : 1);
        });
    }
    return app.exec();
}
