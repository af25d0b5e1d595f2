#include "theme/colors.h"

#include <QApplication>
#include <QPalette>

namespace stikko::colors {

namespace {
QColor systemColor(int index) {
    const QPalette palette = QGuiApplication::instance() ? QGuiApplication::palette() : QPalette();
    switch (index) {
    case kButtonFace:
        return palette.color(QPalette::Button);
    case kHighlight:
        return palette.color(QPalette::Highlight);
    case kMenuText:
        return palette.color(QPalette::WindowText);
    case kButtonShadow:
        return palette.color(QPalette::Dark);
    case kWindow:
        return palette.color(QPalette::Base);
    case kInactiveCaption:
        return palette.color(QPalette::Inactive, QPalette::Highlight).lighter(150);
    case kHighlight3D:
        return palette.color(QPalette::Light);
    case kDarkShadow:
        return palette.color(QPalette::Shadow);
    default:
        return palette.color(QPalette::Window);
    }
}
} // namespace

QColor toQColor(int32_t value) {
    if (isSystemColor(value))
        return systemColor(value & 0xFF);
    const auto v = static_cast<uint32_t>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int32_t fromQColor(const QColor& color) {
    return int32_t(uint32_t(color.red()) | (uint32_t(color.green()) << 8) | (uint32_t(color.blue()) << 16));
}

int32_t resolve(int32_t value) {
    return isSystemColor(value) ? fromQColor(toQColor(value)) : value;
}

} // namespace stikko::colors
