#include "note/notetoolbar.h"

#include "note/notepictures.h"
#include "theme/fonts.h"
#include "theme/icons.h"

namespace stikko {

namespace {

// Text colours (0x00BBGGRR): the font label reads white on the bar; a style's letter is its own
// indicator, pure red while the selection has the style, else black.
constexpr int32_t kWhite = 0x00FFFFFF, kIndicatorOn = 0x000000FF, kIndicatorOff = 0;
// The tops of the text controls (14 pixels high) and of the buttons.
constexpr int kTextTop = 2, kTextHeight = 14, kButtonTop = 1;

QFont faceFont(ToolbarFace face) {
    if (face == ToolbarFace::Arial) {
        QFont arial(QStringLiteral("Arial"));
        arial.setPixelSize(12);
        return arial;
    }
    QFont font = fonts::fixedPitch(12);
    font.setBold(face == ToolbarFace::Bold);
    font.setUnderline(face == ToolbarFace::Underline);
    return font;
}

QWidget* makeText(const ToolbarItem& item, QWidget* parent) {
    auto* label = new ClickLabel(QString::fromUtf16(item.text), parent);
    label->setFont(faceFont(item.face));
    // The font label reads white on the bar; the style letters are their own indicators.
    label->setFontColor(item.face == ToolbarFace::Arial ? kWhite : kIndicatorOff);
    if (item.width > 0) {
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(item.left, kTextTop, item.width, kTextHeight);
        return label;
    }
    // A text as wide as it is, the same for every note: measured once.
    static QSize measured;
    if (measured.isEmpty()) {
        label->adjustSize();
        measured = label->size();
    } else {
        label->resize(measured);
    }
    label->move(item.left, kTextTop);
    return label;
}

QWidget* makeButton(const ToolbarItem& item, QWidget* parent) {
    const NoteCommandInfo& info = commandInfo(item.command);
    auto* button = new SpeedButton(parent);
    button->setGeometry(item.left, kButtonTop, 18, 17);
    button->setIcon(icons::editIcon(info.picture));
    button->setCheckable(info.hasState);
    return button;
}

} // namespace

NoteToolbar::NoteToolbar(QWidget* parent) : Panel(parent) {
    setObjectName(QStringLiteral("pnBottom"));
    for (const ToolbarItem& item : toolbarItems()) {
        QWidget* widget = item.face == ToolbarFace::Picture ? makeButton(item, this) : makeText(item, this);
        widget->setObjectName(QString::fromLatin1(item.name));
        if (item.tip)
            widget->setToolTip(QString::fromUtf16(item.tip));
        widget->setAccessibleName(QString::fromUtf16(commandInfo(item.command).caption));
        const NoteCommand command = item.command;
        if (auto* label = qobject_cast<ClickLabel*>(widget)) {
            connect(label, &ClickLabel::clicked, this, [this, command](Qt::MouseButton button) {
                if (button == Qt::LeftButton)
                    emit triggered(command);
            });
        } else {
            auto* button = static_cast<SpeedButton*>(widget);
            connect(button, &QAbstractButton::clicked, this, [this, button, command] {
                // The window decides the state: the button's own toggle is taken back.
                if (button->isCheckable())
                    button->setChecked(!button->isChecked());
                emit triggered(command);
            });
        }
        controls_.append({&item, widget});
    }
    sizeGrip_ = new ImageBox(this);
    sizeGrip_->setObjectName(QStringLiteral("imgSize"));
    sizeGrip_->resize(16, 16);
    sizeGrip_->setPicture(notepictures::sizeGrip(), QSize(16, 16));
    sizeGrip_->setCursor(Qt::SizeFDiagCursor);
}

const NoteToolbar::Control* NoteToolbar::find(NoteCommand command) const {
    for (const Control& control : controls_) {
        if (control.item->command == command)
            return &control;
    }
    return nullptr;
}

void NoteToolbar::setChecked(NoteCommand command, bool on) {
    const Control* control = find(command);
    if (!control)
        return;
    if (auto* label = qobject_cast<ClickLabel*>(control->widget))
        label->setFontColor(on ? kIndicatorOn : kIndicatorOff);
    else
        static_cast<SpeedButton*>(control->widget)->setChecked(on);
}

void NoteToolbar::setCommandEnabled(NoteCommand command, bool enabled) {
    if (const Control* control = find(command))
        control->widget->setEnabled(enabled);
}

void NoteToolbar::resizeEvent(QResizeEvent* event) {
    Panel::resizeEvent(event);
    for (const Control& control : std::as_const(controls_)) {
        if (control.item->fromRight)
            control.widget->move(width() - (kToolbarDesignWidth - control.item->left), control.widget->y());
    }
    sizeGrip_->move(width() - sizeGrip_->width(), height() - sizeGrip_->height());
}

} // namespace stikko
