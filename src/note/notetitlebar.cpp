#include "note/notetitlebar.h"

#include <QPainter>

namespace stikko {

namespace {

constexpr QSize kLinkSize(26, 16);
constexpr QSize kPictureSize(16, 16);

using Picture = NoteTitleBar::Picture;

int indexOf(Picture picture) {
    return int(picture);
}

} // namespace

NoteTitleBar::NoteTitleBar(QWidget* parent) : ControlPanel(parent) {
    const auto add = [this](QSize size, const QString& name, QAccessible::Role role, bool shown) {
        Control control;
        control.rect = QRect(QPoint(0, 0), size);
        control.name = name;
        control.role = role;
        control.shown = shown;
        addControl(control);
    };
    // In the order of Picture.
    add(kLinkSize, QStringLiteral("제작사 홈페이지"), QAccessible::Link, true);
    add(kPictureSize, QStringLiteral("알람( Alarm) 설정"), QAccessible::Button, false);
    add(kPictureSize, QString(), QAccessible::Graphic, false);
    add(kPictureSize, QStringLiteral("확대/축소"), QAccessible::Button, true);
    add(kLinkSize, QString(), QAccessible::Link, false);
    connect(this, &ControlPanel::controlClicked, this,
            [this](int index, Qt::MouseButton button) { emit pictureClicked(Picture(index), button); });
}

void NoteTitleBar::setCaption(const QString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    update(captionRect_);
}

void NoteTitleBar::setCaptionColor(const QColor& color) {
    if (color == captionColor_)
        return;
    captionColor_ = color;
    update(captionRect_);
}

void NoteTitleBar::setPicture(Picture picture, const QIcon& icon, QSize size) {
    pictures_[indexOf(picture)] = {icon, size, QPixmap()};
    update(control(indexOf(picture)).rect);
}

void NoteTitleBar::setPicture(Picture picture, const QPixmap& pixmap) {
    setPicture(picture, QIcon(pixmap), pixmap.deviceIndependentSize().toSize());
}

QPixmap NoteTitleBar::picture(Picture picture) const {
    const Shown& shown = pictures_[indexOf(picture)];
    if (shown.icon.isNull())
        return {};
    const qreal ratio = devicePixelRatioF();
    if (shown.pixmap.isNull() || shown.pixmap.devicePixelRatio() != ratio)
        shown.pixmap = shown.icon.pixmap(shown.size, ratio);
    return shown.pixmap;
}

void NoteTitleBar::setPictureShown(Picture picture, bool shown) {
    if (shown == isPictureShown(picture))
        return;
    setControlShown(indexOf(picture), shown);
    layOut();
}

bool NoteTitleBar::isPictureShown(Picture picture) const {
    return control(indexOf(picture)).shown;
}

void NoteTitleBar::setPictureTip(Picture picture, const QString& tip) {
    setControlTip(indexOf(picture), tip);
    // The pictures named by what they say (the trouble mark, the right link) are named so for
    // a screen reader too.
    if (picture == Picture::Mark || picture == Picture::Vanto)
        setControlName(indexOf(picture), tip);
}

QString NoteTitleBar::pictureTip(Picture picture) const {
    return control(indexOf(picture)).tip;
}

void NoteTitleBar::setPictureCursor(Picture picture, Qt::CursorShape cursor) {
    setControlCursor(indexOf(picture), cursor);
}

Qt::CursorShape NoteTitleBar::pictureCursor(Picture picture) const {
    return control(indexOf(picture)).cursor;
}

QRect NoteTitleBar::pictureRect(Picture picture) const {
    const Control& c = control(indexOf(picture));
    return c.shown ? c.rect : QRect();
}

void NoteTitleBar::resizeEvent(QResizeEvent* event) {
    ControlPanel::resizeEvent(event);
    layOut();
}

void NoteTitleBar::layOut() {
    // The left pictures from the left edge, the right ones from the right edge; the caption
    // takes the rest.
    const auto place = [this](Picture picture, int x) {
        QRect r = control(indexOf(picture)).rect;
        r.moveTo(x, 0);
        setControlRect(indexOf(picture), r);
        return r.width();
    };
    int left = place(Picture::Zem, 0);
    for (Picture picture : {Picture::Time, Picture::Mark}) {
        if (isPictureShown(picture))
            left += place(picture, left);
    }
    int right = width();
    for (Picture picture : {Picture::Vanto, Picture::Max}) {
        if (isPictureShown(picture))
            right -= place(picture, right - control(indexOf(picture)).rect.width());
    }
    const QRect caption(left, 0, std::max(0, right - left), height());
    if (caption != captionRect_) {
        update(captionRect_);
        captionRect_ = caption;
        update(captionRect_);
    }
}

void NoteTitleBar::paintContents(QPainter& painter, const QRect& exposed) {
    if (!caption_.isEmpty() && captionRect_.intersects(exposed)) {
        painter.setPen(captionColor_);
        painter.setFont(font());
        painter.drawText(captionRect_, Qt::AlignCenter, caption_);
    }
    ControlPanel::paintContents(painter, exposed);
}

void NoteTitleBar::paintControl(QPainter& painter, int index) {
    const Shown& shown = pictures_[index];
    if (shown.icon.isNull())
        return;
    const QRect r = control(index).rect;
    // Centred, never scaled: the pictures are drawn at their own size.
    painter.drawPixmap(r.left() + (r.width() - shown.size.width()) / 2,
                       r.top() + (r.height() - shown.size.height()) / 2, picture(Picture(index)));
}

} // namespace stikko
