#include "app/fallback_window.h"

#include "theme/icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace stikko {

namespace {
// A flat row like a menu item: icon and text from the left, highlighted under the pointer.
QPushButton* commandButton(QWidget* parent, const QString& text, const QIcon& icon) {
    auto* button = new QPushButton(parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { text-align: left; border: none; padding: 4px 6px; }"
                                         "QPushButton:hover { background: palette(highlight);"
                                         " color: palette(highlighted-text); }"
                                         "QPushButton:disabled { color: palette(mid); }"));
    button->setText(text);
    // Rows without a picture keep their text in line with the others.
    if (icon.isNull()) {
        QPixmap blank(16, 16);
        blank.fill(Qt::transparent);
        button->setIcon(QIcon(blank));
    } else {
        button->setIcon(icon);
    }
    button->setIconSize(QSize(16, 16));
    return button;
}
} // namespace

FallbackWindow::FallbackWindow(QMenu* commands, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmStikko_fallback"));
    setWindowTitle(QStringLiteral("Stikko"));
    setWindowIcon(icons::windowIcon());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(2);

    sbNewNote = commandButton(this, QStringLiteral("새 메모장 만들기"), icons::trayIcon());
    sbNewNote->setObjectName(QStringLiteral("sbNewNote"));
    sbNewNote->setIconSize(QSize(24, 24));
    QFont bold = sbNewNote->font();
    bold.setBold(true);
    sbNewNote->setFont(bold);
    connect(sbNewNote, &QPushButton::clicked, this, &FallbackWindow::newNoteClicked);
    layout->addWidget(sbNewNote);

    // The tray menu's commands in its order, its separators as lines.
    const auto line = [this, layout] {
        auto* rule = new QFrame(this);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
        layout->addWidget(rule);
    };
    line();
    for (QAction* action : commands->actions()) {
        // The window's first button makes the new note.
        if (action->objectName() == QLatin1String("nnNewNote"))
            continue;
        if (action->isSeparator()) {
            line();
            continue;
        }
        QPushButton* button = commandButton(this, action->text(), action->icon());
        button->setEnabled(action->isEnabled());
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button,
                [button, action] { button->setEnabled(action->isEnabled()); });
        layout->addWidget(button);
    }

    // Why this window is here at all.
    auto* why = new QLabel(QStringLiteral("알림 영역이 없어 이 창에서 Stikko를 다룹니다."), this);
    why->setWordWrap(true);
    why->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(why);

    labMessage = new QLabel(this);
    labMessage->setObjectName(QStringLiteral("labMessage"));
    labMessage->setWordWrap(true);
    labMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labMessage->hide();
    layout->addWidget(labMessage);
    layout->addStretch(1);
    setMinimumWidth(240);
}

void FallbackWindow::showMessage(const QString& text) {
    labMessage->setText(text);
    labMessage->show();
    adjustSize();
}

void FallbackWindow::closeEvent(QCloseEvent* event) {
    // The window is the program's presence: closing it is the exit command. The main form
    // hides the window itself (a tray appeared, the program ends) without coming here.
    event->ignore();
    emit closeRequested();
}

} // namespace stikko
