#include "platform/rtfpicture.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace stikko::rtf {

namespace {

// Where a picture's format keeps its parts.
enum Property : int {
    kStoredKind = QTextFormat::UserProperty + 0x5100,
    kStoredExtra,
    kStoredData,
    kStoredNative,
    kFallbackKind,
    kFallbackExtra,
    kFallbackData,
    kFallbackNative,
    kShown,
    kDrawable,
};

// The rich-edit form is shown at its size on the page; twice as many pixels keep it sharp on a
// screen of double density, and this many at most keep the file small.
constexpr qint64 kMaxFallbackPixels = qint64(2) << 20;
constexpr double kHimetricPerPixel = 2540.0 / 96.0; // a metafile's extent is in 0.01 mm
constexpr int kMaxPlaceholderSide = 256;

quint16 u16(QByteArrayView b, qsizetype at) {
    return static_cast<quint16>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1])
                                                                        << 8);
}
quint32 u32(QByteArrayView b, qsizetype at) {
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}
void put16(QByteArray& out, quint32 v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(QByteArray& out, quint32 v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A device-independent bitmap (header, colours, bits: a BMP file without its file header) as
// an image; a null image when the header lies about what follows.
QImage decodeDib(QByteArrayView dib) {
    if (dib.size() < 12)
        return {};
    const quint32 header = u32(dib, 0);
    qint64 width = 0, height = 0;
    int bits = 0;
    quint32 compression = 0;
    qint64 colours = 0, masks = 0, entry = 4;
    if (header == 12) { // the old core header
        width = u16(dib, 4);
        height = u16(dib, 6);
        if (u16(dib, 8) != 1)
            return {};
        bits = u16(dib, 10);
        entry = 3;
    } else if (header >= 40 && header <= 124 && dib.size() >= header) {
        width = static_cast<qint32>(u32(dib, 4));
        height = static_cast<qint32>(u32(dib, 8));
        if (u16(dib, 12) != 1)
            return {};
        bits = u16(dib, 14);
        compression = u32(dib, 16);
        colours = u32(dib, 32);
        if (compression == 3 && header == 40)
            masks = 12;
    } else {
        return {};
    }
    if (width <= 0 || width > 65535 || height == 0 || height > 65535 || height < -65535)
        return {};
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return {};
    if (compression > 3 || (compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
        (compression == 3 && bits != 16 && bits != 32))
        return {};
    if (colours > 256)
        return {};
    if (bits <= 8 && colours == 0)
        colours = qint64(1) << bits;
    const qint64 offset = header + masks + colours * entry;
    if (offset > dib.size())
        return {};
    if (compression == 0 || compression == 3) {
        const qint64 stride = (width * bits + 31) / 32 * 4;
        if (stride * std::abs(height) > dib.size() - offset)
            return {};
    } else if (dib.size() == offset) {
        return {};
    }
    QByteArray file;
    file.reserve(14 + dib.size());
    file += "BM";
    put32(file, static_cast<quint32>(14 + dib.size()));
    put32(file, 0);
    put32(file, static_cast<quint32>(14 + offset));
    file.append(dib.data(), dib.size());
    QImage image;
    image.loadFromData(file, "BMP");
    return image;
}

bool isWmf(QByteArrayView wmf, qsizetype* records = nullptr) {
    qsizetype at = 0;
    if (wmf.size() >= 22 && u32(wmf, 0) == 0x9AC6CDD7u) // a placeable metafile's own header
        at = 22;
    if (wmf.size() - at < 18)
        return false;
    const quint16 type = u16(wmf, at);
    if ((type != 1 && type != 2) || u16(wmf, at + 2) != 9)
        return false;
    if (records)
        *records = at + 18;
    return true;
}

bool isEmf(QByteArrayView emf) {
    return emf.size() >= 88 && u32(emf, 0) == 1 && u32(emf, 40) == 0x464D4520u; // " EMF"
}

// The bitmap a Windows metafile draws, when it draws exactly one: the rich-edit control stores
// a pasted bitmap so. Anything else is a drawing this program does not render.
QImage bitmapOfWmf(QByteArrayView wmf) {
    qsizetype at = 0;
    if (!isWmf(wmf, &at))
        return {};
    QByteArrayView found;
    int count = 0;
    while (wmf.size() - at >= 6) {
        const qint64 bytes = qint64(u32(wmf, at)) * 2;
        const quint16 function = u16(wmf, at + 4);
        if (function == 0 || bytes < 6 || bytes > wmf.size() - at)
            break;
        qint64 dibAt = 0;
        switch (function) {
        case 0x0F43: // StretchDIB
            dibAt = 28;
            break;
        case 0x0B41: // DIBStretchBlt
            dibAt = 26;
            break;
        case 0x0940: // DIBBitBlt
            dibAt = 22;
            break;
        case 0x0D33: // SetDIBitsToDevice
            dibAt = 24;
            break;
        default:
            break;
        }
        if (dibAt && bytes >= dibAt + 40) {
            ++count;
            found = wmf.sliced(at + dibAt, bytes - dibAt);
        }
        at += bytes;
    }
    return count == 1 ? decodeDib(found) : QImage();
}

// The same for an enhanced metafile.
QImage bitmapOfEmf(QByteArrayView emf) {
    if (!isEmf(emf))
        return {};
    qsizetype at = 0;
    QByteArray dib;
    int count = 0;
    while (emf.size() - at >= 8) {
        const quint32 type = u32(emf, at);
        const qint64 size = u32(emf, at + 4);
        if (size < 8 || size % 4 || size > emf.size() - at)
            break;
        qint64 field = 0; // where the record says where its bitmap is
        if (type == 81)   // StretchDIBits
            field = 48;
        else if (type == 76 || type == 77) // BitBlt, StretchBlt
            field = 84;
        if (field && size >= field + 16) {
            const qint64 offBmi = u32(emf, at + field), cbBmi = u32(emf, at + field + 4);
            const qint64 offBits = u32(emf, at + field + 8), cbBits = u32(emf, at + field + 12);
            if (cbBmi > 0 && offBmi + cbBmi <= size && offBits + cbBits <= size) {
                ++count;
                dib = emf.sliced(at + offBmi, cbBmi).toByteArray() +
                      emf.sliced(at + offBits, cbBits).toByteArray();
            }
        }
        if (type == 14) // end of file
            break;
        at += size;
    }
    return count == 1 ? decodeDib(dib) : QImage();
}

QSize fitPixels(QSize size, qint64 maxPixels) {
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels <= maxPixels)
        return size;
    const double factor = std::sqrt(double(maxPixels) / double(pixels));
    return QSize(std::max(1, int(size.width() * factor)), std::max(1, int(size.height() * factor)));
}

QImage shownOf(const QImage& image) {
    const QSize fit = fitPixels(image.size(), kMaxShownPixels);
    return fit == image.size() ? image : image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

enum class Decoded : std::uint8_t { Ok, TooLarge, Malformed };

struct Raster {
    QImage image;
    QSize size;
    Decoded result = Decoded::Malformed;
};

// PNG or JPEG bytes. A picture larger than the image reader may allocate is no fault of the
// bytes: it is kept, undrawn.
Raster decodeRaster(const QByteArray& data, const char* format) {
    Raster out;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    out.size = reader.size();
    if (!out.size.isValid() || out.size.isEmpty() || !reader.canRead())
        return out;
    const qint64 pixels = qint64(out.size.width()) * out.size.height();
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    if (limit > 0 && pixels * 4 > limit) {
        out.result = Decoded::TooLarge;
        return out;
    }
    if (pixels > kMaxShownPixels)
        reader.setScaledSize(fitPixels(out.size, kMaxShownPixels));
    out.image = reader.read();
    out.result = out.image.isNull() ? Decoded::Malformed : Decoded::Ok;
    return out;
}

QImage placeholder(QSizeF size) {
    const QSize s(std::clamp(qRound(size.width()), 1, kMaxPlaceholderSide),
                  std::clamp(qRound(size.height()), 1, kMaxPlaceholderSide));
    QImage image(s, QImage::Format_RGB32);
    image.fill(QColor(0xE8, 0xE8, 0xE8));
    QPainter p(&image);
    p.setPen(QColor(0xA0, 0xA0, 0xA0));
    p.drawRect(0, 0, s.width() - 1, s.height() - 1);
    p.drawLine(0, 0, s.width() - 1, s.height() - 1);
    p.drawLine(0, s.height() - 1, s.width() - 1, 0);
    return image;
}

bool isBitmapKind(const QByteArray& kind) {
    return kind == "pngblip" || kind == "jpegblip" || kind.startsWith("dibitmap") ||
           kind.startsWith("wbitmap");
}

QVariant blobValue(const QByteArray& bytes) {
    return bytes.isEmpty() ? QVariant() : QVariant(bytes);
}

} // namespace

bool isRichEditForm(const QByteArray& kind) {
    return kind.startsWith("wmetafile") || kind.startsWith("dibitmap");
}

std::optional<Picture> decodePicture(PictureBlob stored, QSizeF goalTwips) {
    const QByteArray& kind = stored.kind;
    if (stored.data.isEmpty() || kind.isEmpty())
        return std::nullopt;
    Picture picture;
    QImage image;
    QSize pixels; // the picture's own size, when its bytes say
    if (kind == "pngblip" || kind == "jpegblip") {
        Raster raster = decodeRaster(stored.data, kind == "pngblip" ? "png" : "jpeg");
        if (raster.result == Decoded::Malformed)
            return std::nullopt;
        image = std::move(raster.image);
        pixels = raster.size;
    } else if (kind.startsWith("dibitmap")) {
        image = decodeDib(stored.data);
        if (image.isNull())
            return std::nullopt;
        pixels = image.size();
    } else if (kind.startsWith("wmetafile")) {
        if (!isWmf(stored.data))
            return std::nullopt;
        image = bitmapOfWmf(stored.data);
    } else if (kind == "emfblip") {
        if (!isEmf(stored.data))
            return std::nullopt;
        image = bitmapOfEmf(stored.data);
    } else if (!kind.startsWith("wbitmap") && kind != "macpict" && !kind.startsWith("pmmetafile")) {
        return std::nullopt;
    }
    if (!stored.native.isValid() || stored.native.isEmpty())
        stored.native = pixels.isValid() ? pixels : QSize();

    QSizeF twips = goalTwips;
    if (twips.isEmpty()) {
        if (stored.native.isValid() && !stored.native.isEmpty()) {
            // Bitmaps count in pixels; metafiles in 0.01 mm, except those mapped in pixels.
            const bool inPixels = isBitmapKind(kind) || kind == "wmetafile1";
            twips =
                inPixels ? QSizeF(stored.native) * 15.0 : QSizeF(stored.native) * (15.0 / kHimetricPerPixel);
        } else if (!image.isNull()) {
            twips = QSizeF(image.size()) * 15.0;
        } else {
            twips = QSizeF(1440, 1440);
        }
    }
    const auto side = [](double twipsSide) {
        const double px = twipsSide / 15.0;
        return std::isfinite(px) ? std::clamp(px, 1.0, double(kMaxPictureSide)) : 1.0;
    };
    picture.size = QSizeF(side(twips.width()), side(twips.height()));
    picture.drawable = !image.isNull();
    picture.shown = picture.drawable ? shownOf(image) : placeholder(picture.size);
    picture.stored = std::move(stored);
    return picture;
}

std::optional<Picture> pictureFromImage(const QImage& image) {
    if (image.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return std::nullopt;
    Picture picture;
    picture.stored = PictureBlob{"pngblip", {}, png, image.size()};
    picture.shown = shownOf(image);
    picture.drawable = true;
    picture.size =
        QSizeF(std::min(image.width(), kMaxPictureSide), std::min(image.height(), kMaxPictureSide));
    completePicture(picture);
    return picture;
}

std::optional<Picture> pictureFromFile(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format == "png" || format == "jpeg") {
        std::optional<Picture> picture =
            decodePicture(PictureBlob{format == "png" ? "pngblip" : "jpegblip", {}, bytes, {}}, {});
        if (picture && picture->drawable) {
            completePicture(*picture);
            return picture;
        }
        return std::nullopt;
    }
    if (format.isEmpty())
        return std::nullopt;
    return pictureFromImage(reader.read());
}

PictureBlob metafileOf(const QImage& image, QSizeF size) {
    // As many pixels as the picture has, but no more than twice its size on the page, within
    // the size budget and the 16-bit extents of the metafile.
    QSize target = image.size();
    const QSize twice(std::max(1, int(std::ceil(size.width() * 2))),
                      std::max(1, int(std::ceil(size.height() * 2))));
    if (target.width() > twice.width() || target.height() > twice.height())
        target = target.scaled(twice, Qt::KeepAspectRatio);
    target = fitPixels(target, kMaxFallbackPixels);
    if (target.width() > 32767 || target.height() > 32767)
        target = target.scaled(32767, 32767, Qt::KeepAspectRatio);
    target = target.expandedTo(QSize(1, 1));
    // Opaque, over white, three bytes a pixel, rows bottom up, as a bitmap of the rich-edit era.
    QImage canvas(target, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(QPoint(0, 0), target), image);
    }
    const QImage bgr = canvas.convertToFormat(QImage::Format_BGR888);
    const qint64 w = target.width(), h = target.height();
    const qint64 stride = (w * 3 + 3) / 4 * 4;
    const qint64 dibBytes = 40 + stride * h;
    const quint32 stretchWords = static_cast<quint32>((28 + dibBytes) / 2);
    const quint32 totalWords = 9 + 5 + 5 + stretchWords + 3;

    QByteArray wmf;
    wmf.reserve(static_cast<qsizetype>(totalWords) * 2);
    put16(wmf, 1);      // in memory
    put16(wmf, 9);      // header words
    put16(wmf, 0x0300); // version
    put32(wmf, totalWords);
    put16(wmf, 0); // objects
    put32(wmf, stretchWords);
    put16(wmf, 0);
    put32(wmf, 5); // SetWindowOrg 0, 0
    put16(wmf, 0x020B);
    put16(wmf, 0);
    put16(wmf, 0);
    put32(wmf, 5); // SetWindowExt h, w
    put16(wmf, 0x020C);
    put16(wmf, static_cast<quint32>(h));
    put16(wmf, static_cast<quint32>(w));
    put32(wmf, stretchWords); // StretchDIB, the whole bitmap onto the whole window
    put16(wmf, 0x0F43);
    put32(wmf, 0x00CC0020); // copy the source
    put16(wmf, 0);          // colours are RGB values
    put16(wmf, static_cast<quint32>(h));
    put16(wmf, static_cast<quint32>(w));
    put16(wmf, 0);
    put16(wmf, 0);
    put16(wmf, static_cast<quint32>(h));
    put16(wmf, static_cast<quint32>(w));
    put16(wmf, 0);
    put16(wmf, 0);
    put32(wmf, 40); // the bitmap's header
    put32(wmf, static_cast<quint32>(w));
    put32(wmf, static_cast<quint32>(h));
    put16(wmf, 1);
    put16(wmf, 24);
    put32(wmf, 0);
    put32(wmf, static_cast<quint32>(stride * h));
    put32(wmf, 3780); // 96 dpi in pixels per metre
    put32(wmf, 3780);
    put32(wmf, 0);
    put32(wmf, 0);
    const QByteArray padding(static_cast<qsizetype>(stride - w * 3), '\0');
    for (qint64 y = h - 1; y >= 0; --y) {
        wmf.append(reinterpret_cast<const char*>(bgr.constScanLine(static_cast<int>(y))),
                   static_cast<qsizetype>(w * 3));
        wmf.append(padding);
    }
    put32(wmf, 3); // end of file
    put16(wmf, 0);

    const QSize extent(qRound(size.width() * kHimetricPerPixel), qRound(size.height() * kHimetricPerPixel));
    return PictureBlob{"wmetafile8", {}, wmf, extent};
}

void completePicture(Picture& picture) {
    if (picture.drawable && picture.fallback.isEmpty() && !isRichEditForm(picture.stored.kind))
        picture.fallback = metafileOf(picture.shown, picture.size);
}

QTextImageFormat pictureFormat(const Picture& picture, QTextDocument& document) {
    // Names are unique in the program, so text moved between documents never shows another
    // picture of the same name.
    static std::atomic<quint64> count{0};
    const QString name = QStringLiteral("stikko-picture:%1").arg(++count);
    document.addResource(QTextDocument::ImageResource, QUrl(name), picture.shown);
    // The size in whole twips, as the file keeps it: what is shown is what is read back.
    const auto inTwips = [](double px) { return std::max(1.0, std::round(px * 15)) / 15; };
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(inTwips(picture.size.width()));
    format.setHeight(inTwips(picture.size.height()));
    format.setProperty(kStoredKind, picture.stored.kind);
    format.setProperty(kStoredExtra, blobValue(picture.stored.extra));
    format.setProperty(kStoredData, picture.stored.data);
    format.setProperty(kStoredNative, picture.stored.native);
    if (!picture.fallback.isEmpty()) {
        format.setProperty(kFallbackKind, picture.fallback.kind);
        format.setProperty(kFallbackExtra, blobValue(picture.fallback.extra));
        format.setProperty(kFallbackData, picture.fallback.data);
        format.setProperty(kFallbackNative, picture.fallback.native);
    }
    format.setProperty(kShown, picture.shown);
    format.setProperty(kDrawable, picture.drawable);
    return format;
}

void insertPicture(QTextCursor& cursor, const Picture& picture) {
    QTextCharFormat format = cursor.charFormat();
    format.merge(pictureFormat(picture, *cursor.document()));
    cursor.insertImage(format.toImageFormat());
}

std::optional<Picture> pictureOf(const QTextFormat& format) {
    if (!format.isImageFormat() || !format.hasProperty(kStoredData))
        return std::nullopt;
    Picture picture;
    picture.stored =
        PictureBlob{format.property(kStoredKind).toByteArray(), format.property(kStoredExtra).toByteArray(),
                    format.property(kStoredData).toByteArray(), format.property(kStoredNative).toSize()};
    picture.fallback = PictureBlob{
        format.property(kFallbackKind).toByteArray(), format.property(kFallbackExtra).toByteArray(),
        format.property(kFallbackData).toByteArray(), format.property(kFallbackNative).toSize()};
    picture.shown = format.property(kShown).value<QImage>();
    picture.drawable = format.boolProperty(kDrawable);
    const QTextImageFormat image = format.toImageFormat();
    picture.size = QSizeF(image.width(), image.height());
    if (!(picture.size.width() > 0 && picture.size.height() > 0))
        picture.size = picture.shown.size();
    if (picture.stored.kind.isEmpty() || picture.stored.data.isEmpty())
        return std::nullopt;
    return picture;
}

void restorePictures(QTextDocument& document) {
    const QList<QTextFormat> formats = document.allFormats();
    for (const QTextFormat& format : formats) {
        if (!format.isImageFormat() || !format.hasProperty(kShown))
            continue;
        const QUrl name(format.toImageFormat().name());
        if (!document.resource(QTextDocument::ImageResource, name).isValid())
            document.addResource(QTextDocument::ImageResource, name, format.property(kShown));
    }
}

} // namespace stikko::rtf
