#include "note/notelayout.h"

#include <algorithm>

namespace stikko::notelayout {

QPoint placeWithinReach(const QRect& frame, const QList<QRect>& areas) {
    const QRect titleBar(frame.x(), frame.y(), frame.width(), kTitleBarHeight);
    const int needWidth = std::min(kReachableWidth, std::max(1, frame.width()));
    const QRect* nearest = nullptr;
    qint64 nearestDistance = 0;
    for (const QRect& area : areas) {
        const QRect shown = area.intersected(titleBar);
        if (shown.width() >= needWidth && shown.height() >= kReachableHeight)
            return frame.topLeft();
        // Distance from the title bar's centre to the area (0 inside it).
        const QPoint centre = titleBar.center();
        const qint64 dx =
            std::max<qint64>({qint64(area.left()) - centre.x(), 0, qint64(centre.x()) - area.right()});
        const qint64 dy =
            std::max<qint64>({qint64(area.top()) - centre.y(), 0, qint64(centre.y()) - area.bottom()});
        const qint64 distance = dx * dx + dy * dy;
        if (!nearest || distance < nearestDistance) {
            nearest = &area;
            nearestDistance = distance;
        }
    }
    if (!nearest)
        return frame.topLeft();
    const int x =
        std::max(nearest->left(), std::min(frame.x(), nearest->left() + nearest->width() - frame.width()));
    const int y =
        std::max(nearest->top(), std::min(frame.y(), nearest->top() + nearest->height() - frame.height()));
    return QPoint(x, y);
}

} // namespace stikko::notelayout
