#include "app/application.h"

#include "app/folder_lock.h"
#include "app/single_instance.h"
#include "app/stikko_main.h"
#include "app/termination_signals.h"
#include "dialogs/prompts.h"
#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "store/dm.h"
#include "store/notefiles.h"
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

    // One program per data folder, whichever session started it: a second one would write
    // over the first one's notes. It ends here, before it has touched a file.
    const QString dataFolder = noteFiles().dataFolder();
    FolderLock folderLock(dataFolder);
    const FolderLock::Result folderState = folderLock.acquire();
    switch (folderState) {
    case FolderLock::Result::HeldElsewhere:
        qCritical("stikko: the notes in %s are open in another running Stikko (%s; lock %s); not starting a "
                  "second one on the same notes",
                  qPrintable(dataFolder), qPrintable(folderLock.holder()), qPrintable(folderLock.path()));
        return 0;
    case FolderLock::Result::Unavailable:
        qWarning("stikko: cannot make the lock %s; starting anyway", qPrintable(folderLock.path()));
        break;
    case FolderLock::Result::Acquired:
        break;
    }

    // Without the data folder every note would silently be lost.
    QDir().mkpath(dataFolder);
    // Writes that a kill cut short left their temporary files; while this program holds the
    // folder no one else can be writing them.
    if (folderState == FolderLock::Result::Acquired) {
        noteFiles().removeLeftovers();
        removeLeftoverTemporaries(env::programFolder() + QLatin1String(kSystemFolder),
                                  {QStringLiteral(".ini")});
    }

    std::unique_ptr<TDm> dataModule;
    std::unique_ptr<TfrmStikko_main> mainForm;
    try {
        dataModule = std::make_unique<TDm>();
        mainForm = std::make_unique<TfrmStikko_main>();
    } catch (const std::exception& error) {
        qCritical("stikko: cannot start: %s", error.what());
        mainForm.reset();
        dataModule.reset();
        prompts::showError(
            nullptr,
            QStringLiteral("Stikko를 시작하지 못했습니다.\n%1").arg(QString::fromLocal8Bit(error.what())));
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
    form->reportRecoveryFiles();

    if (!form->isEnding()) {
        app.exec();
    }
    form->FormClose();
    mainForm.reset();
    dataModule.reset();
    return 0;
}

} // namespace stikko
