#pragma once
// Pictures drawn once and shared by every note window that would draw the same: a window's
// frame, a tool bar at rest. Most notes share a size and colours, so a start with hundreds of
// notes draws each picture once and copies it. Pictures are kept within a memory budget; a new
// one makes room by dropping those used longest ago (a resize by the grip makes a picture of
// every size it passes through, which are not asked for again). A picture larger than the
// whole budget is never kept: such a note draws directly.

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QtMath>
#include <array>
#include <cstdint>
#include <list>

namespace stikko {

template <std::size_t N> class SharedPictures {
  public:
    // Everything the drawing depends on.
    using Key = std::array<int64_t, N>;
    // The bytes the kept pictures may take together.
    static constexpr qint64 kBudget = 2 * 1024 * 1024;

    SharedPictures() = default;
    ~SharedPictures() { QObject::disconnect(applicationGone_); }
    SharedPictures(const SharedPictures&) = delete;
    SharedPictures& operator=(const SharedPictures&) = delete;

    // The picture for `key`, `size` logical pixels at `ratio`, painted by `paint(QPainter&)`
    // the first time; null when it is larger than the budget. Valid until the next call.
    template <typename Paint> const QPixmap* find(const Key& key, QSize size, qreal ratio, Paint&& paint) {
        for (auto it = pictures_.begin(); it != pictures_.end(); ++it) {
            if (it->key == key) {
                pictures_.splice(pictures_.begin(), pictures_, it); // the most recently used first
                return &pictures_.front().picture;
            }
        }
        const QSize pixels(qCeil(size.width() * ratio), qCeil(size.height() * ratio));
        const qint64 bytes = qint64(pixels.width()) * pixels.height() * 4;
        if (pixels.isEmpty() || bytes > kBudget)
            return nullptr;
        while (bytes_ + bytes > kBudget) {
            bytes_ -= pictures_.back().bytes;
            pictures_.pop_back();
        }
        if (!applicationGone_ && QCoreApplication::instance() != nullptr) {
            // Pixmaps must go before the application does.
            applicationGone_ = QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [this] {
                pictures_.clear();
                bytes_ = 0;
                applicationGone_ = {};
            });
        }
        QPixmap picture(pixels);
        picture.setDevicePixelRatio(ratio);
        QPainter painter(&picture);
        paint(painter);
        painter.end();
        bytes_ += bytes;
        pictures_.push_front({key, std::move(picture), bytes});
        return &pictures_.front().picture;
    }

  private:
    struct Entry {
        Key key;
        QPixmap picture;
        qint64 bytes = 0;
    };
    std::list<Entry> pictures_; // the most recently used first
    qint64 bytes_ = 0;
    QMetaObject::Connection applicationGone_;
};

} // namespace stikko
