#include "app/application.h"

#include "app/commandline.h"
#include "app/folder_lock.h"
#include "app/instance_channel.h"
#include "app/single_instance.h"
#include "app/stikko_main.h"
#include "app/termination_signals.h"
#include "app/welcome_note.h"
#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "platform/userdialogs.h"
#include "store/dm.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/subfunction.h"
#include "theme/fonts.h"
#include "theme/icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QTimer>
#include <QTranslator>
#include <QtDebug>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <malloc.h>
#include <memory>
#include <optional>
#include <unistd.h>

namespace stikko {

namespace {
// How long a later start waits for the running instance to take its request.
constexpr int kRequestTimeoutMs = 5000;
} // namespace

bool installQtTranslations() {
    // The program speaks Korean whatever the desktop's language, and so do Qt's dialogs, the
    // calendar and the date picker.
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    QLocale::setDefault(korean);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(korean, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QByteArray platformForSession(const QByteArray& sessionType, const QByteArray& waylandDisplay,
                              const QByteArray& x11Display, const QByteArray& chosen) {
    if (!chosen.isEmpty())
        return chosen;
    const bool wayland = sessionType == "wayland" || !waylandDisplay.isEmpty();
    if (wayland && !x11Display.isEmpty())
        return "xcb";
    return {};
}

namespace {

// The exit status when another instance runs: it was handed `command` (plain start: a new
// note, as a click on its icon makes), and this one is to end. Nothing when this one is the
// only one. Done without touching the display.
std::optional<int> handedToRunningInstance(SingleInstance& instance, int argc, char** argv,
                                           const std::optional<Command>& command) {
    switch (instance.acquire()) {
    case SingleInstance::Result::HeldElsewhere: {
        QCoreApplication requestOnly(argc, argv);
        if (!InstanceChannel::send(instance.channelPath(), command.value_or(Command{}), kRequestTimeoutMs)) {
            qWarning("stikko: already running, but it did not answer at %s",
                     qPrintable(instance.channelPath()));
            // A command that was not carried out says so; a plain start never failed.
            return command ? 1 : 0;
        }
        return 0;
    }
    case SingleInstance::Result::Unavailable:
        // Better two instances than no notes at all.
        qWarning("stikko: cannot make the instance marker %s; starting anyway", qPrintable(instance.path()));
        break;
    case SingleInstance::Result::Acquired:
        break;
    }
    return std::nullopt;
}

// Standard input as the text of a new note; nothing (and a line on stderr) when it is longer
// than a note takes from there or cannot be read.
std::optional<QString> readStandardInput() {
    QByteArray bytes;
    char chunk[65536];
    while (bytes.size() <= kMaxInputBytes) {
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got == 0)
            return noteTextFrom(bytes);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "stikko: 표준 입력을 읽지 못해 메모를 만들지 않았습니다\n");
            return std::nullopt;
        }
        bytes.append(chunk, qsizetype(got));
    }
    std::fprintf(stderr, "stikko: 표준 입력이 1 MB를 넘어 메모를 만들지 않았습니다\n");
    return std::nullopt;
}

// What the command line asks before anything starts: the command to carry out (nothing for a
// plain start), or the exit status when it asks only for a text or is wrong.
std::optional<Command> commandFrom(int argc, char** argv, std::optional<int>& exitNow) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine line = parseCommandLine(arguments);
    switch (line.outcome) {
    case CommandLine::Outcome::Help:
        std::fputs(usage().toLocal8Bit().constData(), stdout);
        exitNow = 0;
        return std::nullopt;
    case CommandLine::Outcome::Version:
        std::printf("stikko %s\n", STIKKO_VERSION);
        exitNow = 0;
        return std::nullopt;
    case CommandLine::Outcome::Error:
        std::fprintf(stderr, "%s\n", line.error.toLocal8Bit().constData());
        exitNow = 2;
        return std::nullopt;
    case CommandLine::Outcome::Start:
        return std::nullopt;
    case CommandLine::Outcome::Run:
        break;
    }
    if (line.textFromStdin) {
        const std::optional<QString> text = readStandardInput();
        if (!text) {
            exitNow = 1;
            return std::nullopt;
        }
        line.command.text = *text;
        line.command.hasText = true;
    }
    return line.command;
}

// The application's names, icon, fonts, language and folders.
void setUpApplication() {
    QApplication::setApplicationName(QStringLiteral("Orbindo Stikko"));
    // The launcher entry and icon the desktop shows for the program's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("stikko"));
    QApplication::setWindowIcon(icons::windowIcon());
    // Notes and dialogs come and go; only the main form's ending ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    fonts::installSubstitutions();
    if (!installQtTranslations())
        qWarning("stikko: Qt's Korean translations are not installed; its dialogs speak English");
    env::setProgramFolder(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    // An installed program cannot write beside itself: its notes then live in the user's
    // data folder.
    QString storageError;
    env::settleStorageFolder(&storageError);
    if (!storageError.isEmpty())
        qWarning("stikko: %s", qPrintable(storageError));
}

// Takes the data folder for this program (`lock` is its lock) and tidies it; false when another
// running program holds it.
bool takeDataFolder(FolderLock& folderLock, const QString& dataFolder) {
    const FolderLock::Result folderState = folderLock.acquire();
    switch (folderState) {
    case FolderLock::Result::HeldElsewhere:
        qCritical("stikko: the notes in %s are open in another running Stikko (%s; lock %s); not starting a "
                  "second one on the same notes",
                  qPrintable(dataFolder), qPrintable(folderLock.holder()), qPrintable(folderLock.path()));
        return false;
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
        removeLeftoverTemporaries(env::storageFolder() + QLatin1String(kSystemFolder),
                                  {QStringLiteral(".ini")});
    }
    return true;
}

} // namespace

void tuneHeap() {
#ifdef __GLIBC__
    // A body's copy for the autosave is made here in many small pieces and freed by the thread
    // that writes it. With the C library's fast bins, those frees pile up in this thread's heap
    // unmerged, and its next large allocation merges them all at once: the program stood still
    // for 100 ms and more after each save of a 50 MB body. Without fast bins they are merged as
    // they are freed (small allocations keep their per-thread cache).
    mallopt(M_MXFAST, 0);
#endif
}

int runStikko(int argc, char** argv) {
    tuneHeap();
    // The command line first: help, the version and a wrong argument end here, before
    // anything starts.
    std::optional<int> exitNow;
    const std::optional<Command> command = commandFrom(argc, argv, exitNow);
    if (exitNow)
        return *exitNow;

    // Then a later start hands its command (or a request for a new note) to the running
    // instance and ends.
    SingleInstance instance;
    if (const std::optional<int> handed = handedToRunningInstance(instance, argc, argv, command))
        return *handed;

    const QByteArray platform = platformForSession(qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"),
                                                   qgetenv("DISPLAY"), qgetenv("QT_QPA_PLATFORM"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);

    QApplication app(argc, argv);
    setUpApplication();

    // Signals that arrive during start-up wait in the socket until the event loop runs.
    TerminationSignals signalWatch;

    // One program per data folder, whichever session started it: a second one would write
    // over the first one's notes. It ends here, before it has touched a file.
    const QString dataFolder = noteFiles().dataFolder();
    FolderLock folderLock(dataFolder);
    if (!takeDataFolder(folderLock, dataFolder))
        return 0;

    // The first start in a data folder explains the program in a note of its own, which the
    // start-up load then opens with the others: made before the records are read.
    QString welcomeError;
    if (makeWelcomeNote(&welcomeError) == WelcomeNote::NotWritten)
        qWarning("stikko: the welcome note was not made: %s", qPrintable(welcomeError));

    // Without the notes shown at the last end to open at once, the records are read on a
    // thread of their own while the program builds its tray and reads its defaults; the
    // start-up load opens the shown notes as they are found.
    if (noteFiles().catalogue().rememberedShown().isEmpty())
        noteFiles().catalogue().startScan();

    std::unique_ptr<TDm> dataModule;
    std::unique_ptr<TfrmStikko_main> mainForm;
    try {
        dataModule = std::make_unique<TDm>();
        mainForm = std::make_unique<TfrmStikko_main>();
    } catch (const std::exception& error) {
        qCritical("stikko: cannot start: %s", error.what());
        mainForm.reset();
        dataModule.reset();
        dialogs().showError(
            nullptr,
            QStringLiteral("Stikko를 시작하지 못했습니다.\n%1").arg(QString::fromLocal8Bit(error.what())));
        return 0;
    }
    TfrmStikko_main* form = mainForm.get();

    QObject::connect(form, &TfrmStikko_main::ended, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&signalWatch, &TerminationSignals::terminationRequested, form,
                     &TfrmStikko_main::FormClose);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, form,
                     [form](QSessionManager&) { form->FormClose(); });
    // Any other way out of the event loop still saves the notes first.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, form, &TfrmStikko_main::FormClose);

    // Later starts hand their commands over; they may come while the notes are being opened,
    // and wait until the event loop runs.
    InstanceChannel channel(instance.channelPath());
    if (instance.held() && !channel.listen())
        qWarning("stikko: later starts cannot reach this one at %s", qPrintable(instance.channelPath()));
    QObject::connect(&channel, &InstanceChannel::commandReceived, form, &TfrmStikko_main::runCommand);

    // Listing a data folder of many thousands would take the second core from the windows
    // being drawn; the watcher lists it a moment later.
    form->watchListingDelay = std::chrono::seconds(1);
    form->FormCreate();
    if (!QFileInfo(dataFolder).isDir()) {
        form->reportWriteFailure(dataFolder);
    }
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        form->tellUser(QStringLiteral("Stikko"),
                       QStringLiteral("이 Wayland 세션에는 XWayland가 없어 메모장의 위치를 정하거나 "
                                      "기억할 수 없습니다. 메모장은 데스크톱이 정한 곳에 나타납니다."));
    }
    form->reportRecoveryFiles();
    // This start's own command, once the notes are up.
    if (command)
        QTimer::singleShot(0, form, [form, c = *command] { form->runCommand(c); });

    if (!form->isEnding()) {
        app.exec();
    }
    form->FormClose();
    if (form->leavesWindows()) {
        // Every note is saved and nothing else is pending: taking thousands of windows down
        // one by one would keep the program (and a desktop session that waits for it) for
        // many seconds. The markers go now; the window system removes the windows with the
        // connection.
        channel.close();
        folderLock.release();
        instance.release();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    mainForm.reset();
    dataModule.reset();
    return 0;
}

} // namespace stikko
