#pragma once
// Pictures drawn once and shared by every note window that would draw the same: a window's
// frame, a tool bar at rest. Most notes share a size and colours, so a start with hundreds of
// notes draws each picture once and copies it. A note of a size of its own adds a picture
// while the memory budget allows; beyond it, notes draw directly.

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QtMath>
#include <array>
#include <cstdint>
#include <vector>

namespace stikko {

template <std::size_t N> class SharedPictures {
  public:
    // Everything the drawing depends on.
    using Key = std::array<int64_t, N>;

    // The picture for `key`, `size` logical pixels at `ratio`, painted by `paint(QPainter&)`
    // the first time; null when it would not fit in the budget.
    template <typename Paint> const QPixmap* find(const Key& key, QSize size, qreal ratio, Paint&& paint) {
        for (const Entry& entry : pictures_) {
            if (entry.key == key)
                return &entry.picture;
        }
        const QSize pixels(qCeil(size.width() * ratio), qCeil(size.height() * ratio));
        const qint64 bytes = qint64(pixels.width()) * pixels.height() * 4;
        if (pixels.isEmpty() || bytes_ + bytes > kBudget)
            return nullptr;
        if (pictures_.empty() && QCoreApplication::instance() != nullptr) {
            // Pixmaps must go before the application does.
            QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [this] {
                pictures_.clear();
                bytes_ = 0;
            });
        }
        QPixmap picture(pixels);
        picture.setDevicePixelRatio(ratio);
        QPainter painter(&picture);
        paint(painter);
        painter.end();
        bytes_ += bytes;
        pictures_.push_back({key, std::move(picture)});
        return &pictures_.back().picture;
    }

  private:
    static constexpr qint64 kBudget = 2 * 1024 * 1024;
    struct Entry {
        Key key;
        QPixmap picture;
    };
    std::vector<Entry> pictures_;
    qint64 bytes_ = 0;
};

} // namespace stikko
