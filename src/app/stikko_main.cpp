#include "app/stikko_main.h"

#include "app/fallback_window.h"
#include "app/stikko_logo.h"
#include "dialogs/stikko_admin.h"
#include "dialogs/stikko_config.h"
#include "dialogs/stikko_print.h"
#include "note/notedefaults.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/desktopnotice.h"
#include "platform/traymenuhost.h"
#include "platform/userdialogs.h"
#include "store/datafolderwatcher.h"
#include "store/dm.h"
#include "store/notecatalogue.h"
#include "store/notefiles.h"
#include "store/noteindex.h"
#include "store/noteindexreader.h"
#include "theme/icons.h"
#include "theme/xpstyle.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <unistd.h>
#include <utility>
#include <vector>

namespace stikko {

TfrmStikko_main* frmStikko_main = nullptr;

namespace {

// True when `id` may name a note's files.
bool isSafeId(const char* id) {
    return id != nullptr && NoteFiles::isNoteId(QByteArrayView(id, static_cast<qsizetype>(std::strlen(id))));
}

// How often the desktop is asked whether it has a notification area. Qt tells no change of
// it, and asking is cheap (a look at the tray's selection owner).
constexpr int kTrayWatchMs = 2000;

// Notes that start ringing within this time are told in one message, naming this many.
constexpr int kRingingGatherMs = 300;
constexpr qsizetype kRingingNamed = 5;

// A new note lands a cascade step (right, down) from the last one; a note on a taken place
// starts a new run of the cascade this many steps up and to the left.
constexpr int kCascadeStepX = 4, kCascadeStepY = 20, kCascadeRunSteps = 5;

// Rearranging: every note at this size, in columns from the top right, each a title bar's
// height below the one before.
constexpr QSize kArrangedSize(300, 200);
constexpr int kArrangedStepY = 22;

// Ids count hundredths of a second: a taken id is followed by the next hundredth, for at most
// a minute of them.
constexpr int kIdStepMs = 10, kIdTries = 6000;

// A message waits for the icon's place on the screen (a few looks, this far apart) and stays
// up this long.
constexpr int kMessagePlaceTries = 10, kMessagePlaceWaitMs = 200, kMessageShownMs = 15000;

} // namespace

struct TfrmStikko_main::Opening {
    int mode = 0;
    // The notes walked: the scan of the catalogue as it reads the records (the start without
    // notes remembered as shown), or ids (show-all's every note; those remembered as shown;
    // those the scan found shown that the remembered ones missed).
    std::optional<NoteCatalogue::Reading> scan;
    QByteArrayList ids;
    qsizetype next = 0;
    qsizetype total = 0;
    int opened = 0;
};

TfrmStikko_main::TfrmStikko_main(QWidget* parent) : QWidget(parent) {
    frmStikko_main = this;
    setWindowTitle(QStringLiteral("Orbindo Stikko"));
    setWindowState(Qt::WindowMinimized);
    index_ = new NoteIndex(this);
    storedChangesDue_ = new QTimer(this);
    storedChangesDue_->setSingleShot(true);
    storedChangesDue_->setInterval(0);
    connect(storedChangesDue_, &QTimer::timeout, this, &TfrmStikko_main::followStoredNotes);
    buildTray();
    xpStyle = new TXPStyle(this);
    configureFormStyle(*xpStyle, xcPopupMenu, xccGroupBox);
    xpStyle->SetActive(true);
    if (Dm != nullptr) {
        Dm->ReloadDefaults();
    }
    connect(&noteFiles().catalogue(), &NoteCatalogue::scanFinished, this, [this] {
        tellUnusableRecords();
        if (catchUp_ == CatchUp::AfterScan) {
            catchUp_ = CatchUp::Due;
        }
        if (!opening_) {
            catchUpWithScan();
        }
        startIndex();
    });
    const NoteCatalogue* catalogue = &noteFiles().catalogue();
    connect(catalogue, &NoteCatalogue::noteAdded, this, &TfrmStikko_main::storedNoteChanged);
    connect(catalogue, &NoteCatalogue::noteChanged, this, &TfrmStikko_main::storedNoteChanged);
    connect(catalogue, &NoteCatalogue::noteRemoved, this, &TfrmStikko_main::storedNoteChanged);
}

TfrmStikko_main::~TfrmStikko_main() {
    // The index's reader stops between two notes; nothing it read is wanted any more.
    delete indexReader_;
    indexReader_ = nullptr;
    finishOpenedRecords();
    // The note windows go first, while this form can still answer them: a window reports its
    // going to its host, which must not be half destroyed by then.
    const QList<TfrmStikko_sub*> notes = findChildren<TfrmStikko_sub*>(Qt::FindDirectChildrenOnly);
    for (TfrmStikko_sub* note : notes) {
        delete note;
    }
    noteList.clear();
    if (frmStikko_main == this) {
        frmStikko_main = nullptr;
    }
}

void TfrmStikko_main::setVisible(bool) {
    // The main form only owns things; it never appears, whoever asks.
    QWidget::setVisible(false);
}

void TfrmStikko_main::buildTray() {
    puMain = new QMenu(this);
    const auto add = [this](const char* caption, int icon, void (TfrmStikko_main::*handler)()) {
        QAction* action = puMain->addAction(QString::fromUtf8(caption));
        if (icon >= 0) {
            action->setIcon(icons::editIcon(icon));
        }
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    nnNewNote = add("새 메모", -1, &TfrmStikko_main::rxTrayClick);
    nnNewNote->setObjectName(QStringLiteral("nnNewNote"));
    nnFind = add("메모 찾기...", -1, &TfrmStikko_main::nnFindClick);
    nnFind->setObjectName(QStringLiteral("nnFind"));
    puMain->addSeparator();
    nnConfig = add("기본 환경 설정", 13, &TfrmStikko_main::nnConfigClick);
    puMain->addSeparator();
    nnAlladmin = add("전체 메모장 상태 보기", 18, &TfrmStikko_main::nnAlladminClick);
    puMain->addSeparator();
    nnAllhide = add("모든 메모장을 숨김", -1, &TfrmStikko_main::nnAllhideClick);
    nnAllshow = add("숨겨진 모든 메모장 보이기", -1, &TfrmStikko_main::nnAllshowClick);
    puMain->addSeparator();
    nnStikkoResort = add("모든 메모장 재 정렬", -1, &TfrmStikko_main::nnStikkoResortClick);
    puMain->addSeparator();
    nnClose = add("종료", 11, &TfrmStikko_main::nnCloseClick);
    puMain->addSeparator();
    nnLogo = add("Orbindo Stikko  정보", 16, &TfrmStikko_main::nnLogoClick);
    nnHomepage = add("제작사 홈페이지 방문", 17, &TfrmStikko_main::nnHomepageClick);

    rxTray = new QSystemTrayIcon(icons::trayIcon(), this);
    rxTray->setToolTip(QStringLiteral("Stikko"));
    // A tray host of the D-Bus protocol would draw a menu handed to it in its own look; there
    // the menu is opened on the context click instead (trayActivated).
    shellDrawsTrayMenu_ = tray::shellDrawsContextMenus();
    rxTray->setContextMenu(shellDrawsTrayMenu_ ? nullptr : puMain);
    connect(rxTray, &QSystemTrayIcon::activated, this, &TfrmStikko_main::trayActivated);
    // Shown even while there is no notification area: Qt puts the icon in one that appears.
    rxTray->show();

    trayWatch_ = new QTimer(this);
    trayWatch_->setInterval(kTrayWatchMs);
    connect(trayWatch_, &QTimer::timeout, this, &TfrmStikko_main::updateTrayPresence);
    trayWatch_->start();
    updateTrayPresence();
}

void TfrmStikko_main::updateTrayPresence() {
    if (ending_) {
        return;
    }
    const bool present = env::current().trayAvailable();
    const bool changed = present != trayPresent_ || (!present && fallbackWindow == nullptr);
    trayPresent_ = present;
    if (!changed) {
        return;
    }
    if (present) {
        if (fallbackWindow != nullptr) {
            fallbackWindow->hide();
        }
        // Into the notification area that has just appeared.
        rxTray->hide();
        rxTray->show();
        return;
    }
    if (fallbackWindow == nullptr) {
        fallbackWindow = new FallbackWindow(puMain, this);
        connect(fallbackWindow, &FallbackWindow::newNoteClicked, this, &TfrmStikko_main::rxTrayClick);
        connect(fallbackWindow, &FallbackWindow::closeRequested, this, &TfrmStikko_main::nnCloseClick);
    }
    fallbackWindow->show();
}

void TfrmStikko_main::newNoteRequested() {
    rxTrayClick();
    // Without a tray the window is the way back to the program: bring it back into view too.
    if (!trayPresent_ && fallbackWindow != nullptr && !ending_) {
        fallbackWindow->showNormal();
    }
}

void TfrmStikko_main::trayActivated(QSystemTrayIcon::ActivationReason reason) {
    // Two quick clicks arrive as a click and a double click: each makes its note.
    if ((reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) && trayEnabled_) {
        rxTrayClick();
    }
    if (reason == QSystemTrayIcon::Context && shellDrawsTrayMenu_ && trayEnabled_ && !ending_) {
        puMain->popup(QCursor::pos());
    }
}

void TfrmStikko_main::setTrayEnabled(bool enabled) {
    trayEnabled_ = enabled;
    // Without a menu the icon has nothing to open on a right click.
    if (rxTray != nullptr) {
        rxTray->setContextMenu(enabled && !shellDrawsTrayMenu_ ? puMain : nullptr);
    }
}

bool TfrmStikko_main::noteManagerOpen() const {
    return frmStikko_admin != nullptr;
}

void TfrmStikko_main::FormCreate() {
    // A data folder that cannot be written (a read-only disk, no right to write) is used as it
    // is: its notes are shown read-only, the user is told once, and no other folder is taken.
    const QString folder = noteFiles().dataFolder();
    dataReadOnly_ = QFileInfo(folder).isDir() && ::access(QFile::encodeName(folder).constData(), W_OK) != 0;
    if (dataReadOnly_) {
        qWarning("stikko: the notes' folder %s cannot be written; the notes are shown read-only",
                 qPrintable(folder));
        tellUser(
            QStringLiteral("Stikko"),
            QStringLiteral(
                "메모장 폴더에 쓸 수 없습니다.\n%1\n메모장을 읽기 전용으로 열었고, 파일은 그대로 둡니다.")
                .arg(QDir::toNativeSeparators(QDir::cleanPath(folder))),
            QSystemTrayIcon::Warning);
    }
    // Watched before the notes are read: nothing that happens meanwhile goes unseen.
    startWatching();
    LoadAllNotes(0);
}

void TfrmStikko_main::FormClose() {
    if (ending_) {
        return;
    }
    ending_ = true;
    // Notes not opened yet stay as their files say.
    opening_.reset();
    // A change that comes now is still taken by the note that saves over it.
    if (watcher_ != nullptr) {
        watcher_->stop();
    }
    // The records still being written at start land first: a note's closing save comes after.
    finishOpenedRecords();
    // Last to first, as the notes were opened, each note saves itself once, as closing it
    // would. A note that could not be written stays listed; the form's end makes it try once
    // more. The windows are not closed one by one: each close and each window taken down
    // waits for the window system, which with thousands of notes costs minutes.
    const QList<QPointer<TfrmStikko_sub>> notes(noteList.cbegin(), noteList.cend());
    QList<TfrmStikko_sub*> unsaved;
    for (auto it = notes.crbegin(); it != notes.crend(); ++it) {
        if (*it != nullptr && !(*it)->saveAtEnd()) {
            unsaved.prepend(*it);
        }
    }
    noteList = unsaved;
    const QSet<TfrmStikko_sub*> keep(unsaved.cbegin(), unsaved.cend());
    leaveWindows_ = notes.size() > kManyWindows;
    if (!leaveWindows_) {
        // First opened first: a window under the others goes without uncovering any of them.
        // Later, so a note whose own handler is still running is never freed under it.
        for (const QPointer<TfrmStikko_sub>& note : notes) {
            if (note != nullptr && !keep.contains(note.data())) {
                note->deleteLater();
            }
        }
    }
    // What the next start opens at once.
    noteFiles().catalogue().rememberShown();
    saveRecoveryCopies();
    if (rxTray != nullptr && rxTray->isVisible()) {
        rxTray->hide();
    }
    trayWatch_->stop();
    if (fallbackWindow != nullptr) {
        fallbackWindow->hide();
    }
    emit ended();
}

// ---- registry --------------------------------------------------------------------------

TfrmStikko_sub* TfrmStikko_main::FindNoteWindow(const char* id) const {
    if (id == nullptr) {
        return nullptr;
    }
    // The whole id, not a prefix: note "X" must not be taken for an open "X-2".
    const QByteArrayView wanted(id, static_cast<qsizetype>(std::strlen(id)));
    for (auto it = noteList.crbegin(); it != noteList.crend(); ++it) {
        if (noteId((*it)->record()) == wanted) {
            return *it;
        }
    }
    return nullptr;
}

void TfrmStikko_main::CloseNoteWindow(const char* id) {
    if (TfrmStikko_sub* note = FindNoteWindow(id)) {
        closeNote(note, NoteClosing::Hidden);
    }
}

bool TfrmStikko_main::DeleteNote(const char* id) {
    if (!isSafeId(id)) {
        return false;
    }
    const QByteArrayView bytes(id, static_cast<qsizetype>(std::strlen(id)));
    // A body being written in the background lands before the files go, not after.
    if (TfrmStikko_sub* note = FindNoteWindow(id)) {
        note->finishBodyWrite();
    }
    // To the desktop's trash, from where a note deleted by mistake can be put back.
    if (!noteFiles().remove(bytes)) {
        qWarning("stikko: cannot delete the files of note %s", qPrintable(noteFiles().recordPath(bytes)));
        // Over the manager when it asked, else over the note itself.
        QWidget* asker =
            frmStikko_admin != nullptr ? static_cast<QWidget*>(frmStikko_admin) : FindNoteWindow(id);
        dialogs().showError(
            asker, QStringLiteral("메모장을 삭제하지 못했습니다.\n%1\n폴더의 쓰기 권한을 확인해 주세요.")
                       .arg(QDir::toNativeSeparators(QDir::cleanPath(noteFiles().recordPath(bytes)))));
        return false;
    }
    if (TfrmStikko_sub* note = FindNoteWindow(id)) {
        closeNote(note, NoteClosing::Deleted);
    }
    index_->remove(bytes.toByteArray());
    return true;
}

void TfrmStikko_main::OpenNoteWindow(const char* id) {
    if (!isSafeId(id) || FindNoteWindow(id) != nullptr) {
        return;
    }
    NoteRecord record{};
    InitNoteRecord(record, id);
    const FileState state = noteFiles().loadRecord(record);
    // Opening writes the record, now with isshow 1 (a failure is told and retried by the note).
    record.isshow = 1;
    openNote(record, state);
}

bool TfrmStikko_main::idInUse(const QByteArray& id) const {
    for (const TfrmStikko_sub* note : noteList) {
        if (id == noteId(note->record())) {
            return true;
        }
    }
    return noteFiles().exists(id);
}

void TfrmStikko_main::NewNoteRecord(NoteRecord& record) const {
    // Ids come from the clock in hundredths of a second. Two notes made within the same
    // hundredth would share their files, so the moment is moved on until the id is free.
    QDateTime moment = env::now();
    QByteArray id = MakeNoteId(moment);
    for (int tries = 0; tries < kIdTries && idInUse(id); ++tries) {
        moment = moment.addMSecs(kIdStepMs);
        id = MakeNoteId(moment);
    }
    InitNoteRecord(record, id.constData());
}

void TfrmStikko_main::LoadAllNotes(int mode) {
    // Each note opened here has its record written once, and only when its file does not
    // already hold it (keys the file lacked, show-all's isshow 1): all of those opened in one
    // go together, so that their flushes to the disk are waited for once, not once each, and
    // while the windows are painted. One such group at a time.
    finishOpenedRecords();
    NoteCatalogue& catalogue = noteFiles().catalogue();
    if (mode == 1) {
        // Show-all goes over every note, also while the start still opens notes.
        startOpening(1, noteFiles().listIds(), std::nullopt);
        return;
    }
    // Hidden notes cost the start next to nothing. The notes shown at the last end open at
    // once, then the catalogue's scan (on a thread of its own) finds any shown since; without
    // those, the notes open as the scan reads their records (which the program's start may
    // have set off already).
    const QByteArrayList remembered = started_ ? QByteArrayList() : catalogue.rememberedShown();
    std::optional<NoteCatalogue::Reading> scan = started_ ? std::nullopt : catalogue.scanning();
    started_ = true;
    if (!remembered.isEmpty()) {
        catchUp_ = CatchUp::AfterScan;
        startOpening(0, remembered, std::nullopt);
        // The scan waits until the windows are drawn: it would take the second core from the
        // window system meanwhile.
        constexpr int kScanDelayMs = 1000;
        QTimer::singleShot(kScanDelayMs, this, [this] {
            if (!ending_ && !noteFiles().catalogue().scanning()) {
                noteFiles().catalogue().startScan();
            }
        });
        return;
    }
    catchUp_ = CatchUp::None;
    startOpening(0, {}, scan ? *scan : catalogue.startScan());
}

void TfrmStikko_main::startOpening(int mode, const QByteArrayList& ids,
                                   const std::optional<NoteCatalogue::Reading>& scan) {
    if (opening_) {
        // Another load while one runs: what it has not reached yet is walked after the new
        // one's notes (a note is opened once whichever finds it).
        if (mode == 1) {
            opening_->mode = 1;
        }
        if (opening_->scan) {
            // The rest of the scan: every note a scan read is in the catalogue once it ends.
            opening_->scan.reset();
            catchUp_ = noteFiles().catalogue().scanning() ? CatchUp::AfterScan : CatchUp::Due;
        }
        opening_->ids = ids + opening_->ids.mid(opening_->next);
        opening_->next = 0;
        opening_->total = opening_->ids.size();
        return;
    }
    opening_ = std::make_unique<Opening>();
    opening_->mode = mode;
    opening_->ids = ids;
    opening_->scan = scan;
    opening_->total = scan ? scan->size() : ids.size();
    openMoreNotes(true);
}

void TfrmStikko_main::catchUpWithScan() {
    // The notes the start remembered as shown are open; the scan knows every note now. One
    // shown since the last end (made or shown elsewhere, or while the list was not written
    // down) opens now, after the others.
    if (catchUp_ != CatchUp::Due || ending_) {
        return;
    }
    catchUp_ = CatchUp::None;
    QByteArrayList shown;
    for (const NoteFacts& facts : noteFiles().catalogue().notes()) {
        if (facts.shown() && FindNoteWindow(facts.id.constData()) == nullptr) {
            shown << facts.id;
        }
    }
    if (!shown.isEmpty()) {
        startOpening(0, shown, std::nullopt);
    }
}

void TfrmStikko_main::openMoreNotes(bool first) {
    if (!opening_) {
        return; // ended meanwhile
    }
    // A slice this long keeps clicks and typing answered within a moment while thousands of
    // notes open.
    constexpr qint64 kSliceMs = 30;
    finishOpenedRecords();
    QElapsedTimer clock;
    clock.start();
    QSet<QByteArray> open;
    for (const TfrmStikko_sub* note : std::as_const(noteList)) {
        open.insert(noteId(note->record()).toByteArray());
    }
    QList<QPointer<TfrmStikko_sub>> opened;
    Opening& opening = *opening_;
    while (opening.next < opening.total) {
        if (first ? opening.opened >= kOpenedAtOnce : clock.elapsed() >= kSliceMs) {
            break;
        }
        const qsizetype i = opening.next++;
        QByteArray id;
        if (opening.scan) {
            const NoteFacts facts = opening.scan->at(i);
            if (!facts.shown()) {
                continue; // stays hidden; its file is not touched
            }
            id = facts.id;
        } else {
            id = opening.ids.at(i);
        }
        if (open.contains(id)) {
            continue;
        }
        NoteRecord record{};
        InitNoteRecord(record, id.constData());
        const FileState state = noteFiles().loadRecord(record);
        // Gone since it was listed, or hidden since (the record read whole has the last word).
        if (state == FileState::Missing || (opening.mode == 0 && record.isshow == 0)) {
            continue;
        }
        // Show-all marks the note shown.
        record.isshow = opening.mode == 0 ? record.isshow : 1;
        opened << openNote(record, state, false, false);
        open.insert(id);
        ++opening.opened;
        sendNotePostedEvents();
    }
    const bool done = opening.next >= opening.total;
    if (done) {
        opening_.reset();
    } else {
        QTimer::singleShot(0, this, [this] { openMoreNotes(false); });
    }
    writeOpenedRecords(opened);
    if (done) {
        // The scan may have ended while notes were still opened from what was remembered.
        catchUpWithScan();
        if (!opening_) {
            emit notesOpened();
            // The notes' bodies are read into the index once the windows are up.
            startIndex();
        }
    }
}

void TfrmStikko_main::writeOpenedRecords(const QList<QPointer<TfrmStikko_sub>>& notes) {
    std::vector<NoteFiles::RecordSave> saves;
    QList<QPointer<TfrmStikko_sub>> writing;
    for (const QPointer<TfrmStikko_sub>& note : notes) {
        if (note != nullptr && note->recordWritable()) {
            saves.push_back({&note->record()});
            writing << note;
        }
    }
    noteFiles().saveRecordsInBackground(saves, [this] { finishOpenedRecords(); });
    // Listed before any window is told anything: telling may run the event loop.
    for (qsizetype i = 0; i < writing.size(); ++i) {
        if (saves[size_t(i)].pending) {
            openedWrites_.push_back({writing[i], writing[i]->record()});
        }
    }
    // Each window takes its own result as it takes that of a write of its own.
    for (qsizetype i = 0; i < writing.size(); ++i) {
        const NoteFiles::RecordSave& save = saves[size_t(i)];
        if (writing[i] != nullptr && !save.pending) {
            writing[i]->recordSaved(save.saved, save.error, save.changedElsewhere);
        }
    }
}

void TfrmStikko_main::finishOpenedRecords() {
    const std::vector<NoteFiles::RecordResult> results = noteFiles().finishRecords();
    const std::vector<OpenedWrite> opened = std::exchange(openedWrites_, {});
    for (std::size_t i = 0; i < results.size() && i < opened.size(); ++i) {
        const NoteFiles::RecordResult& result = results[i];
        // A note that saved its record itself since, or was deleted, has what it asked for.
        if (opened[i].note == nullptr || result.superseded) {
            continue;
        }
        opened[i].note->recordSaved(result.saved, result.error, result.changedElsewhere, &opened[i].record);
    }
}

void TfrmStikko_main::sendNotePostedEvents() {
    // A new window's controls post their polish, layout and update requests. Left to pile up
    // while many windows open, each new request is compared with every one already waiting;
    // handled window by window, the queue stays short.
    QCoreApplication::sendPostedEvents();
}

TfrmStikko_sub* TfrmStikko_main::openNote(const NoteRecord& record, FileState state, bool fromElsewhere,
                                          bool writeRecord) {
    auto* note = new TfrmStikko_sub(this, this);
    // Whatever way a window goes, it leaves the list; the pointer is only compared here.
    connect(note, &QObject::destroyed, this, [this, note] {
        noteList.removeAll(note);
        indexed_.remove(note);
    });
    // A stored note in a data folder that cannot be written shows as it is; a new one tries,
    // and says so when it cannot.
    if (dataReadOnly_ && state != FileState::Missing) {
        note->openInReadOnlyFolder();
    }
    if (fromElsewhere) {
        note->openFromElsewhere(record);
    } else if (!writeRecord) {
        // Notes opened together (the start, show-all) come in slices while the user may be
        // typing in one of them: they do not take the keyboard from it.
        note->setAttribute(Qt::WA_ShowWithoutActivating);
        note->openUnwritten(record, state);
    } else {
        note->open(record, state);
    }
    noteList.append(note);
    return note;
}

bool TfrmStikko_main::closeNote(TfrmStikko_sub* note, NoteClosing how) {
    // The note saves itself as it closes. When its files cannot be written it refuses to
    // close and keeps its text on screen; it then stays listed, so later commands and the
    // program's end still reach it.
    if (!note->closeAs(how)) {
        return false;
    }
    indexClosed(note, how);
    // This very window leaves the list: another whose id shares the prefix stays.
    noteList.removeAll(note);
    note->deleteLater();
    return true;
}

void TfrmStikko_main::noteWindowGone(TfrmStikko_sub* note) {
    noteList.removeAll(note);
    indexClosed(note, note->isDeleted() ? NoteClosing::Deleted : NoteClosing::Kept);
}

// ---- tray commands ---------------------------------------------------------------------

void TfrmStikko_main::rxTrayClick() {
    makeNote();
}

TfrmStikko_sub* TfrmStikko_main::makeNote() {
    if (noteManagerOpen() || ending_) {
        return nullptr;
    }
    NoteRecord record{};
    NewNoteRecord(record);
    LoadNoteRecord(record, kDefaultsFile);
    const QPoint place = newNotePlace(record.scr_width, record.scr_height);
    record.scr_x = place.x();
    record.scr_y = place.y();
    TfrmStikko_sub* note = openNote(record, FileState::Missing);
    // In front of every window, notes kept on top included, and ready for typing.
    note->bringToFront(true);
    return note;
}

QPoint TfrmStikko_main::newNotePlace(int w, int h) const {
    const QSize area = env::workArea();
    const int W = area.width();
    const int H = area.height();
    int x = W - w;
    int y = H - h;
    if (!noteList.isEmpty()) {
        const NoteRecord& last = noteList.last()->record();
        x = (W < last.scr_x + w + kCascadeStepX) ? W - w : last.scr_x + kCascadeStepX;
        y = (H < last.scr_y + h + kCascadeStepY) ? H - h : last.scr_y + kCascadeStepY;
    }
    // A note exactly on another hides it (at the work area's corner every step clamps to the
    // same place). Such a note starts a new run of the cascade a few steps up and to the left
    // instead, from where the notes that follow step down again with their titles in view.
    const auto taken = [this](int px, int py) {
        return std::any_of(noteList.cbegin(), noteList.cend(), [px, py](const TfrmStikko_sub* note) {
            return note->record().scr_x == px && note->record().scr_y == py;
        });
    };
    while (taken(x, y)) {
        // Not past the work area's left and top edges (a note wider or taller than the work
        // area keeps its place there).
        const int nx = std::max(std::min(x, 0), x - kCascadeRunSteps * kCascadeStepX);
        const int ny = std::max(std::min(y, 0), y - kCascadeRunSteps * kCascadeStepY);
        if (nx == x && ny == y) {
            break; // the whole work area is taken by runs: the place stays shared
        }
        x = nx;
        y = ny;
    }
    return {x, y};
}

void TfrmStikko_main::nnConfigClick() {
    // Re-reads the defaults file, edits a copy, copies it back and rewrites the file without
    // the alarm keys; notes already open keep their own settings.
    RunDefaultsSettings(this);
}

void TfrmStikko_main::nnAlladminClick() {
    if (noteManagerOpen()) {
        return;
    }
    RunNoteManager(this, *this, [this](bool enabled) { setTrayEnabled(enabled); });
    // The commands that came meanwhile.
    for (const Command& command : std::exchange(deferredCommands_, {})) {
        runCommand(command);
    }
}

void TfrmStikko_main::nnAllhideClick() {
    if (noteManagerOpen()) {
        return;
    }
    const QList<QPointer<TfrmStikko_sub>> notes(noteList.cbegin(), noteList.cend());
    for (auto it = notes.crbegin(); it != notes.crend(); ++it) {
        if (*it != nullptr) {
            closeNote(*it, NoteClosing::Hidden);
        }
    }
}

void TfrmStikko_main::nnAllshowClick() {
    if (noteManagerOpen()) {
        return;
    }
    LoadAllNotes(1);
}

void TfrmStikko_main::nnStikkoResortClick() {
    const QSize area = env::workArea();
    const int W = area.width();
    const int H = area.height();
    const int w = kArrangedSize.width();
    const int h = kArrangedSize.height();
    int x = W - w;
    int y = 0;
    const QList<TfrmStikko_sub*> notes = noteList;
    for (auto it = notes.crbegin(); it != notes.crend(); ++it) {
        (*it)->placeAt(QRect(QPoint(x, y), kArrangedSize));
        // A step that would put the next note's bottom below the work area (under a panel,
        // out of reach) starts a new column instead, as a new note's cascade does.
        if (H < y + kArrangedStepY + h) {
            x = (x - w >= 0) ? x - w : 0;
            y = 0;
        } else {
            y += kArrangedStepY;
        }
    }
}

void TfrmStikko_main::nnCloseClick() {
    FormClose();
}

void TfrmStikko_main::nnLogoClick() {
    if (frmStikko_logo != nullptr) {
        return;
    }
    auto* logo = new TfrmStikko_logo(this);
    logo->exec();
    delete logo;
}

void TfrmStikko_main::nnHomepageClick() {
    OpenWebAddress(homePageAddress(), nullptr);
}

// ---- services for the note windows -----------------------------------------------------

void TfrmStikko_main::openNoteSettingsDialog(TfrmStikko_sub* note, int page) {
    RunNoteSettings(note, page);
}

void TfrmStikko_main::openPrintPreview(TfrmStikko_sub* note) {
    if (note == nullptr) {
        return;
    }
    // Everything the preview needs is copied now: the note may be closed from the tray
    // while the preview runs.
    ShowPrintPreview(note, note->titleCaption(), noteId(note->record()).toByteArray());
}

void TfrmStikko_main::OpenWebAddress(const QString& address, QWidget* parent) {
    const QUrl url = webAddressUrl(address);
    if (!url.isValid()) {
        // Only web and mail addresses are opened; anything else could start a program.
        dialogs().showError(parent, QStringLiteral("이 주소는 열 수 없습니다.\n%1\n"
                                                   "http, https, ftp, mailto 주소만 열 수 있습니다.")
                                        .arg(address));
        return;
    }
    QDesktopServices::openUrl(url);
}

void TfrmStikko_main::reportWriteFailure(const QString& path, const QString& reason) {
    // Each note tells its first failure only and then retries quietly until it can write, so
    // every call here is news.
    qWarning("stikko: cannot save %s%s%s; retrying", qPrintable(path), reason.isEmpty() ? "" : ": ",
             qPrintable(reason));
    tellUser(QStringLiteral("Stikko"),
             QStringLiteral("메모장을 저장하지 못했습니다.\n%1\n"
                            "메모장은 내용을 그대로 담은 채 열려 있고, 저장을 계속 다시 시도합니다. "
                            "저장 공간과 폴더의 쓰기 권한을 확인해 주세요.")
                 .arg(QDir::toNativeSeparators(QDir::cleanPath(path))),
             QSystemTrayIcon::Warning);
}

void TfrmStikko_main::reportReadFailure(const QString& path) {
    qWarning("stikko: cannot read %s; the note is shown read-only and the file is left as it is",
             qPrintable(path));
    tellUser(QStringLiteral("Stikko"),
             QStringLiteral("메모장 파일을 읽지 못했습니다.\n%1\n"
                            "이 메모장은 읽기 전용으로 열렸고, 파일은 그대로 둡니다.")
                 .arg(QDir::toNativeSeparators(QDir::cleanPath(path))),
             QSystemTrayIcon::Warning);
}

void TfrmStikko_main::tellUnusableRecords() {
    const QStringList names = noteFiles().catalogue().takeUnusableRecords();
    if (names.isEmpty() || ending_) {
        return;
    }
    const QString folder = QDir::toNativeSeparators(QDir::cleanPath(noteFiles().dataFolder()));
    qWarning("stikko: %s holds %s, named like a note's record but no plain file; left alone",
             qPrintable(folder), qPrintable(names.join(QStringLiteral(", "))));
    tellUser(
        QStringLiteral("Stikko"),
        QStringLiteral(
            "메모장 폴더에 메모장 파일처럼 이름 붙은 폴더나 특수 파일이 있어 열지 않고 건너뜁니다.\n%1\n%2")
            .arg(folder, names.join(QStringLiteral(", "))),
        QSystemTrayIcon::Warning);
}

void TfrmStikko_main::reportRecoveryFiles() {
    const QStringList files = noteFiles().recoveryFiles();
    if (files.isEmpty()) {
        return;
    }
    const QString folder = noteFiles().recoveryFolder();
    qWarning("stikko: %lld note text(s) that could not be saved earlier are kept in %s",
             static_cast<long long>(files.size()), qPrintable(folder));
    tellUser(QStringLiteral("Stikko"),
             QStringLiteral("지난번에 저장하지 못한 메모 내용 %1개가 이 폴더에 보관되어 있습니다.\n%2")
                 .arg(files.size())
                 .arg(QDir::toNativeSeparators(folder)));
}

void TfrmStikko_main::saveRecoveryCopies() {
    for (TfrmStikko_sub* note : std::as_const(noteList)) {
        if (!note->hasUnsavedFailure()) {
            continue;
        }
        const QString target = noteFiles().bodyPath(noteId(note->record()));
        QString error;
        if (const std::optional<QString> copy = note->saveRecoveryCopy(&error)) {
            qCritical("stikko: could not save %s; its text is kept in %s", qPrintable(target),
                      qPrintable(*copy));
        } else if (note->isModified()) {
            // Nowhere to put it: the text goes to stderr rather than nowhere.
            qCritical("stikko: could not save %s, nor a copy in %s (%s); its text was:\n%s",
                      qPrintable(target), qPrintable(noteFiles().recoveryFolder()), qPrintable(error),
                      qPrintable(note->body()->toPlainText()));
        }
    }
}

void TfrmStikko_main::noteRinging(TfrmStikko_sub* note) {
    // Notes that start ringing together (all the overdue ones at start) are told in one
    // message, not one each.
    ringingTitles_ << note->titleCaption();
    if (ringingTitles_.size() == 1) {
        QTimer::singleShot(kRingingGatherMs, this, &TfrmStikko_main::tellRingingNotes);
    }
}

void TfrmStikko_main::tellRingingNotes() {
    const QStringList titles = std::exchange(ringingTitles_, {});
    if (titles.isEmpty() || ending_) {
        return;
    }
    if (titles.size() == 1) {
        tellUser(QStringLiteral("Stikko 알람"),
                 QStringLiteral("“%1” 메모장의 알람 시각입니다.").arg(titles.first()));
        return;
    }
    QStringList named;
    for (const QString& title : titles.mid(0, kRingingNamed)) {
        named << QStringLiteral("“%1”").arg(title);
    }
    QString text = named.join(QStringLiteral(", "));
    if (titles.size() > kRingingNamed) {
        text += QStringLiteral(" 외 %1개").arg(titles.size() - kRingingNamed);
    }
    tellUser(QStringLiteral("Stikko 알람"),
             QStringLiteral("메모장 %1개의 알람 시각입니다: %2").arg(titles.size()).arg(text));
}

void TfrmStikko_main::tellUser(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon) {
    lastTrayMessageTitle = title;
    lastTrayMessage = text;
    trayMessageIcon_ = icon;
    notice::show(title, text, this, [this, title, text] {
        // No notification service: the icon's balloon, or the window that stands in for it.
        if (trayPresent_ && rxTray != nullptr && rxTray->isVisible()) {
            if (!trayMessagePending_) {
                trayMessagePending_ = true;
                deliverTrayMessage(0);
            }
        } else if (fallbackWindow != nullptr) {
            fallbackWindow->showMessage(title + QLatin1Char('\n') + text);
        }
    });
}

void TfrmStikko_main::deliverTrayMessage(int tries) {
    // A message told while the program starts would point at the screen's corner: until the
    // notification area has placed the icon, the icon says it sits at the origin. The message
    // waits for the icon's place (two seconds at most); the latest message is the one shown.
    const QRect icon = rxTray->geometry();
    if ((icon.isEmpty() || icon.topLeft() == QPoint(0, 0)) && tries < kMessagePlaceTries) {
        QTimer::singleShot(kMessagePlaceWaitMs, this, [this, tries] { deliverTrayMessage(tries + 1); });
        return;
    }
    trayMessagePending_ = false;
    rxTray->showMessage(lastTrayMessageTitle, lastTrayMessage, trayMessageIcon_, kMessageShownMs);
}

} // namespace stikko
