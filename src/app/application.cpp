#include "app/application.h"

#include "app/single_instance.h"
#include "app/stikko_main.h"
#include "app/termination_signals.h"
#include "platform/appenv.h"
#include "store/dm.h"
#include "store/subfunction.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QSessionManager>
#include <QtDebug>
#include <exception>
#include <memory>

namespace stikko {

void installFontSubstitutions() {
    QFont::insertSubstitution(QStringLiteral("굴림체"), QStringLiteral("NanumGothicCoding"));
    QFont::insertSubstitution(QStringLiteral("굴림"), QStringLiteral("NanumGothic"));
}

int runStikko(int argc, char** argv) {
    // Before anything else, and without touching the display: a second start ends here,
    // showing nothing and telling the running one nothing.
    SingleInstance instance;
    switch (instance.acquire()) {
    case SingleInstance::Result::HeldElsewhere:
        return 0;
    case SingleInstance::Result::Unavailable:
        // Better two instances than no notes at all.
        qWarning("stikko: cannot make the instance marker %s; starting anyway", qPrintable(instance.path()));
        break;
    case SingleInstance::Result::Acquired:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orbindo Stikko"));
    // Notes and dialogs come and go; only the main form's ending ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutions();
    env::setProgramFolder(QCoreApplication::applicationDirPath() + QLatin1Char('/'));

    // Signals that arrive during start-up wait in the socket until the event loop runs.
    TerminationSignals signalWatch;

    // Without the data folder every note would silently be lost.
    const QString dataFolder = env::programFolder() + QString::fromLatin1(kDataFolder);
    QDir().mkpath(dataFolder);

    std::unique_ptr<TDm> dataModule;
    std::unique_ptr<TfrmStikko_main> mainForm;
    try {
        dataModule = std::make_unique<TDm>();
        mainForm = std::make_unique<TfrmStikko_main>();
    } catch (const std::exception& error) {
        qCritical("stikko: cannot start: %s", error.what());
        return 0;
    }
    TfrmStikko_main* form = mainForm.get();

    QObject::connect(form, &TfrmStikko_main::ended, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&signalWatch, &TerminationSignals::terminationRequested, form, &TfrmStikko_main::FormClose);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, form,
                     [form](QSessionManager&) { form->FormClose(); });
    // Any other way out of the event loop still saves the notes first.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, form, &TfrmStikko_main::FormClose);

    form->FormCreate();
    if (!QFileInfo(dataFolder).isDir()) {
        form->reportWriteFailure(dataFolder);
    }

    if (!form->isEnding()) {
        app.exec();
    }
    form->FormClose();
    mainForm.reset();
    dataModule.reset();
    return 0;
}

} // namespace stikko
