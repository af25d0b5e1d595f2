// Commands that act on the note as a whole: hide, delete, stay on top, print, the settings
// dialog and the title bar's two link images. Hiding, deleting, the dialogs and the browser
// belong to the program around the window; the window asks its host for them.

#include "note/notealarm.h"
#include "note/notedefaults.h"
#include "note/notedialogs.h"
#include "note/notehost.h"
#include "note/notewidgets.h"
#include "note/stikko_sub.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"

#include <QAction>
#include <QDir>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace stikko {

void TfrmStikko_sub::sbCloseClick() {
    commitComposition();
    if (!host_)
        return;
    // The host closes and may destroy this window; the id must outlive it.
    const QByteArray id = noteId(record_).toByteArray();
    host_->CloseNoteWindow(id.constData());
}

void TfrmStikko_sub::sbDeleteClick() {
    commitComposition();
    if (!confirmDelete(this))
        return;
    if (!host_)
        return;
    const QByteArray id = noteId(record_).toByteArray();
    host_->DeleteNote(id.constData());
}

void TfrmStikko_sub::sbPrintClick() {
    commitComposition();
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
    if (nnTop)
        nnTop->setChecked(on);
}

void TfrmStikko_sub::applyStayOnTop() {
    const bool top = stayOnTop_;
    if (top)
        frontHeld_ = false; // the note's own stay-on-top takes over
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == top)
        return;
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
        reDoc->setFocus(Qt::ActiveWindowFocusReason);
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

void TfrmStikko_sub::nnTopClick() {
    commitComposition();
    setStayOnTop(!stayOnTop_);
    applyStayOnTop();
    record_.istop = stayOnTop_ ? 1 : 0;
    writeRecord();
}

void TfrmStikko_sub::nnConfigClick() {
    openSettings(0);
}
void TfrmStikko_sub::nnAlarmClick() {
    openSettings(1);
}

void TfrmStikko_sub::openSettings(int page) {
    commitComposition();
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
    QPalette pal = labTitle->palette();
    const QColor text = pal.color(QPalette::WindowText);
    pnTitle->setColor(text);
    pal.setColor(QPalette::WindowText, background);
    labTitle->setPalette(pal);
}

void TfrmStikko_sub::imgZemClick() {
    if (host_)
        host_->OpenWebAddress(homePageAddress());
}

void TfrmStikko_sub::imgVantoClick() {
    const QString address = rightLinkAddress();
    if (host_ && !address.isEmpty())
        host_->OpenWebAddress(address);
}

} // namespace stikko
