#include "theme/paintedicon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

namespace stikko {

namespace {

class PaintedIconEngine : public QIconEngine {
  public:
    PaintedIconEngine(QString name, QSize grid, std::function<void(QPainter&)> paint, QList<QSize> sizes)
        : name_(std::move(name)), grid_(grid), paint_(std::move(paint)), sizes_(std::move(sizes)) {
        if (sizes_.isEmpty())
            sizes_ << grid_;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), picture);
    }

    // `size` is in device pixels: QIcon asks for the logical size times the pixel ratio.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        if (size.isEmpty())
            return {};
        const QString key = QStringLiteral("stikko-painted-%1-%2x%3-%4")
                                .arg(name_)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(int(mode));
        QPixmap pixmap;
        if (QPixmapCache::find(key, &pixmap))
            return pixmap;
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(qreal(size.width()) / grid_.width(), qreal(size.height()) / grid_.height());
            paint_(p);
        }
        pixmap = QPixmap::fromImage(image);
        if (mode != QIcon::Normal && qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QStyleOption option;
            option.palette = QApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        QPixmapCache::insert(key, pixmap);
        return pixmap;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return sizes_; }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new PaintedIconEngine(name_, grid_, paint_, sizes_); }
    QString key() const override { return QStringLiteral("stikko-painted"); }

  private:
    QString name_;
    QSize grid_;
    std::function<void(QPainter&)> paint_;
    QList<QSize> sizes_;
};

} // namespace

QPainterPath foldedNote(const QRectF& box, qreal fold) {
    QPainterPath note;
    note.moveTo(box.topLeft());
    note.lineTo(box.topRight());
    note.lineTo(box.right(), box.bottom() - fold);
    note.lineTo(box.right() - fold, box.bottom());
    note.lineTo(box.bottomLeft());
    note.closeSubpath();
    return note;
}

QIcon paintedIcon(const QString& name, QSize grid, std::function<void(QPainter&)> paint, QList<QSize> sizes) {
    return QIcon(new PaintedIconEngine(name, grid, std::move(paint), std::move(sizes)));
}

} // namespace stikko
