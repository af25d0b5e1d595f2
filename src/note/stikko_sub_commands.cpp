// The command table, the menus made from it, and the commands that act on the note as a whole:
// hide, delete, stay on top, print, the settings dialog and the title bar's two link images.
// Hiding, deleting, the dialogs and the browser belong to the program around the window; the
// window asks its host for them.

#include "note/notealarm.h"
#include "note/notedefaults.h"
#include "note/notedialogs.h"
#include "note/notehost.h"
#include "note/notetitlebar.h"
#include "note/notetoolbar.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"
#include "theme/icons.h"
#include "theme/xpstyle.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <array>

namespace stikko {

// --- The table ----------------------------------------------------------------------------

const NoteCommandInfo& commandInfo(NoteCommand command) {
    using W = TfrmStikko_sub;
    using C = NoteCommand;
    static const NoteCommandInfo table[] = {
        {C::Settings, u"환경설정", 13, kNoKey, &W::openGeneralSettings, false, false},
        {C::StayOnTop, u"언제나 화면의 최상단에 위치", -1, kNoKey, &W::toggleStayOnTop, true, false},
        {C::Alarm, u"알람( Alarm) 설정", 14, kNoKey, &W::openAlarmSettings, false, false},
        {C::Cut, u"자르기", 4, Qt::CTRL | Qt::Key_X, &W::cut, false, true},
        {C::Copy, u"복사", 3, Qt::CTRL | Qt::Key_C, &W::copy, false, false},
        {C::Paste, u"붙이기", 5, Qt::CTRL | Qt::Key_V, &W::paste, false, true},
        {C::Print, u"프린트", 10, Qt::CTRL | Qt::Key_P, &W::print, false, false},
        {C::Hide, u"화면에서 숨기기", 11, kNoKey, &W::hideNote, false, false},
        {C::Delete, u"완전 삭제", 12, kNoKey, &W::deleteNote, false, false},
        {C::Indent, u"들여쓰기/바로쓰기", 1, Qt::CTRL | Qt::Key_T, &W::toggleBullets, true, true},
        {C::Font, u"폰트", 8, Qt::CTRL | Qt::Key_F, &W::chooseFont, false, true},
        {C::Bold, u"진하게", 7, Qt::CTRL | Qt::Key_B, &W::toggleBold, true, true},
        {C::Italic, u"기울이기", 9, Qt::CTRL | Qt::Key_S, &W::toggleItalic, true, true},
        {C::Underline, u"밑줄", 6, Qt::CTRL | Qt::Key_U, &W::toggleUnderline, true, true},
        {C::TextColor, u"글자색", 0, kNoKey, &W::chooseTextColor, false, true},
        {C::Undo, u"되돌리기", 2, kNoKey, &W::undoEdit, false, true},
        {C::Find, u"메모 찾기...", -1, Qt::CTRL | Qt::SHIFT | Qt::Key_F, &W::openFind, false, false},
    };
    static_assert(std::size(table) == kNoteCommandCount, "one row a command, in their order");
    return table[std::size_t(command)];
}

namespace {

constexpr std::size_t kCommandCount = kNoteCommandCount;

struct KeyTable {
    std::array<QKeyCombination, kCommandCount> keys{};
    std::size_t count = 0;
};

const KeyTable& keyTable() {
    static const KeyTable table = [] {
        KeyTable made;
        for (std::size_t i = 0; i < kCommandCount; ++i) {
            const QKeyCombination key = commandInfo(NoteCommand(i)).key;
            if (key != kNoKey)
                made.keys[made.count++] = key;
        }
        return made;
    }();
    return table;
}

using C = NoteCommand;

constexpr MenuItem kNoteMenu[] = {
    {"nnConfig", C::Settings},
    {"N4", {}},
    {"nnTop", C::StayOnTop, nullptr, kCommandPicture, true},
    {"nnAlarm", C::Alarm},
    {"N1", {}},
    {"nnCut", C::Cut},
    {"nnCopy", C::Copy},
    {"nnPaste", C::Paste},
    {"N2", {}},
    {"nnPrint", C::Print},
    {"N8", {}},
    {"nnSizeHide", C::Hide, u"숨기기", 15},
    {"N9", C::Delete},
};

constexpr MenuItem kEditMenu[] = {
    {"nnStep", C::Indent},
    {"nnLine", {}},
    {"nnCopy2", C::Copy},
    {"nnCut2", C::Cut},
    {"nnPaste2", C::Paste},
    {"N5", {}},
    {"nnFont", C::Font},
    {"nnBold", C::Bold},
    {"nnS", C::Italic},
    {"nnUnderline", C::Underline},
    {"N3", {}},
    {"nnPrint2", C::Print},
    {"N6", C::Hide},
    {"N7", C::Delete},
};

using F = ToolbarFace;

constexpr ToolbarItem kToolbar[] = {
    {"labFont", C::Font, nullptr, F::Arial, u"[Font]", 3},
    {"labBold", C::Bold, u"진하게", F::Bold, u"B", 36, 10},
    {"labItalic", C::Italic, u"기울임", F::Plain, u"/", 47, 9},
    {"labUnderline", C::Underline, u"밑줄", F::Underline, u"U", 57, 9},
    {"sbColor", C::TextColor, u"글자색", F::Picture, nullptr, 71},
    {"sbBullets", C::Indent, u"들여쓰기", F::Picture, nullptr, 92},
    {"sbUndo", C::Undo, u"되돌리기", F::Picture, nullptr, 117},
    {"sbCut", C::Cut, u"자르기", F::Picture, nullptr, 135},
    {"sbCopy", C::Copy, u"복사", F::Picture, nullptr, 153},
    {"sbPaste", C::Paste, u"붙이기", F::Picture, nullptr, 171},
    {"sbDelete", C::Delete, u"삭제", F::Picture, nullptr, 197, 0, true},
    {"sbPrint", C::Print, u"프린트", F::Picture, nullptr, 215, 0, true},
    {"sbClose", C::Hide, u"숨김", F::Picture, nullptr, 233, 0, true},
};

} // namespace

std::span<const QKeyCombination> commandKeys() {
    const KeyTable& table = keyTable();
    return {table.keys.data(), table.count};
}

const NoteCommandInfo* commandForKey(QKeyCombination key) {
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const NoteCommandInfo& info = commandInfo(NoteCommand(i));
        if (info.key == key && key != kNoKey)
            return &info;
    }
    return nullptr;
}

std::span<const MenuItem> noteMenuItems() {
    return kNoteMenu;
}
std::span<const MenuItem> editMenuItems() {
    return kEditMenu;
}
std::span<const ToolbarItem> toolbarItems() {
    return kToolbar;
}

// --- Running commands ---------------------------------------------------------------------

void TfrmStikko_sub::run(NoteCommand command) {
    if (!isEnabled(command))
        return;
    // Every command acts on the text as the user sees it.
    commitComposition();
    (this->*commandInfo(command).run)();
}

bool TfrmStikko_sub::isEnabled(NoteCommand command) const {
    return !(readOnly_ && commandInfo(command).editsBody);
}

QMenu* TfrmStikko_sub::noteMenu() {
    if (!puConfig) {
        puConfig = new QMenu(this);
        puConfig->setObjectName(QStringLiteral("puConfig"));
        buildMenu(puConfig, noteMenuItems());
    }
    return puConfig;
}

QMenu* TfrmStikko_sub::editMenu() {
    if (!puEdit) {
        puEdit = new QMenu(this);
        puEdit->setObjectName(QStringLiteral("puEdit"));
        buildMenu(puEdit, editMenuItems());
    }
    return puEdit;
}

void TfrmStikko_sub::buildMenu(QMenu* menu, std::span<const MenuItem> items) {
    for (const MenuItem& item : items) {
        if (!item.command) {
            menu->addSeparator()->setObjectName(QLatin1String(item.name));
            continue;
        }
        const NoteCommand command = *item.command;
        const NoteCommandInfo& info = commandInfo(command);
        QAction* action = menu->addAction(QString::fromUtf16(item.caption ? item.caption : info.caption));
        action->setObjectName(QLatin1String(item.name));
        const int picture = item.picture == kCommandPicture ? info.picture : item.picture;
        if (picture >= 0)
            action->setIcon(icons::editIcon(picture));
        if (info.key != kNoKey) {
            action->setShortcut(QKeySequence(info.key));
            action->setShortcutVisibleInContextMenu(true);
        }
        // The shortcuts are shown, not bound: the body itself hands the keys over as commands.
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setCheckable(item.checkMark);
        action->setProperty("command", int(command));
        connect(action, &QAction::triggered, this, [this, command] {
            // A menu flips its check mark itself; the command decides the state.
            showCommandStates();
            run(command);
        });
    }
    xpStyle_->InitComponent(menu);
    showCommandStates();
}

void TfrmStikko_sub::showCommandStates() {
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const NoteCommand command = NoteCommand(i);
        pnBottom->setCommandEnabled(command, isEnabled(command));
        if (commandInfo(command).hasState)
            pnBottom->setChecked(command, isChecked(command));
    }
    for (QMenu* menu : {puConfig, puEdit}) {
        if (!menu)
            continue;
        for (QAction* action : menu->actions()) {
            const QVariant command = action->property("command");
            if (!command.isValid())
                continue;
            action->setEnabled(isEnabled(NoteCommand(command.toInt())));
            if (action->isCheckable())
                action->setChecked(isChecked(NoteCommand(command.toInt())));
        }
    }
}

// --- The note's own commands --------------------------------------------------------------

void TfrmStikko_sub::hideNote() {
    if (!host_)
        return;
    // The host closes and may destroy this window; the id must outlive it.
    const QByteArray id = noteId(record_).toByteArray();
    host_->CloseNoteWindow(id.constData());
}

void TfrmStikko_sub::openFind() {
    if (host_)
        host_->openFindWindow();
}

void TfrmStikko_sub::deleteNote() {
    if (!confirmDelete(this))
        return;
    if (!host_)
        return;
    // A body being written in the background lands before the files go, not after them.
    finishBodyWrite();
    const QByteArray id = noteId(record_).toByteArray();
    host_->DeleteNote(id.constData());
}

void TfrmStikko_sub::print() {
    // The preview reads the body file, so it is written first; the body still counts as
    // changed, because the close-time save decides on its own. A note opened read-only prints
    // its file as it is, unless that is the file that could not be read.
    const QByteArray id = noteId(record_).toByteArray();
    if (readOnly() && unreadablePath_ == noteFiles().bodyPath(id)) {
        dialogs().showError(this, QStringLiteral("메모 내용을 읽지 못해 인쇄할 수 없습니다.\n%1")
                                      .arg(QDir::toNativeSeparators(QDir::cleanPath(unreadablePath_))));
        return;
    }
    if (!readOnly() && !saveBody()) {
        // Told every time, unlike the quiet retries of the autosave: the user asked for this.
        dialogs().showError(this,
                            QStringLiteral("메모 내용을 저장하지 못해 인쇄할 수 없습니다.\n%1")
                                .arg(QDir::toNativeSeparators(QDir::cleanPath(noteFiles().bodyPath(id)))));
        return;
    }
    if (host_)
        host_->openPrintPreview(this);
}

void TfrmStikko_sub::setStayOnTop(bool on) {
    stayOnTop_ = on;
    showCommandStates();
}

void TfrmStikko_sub::applyStayOnTop() {
    const bool top = stayOnTop_;
    if (top)
        frontHeld_ = false; // the note's own stay-on-top takes over
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == top)
        return;
    // A record taken from the files changes a shown window's flags in place: hidden and shown
    // again, it would flicker and lose the focus.
    if (takingFiles_ && isVisible() && windowHandle()) {
        overrideWindowFlags(windowFlags() ^ Qt::WindowStaysOnTopHint);
        windowHandle()->setFlags(windowFlags() | (frontHeld_ ? Qt::WindowStaysOnTopHint : Qt::Widget));
        return;
    }
    // Changing a shown window's flags hides it; show it again where it was.
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, top);
    if (wasVisible)
        show();
}

void TfrmStikko_sub::bringToFront(bool takeFocus) {
    // A window manager keeps windows that stay on top above every other; to come in front of
    // those notes too, this one stays on top for a while: until the user has been to it and
    // left it. The record's istop is not touched.
    if (!stayOnTop_ && windowHandle() && !frontHeld_) {
        frontHeld_ = true;
        frontVisited_ = false;
        windowHandle()->setFlags(windowHandle()->flags() | Qt::WindowStaysOnTopHint);
    }
    raise();
    if (takeFocus) {
        activateWindow();
        ensureEditor(Qt::ActiveWindowFocusReason);
    }
}

void TfrmStikko_sub::releaseFront() {
    if (!frontHeld_)
        return;
    frontHeld_ = false;
    // Back to what the note itself says (its own stay-on-top included).
    if (windowHandle())
        windowHandle()->setFlags(windowFlags());
}

void TfrmStikko_sub::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !frontHeld_)
        return;
    if (isActiveWindow())
        frontVisited_ = true;
    else if (frontVisited_)
        releaseFront();
}

void TfrmStikko_sub::toggleStayOnTop() {
    setStayOnTop(!stayOnTop_);
    applyStayOnTop();
    record_.istop = stayOnTop_ ? 1 : 0;
    writeRecord();
}

void TfrmStikko_sub::openGeneralSettings() {
    openSettings(0);
}
void TfrmStikko_sub::openAlarmSettings() {
    openSettings(1);
}

void TfrmStikko_sub::openSettings(int page) {
    setTitleColors(record_.titlebk_color, record_.title_color); // undo an alarm blink
    QPointer<TfrmStikko_sub> self(this);
    // The dialog hands its values back through takeSettings, which writes them.
    if (host_)
        host_->openNoteSettingsDialog(this, page);
    if (!self || closed_)
        return; // the note was closed (hidden, deleted, the program ended) while the dialog was open
    setTitleColors(record_.titlebk_color, record_.title_color);
    armAlarm();
}

// --- Ringing ------------------------------------------------------------------------------

void TfrmStikko_sub::startedRinging() {
    // A ringing note behind other windows could go unnoticed: it comes to the front, leaving
    // the focus where it is, and the desktop says which note rings. Both wait until the window
    // is shown and titled (a note may start ringing while it is being opened).
    QTimer::singleShot(0, this, [this] {
        if (!alarm_->ringing() || closed_)
            return;
        bringToFront(false);
        if (host_)
            host_->noteRinging(this);
    });
}

void TfrmStikko_sub::blinkTitle() {
    const QColor background = pnTitle->color();
    pnTitle->setColor(pnTitle->captionColor());
    pnTitle->setCaptionColor(background);
}

void TfrmStikko_sub::imgZemClick() {
    if (host_)
        host_->OpenWebAddress(homePageAddress(), this);
}

void TfrmStikko_sub::imgVantoClick() {
    const QString address = rightLinkAddress();
    if (host_ && !address.isEmpty())
        host_->OpenWebAddress(address, this);
}

} // namespace stikko
