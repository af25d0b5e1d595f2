#pragma once
// Pictures in note bodies. A picture is one object character of the document whose image
// format carries everything the body file needs to write it back: its bytes in the form they
// were stored in and, beside them, a form the Windows rich-edit control reads. It also carries
// the image the note shows, which the document holds as a resource under the format's name
// (where the text layout looks for it). Images only, no pixmaps: this runs on any thread.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QTextFormat>

#include <optional>

class QTextCursor;
class QTextDocument;
class QTextImageFormat;

namespace stikko::rtf {

// Picture bytes in one RTF form.
struct PictureBlob {
    QByteArray kind;  // the \pict word that names the form: "pngblip", "jpegblip", "wmetafile8", ...
    QByteArray extra; // further words the form needs to be read again (a device bitmap's geometry)
    QByteArray data;
    QSize native; // \picw and \pich: pixels for bitmaps, the metafile's extent for metafiles
    bool isEmpty() const { return data.isEmpty(); }
};

struct Picture {
    PictureBlob stored;    // the picture as it came
    PictureBlob fallback;  // the rich-edit form written beside it; empty when `stored` is one
    QImage shown;          // what the note shows: the picture, or a placeholder
    bool drawable = false; // `shown` is the picture itself, not a placeholder for undecodable bytes
    QSizeF size;           // on the page, in pixels at 96 dpi
};

// A note shows at most this many pixels of a picture; larger ones are shown scaled down (the
// stored bytes keep their full size).
inline constexpr qint64 kMaxShownPixels = qint64(8) << 20;
// A picture's size on the page is kept within this many pixels each way.
inline constexpr int kMaxPictureSide = 16384;

// True for the forms the Windows rich-edit control reads itself (metafiles and device-independent
// bitmaps): such a picture needs no second form beside it.
bool isRichEditForm(const QByteArray& kind);

// A picture from a \pict's form and bytes, shown at `goalTwips` (an empty size: derived from
// the form). Bytes that are not what their form claims give nothing; a form that cannot be
// decoded here (a drawing metafile, a picture too large to decode) is kept with a placeholder.
std::optional<Picture> decodePicture(PictureBlob stored, QSizeF goalTwips);

// A picture of `image` (pasted, or decoded from a file), stored as PNG.
std::optional<Picture> pictureFromImage(const QImage& image);
// A picture from a picture file's bytes: PNG and JPEG are kept as they are, any other format
// Qt reads is stored as PNG. Nothing when the bytes are no picture.
std::optional<Picture> pictureFromFile(const QByteArray& bytes);

// Gives a drawable picture without a rich-edit form one, made from what it shows.
void completePicture(Picture& picture);

// Inserts `picture` at the cursor with the cursor's character format; the document gets its image.
void insertPicture(QTextCursor& cursor, const Picture& picture);
// The format of a picture in `document` (whose resource it adds); insert it as an image.
QTextImageFormat pictureFormat(const Picture& picture, QTextDocument& document);
// What a character format carries, when it is one of our pictures.
std::optional<Picture> pictureOf(const QTextFormat& format);
// Gives the document the images of the pictures its formats carry but it does not hold yet
// (text inserted from another document brings formats, not resources).
void restorePictures(QTextDocument& document);

// The Windows metafile the rich-edit control reads for `image` shown at `size` (pixels): a
// bitmap over white, with at most twice the pixels of that size and no more than a few million.
PictureBlob metafileOf(const QImage& image, QSizeF size);

} // namespace stikko::rtf
