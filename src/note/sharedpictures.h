#pragma once
// Pictures drawn once and shared by every note window that would draw the same: a window's
// frame, a tool bar at rest. Most notes share a size and colours, so a start with hundreds of
// notes draws each once and copies it; a note of a size of its own adds one picture, within a
// budget of memory, beyond which it is drawn directly.

#include <QCoreApplication>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <vector>

namespace stikko {

template <std::size_t N> class SharedPictures {
  public:
    // Everything the drawing depends on.
    using Key = std::array<int64_t, N>;

    // The picture for `key`, made by `draw` the first time; null when it would not fit in the
    // budget (the caller draws directly then).
    template <typename Draw> const QPixmap* find(const Key& key, Draw&& draw) {
        for (const Entry& entry : pictures_) {
            if (entry.key == key)
                return &entry.picture;
        }
        if (pictures_.empty() && QCoreApplication::instance() != nullptr) {
            // Pixmaps must go before the application does.
            QObject::connect(QCoreApplication::instance(), &QObject::destroyed,
                             [this] { pictures_.clear(); });
        }
        QPixmap picture = draw();
        const qint64 bytes = qint64(picture.width()) * picture.height() * 4;
        if (bytes_ + bytes > kBudget)
            return nullptr;
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
