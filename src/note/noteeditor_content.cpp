// What the body editor takes in and gives out besides typing: the clipboard and drops (rich
// text, pictures and picture files) and its links. A picture that comes in is kept by the body
// (its bytes travel with it to the file); a link opens on a click through the note's window.

#include "note/notewidgets.h"

#include "platform/rtf.h"
#include "platform/rtfpicture.h"

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextImageFormat>
#include <QToolTip>
#include <QUrl>

#include <utility>
#include <vector>

namespace stikko {

namespace {

// RTF on the clipboard, for word processors that prefer it to HTML.
const QString kRtfMime = QStringLiteral("text/rtf");
const QString kRtfMimeAlt = QStringLiteral("application/rtf");
// Marks what a note put on the clipboard or dragged: its RTF holds all of it (pictures, links),
// which the HTML form does not.
const QString kNoteMime = QStringLiteral("application/x-stikko-note");

// A picture file larger than this is not taken (its text form would make the body file
// larger than a note body can be read back).
constexpr qint64 kMaxPictureFile = qint64(64) << 20;

QByteArray rtfOf(const QMimeData* source) {
    return source->hasFormat(kRtfMime) ? source->data(kRtfMime) : source->data(kRtfMimeAlt);
}

// Local files among the URLs that a picture reader recognises.
QStringList pictureFiles(const QMimeData* source) {
    QStringList files;
    if (!source->hasUrls())
        return files;
    for (const QUrl& url : source->urls()) {
        if (!url.isLocalFile())
            return {};
        const QString path = url.toLocalFile();
        QFile file(path);
        if (file.size() <= 0 || file.size() > kMaxPictureFile || !file.open(QIODevice::ReadOnly))
            return {};
        QImageReader reader(&file);
        if (reader.format().isEmpty())
            return {};
        files << path;
    }
    return files;
}

QImage imageOf(const QVariant& value) {
    if (value.userType() == QMetaType::QImage)
        return value.value<QImage>();
    if (value.userType() == QMetaType::QPixmap)
        return value.value<QPixmap>().toImage();
    if (value.userType() == QMetaType::QByteArray)
        return QImage::fromData(value.toByteArray());
    return {};
}

} // namespace

QSizeF NoteEditor::fittedSize(QSizeF size) const {
    const qreal width = viewport()->width() - 2 * document()->documentMargin() - 1;
    if (width < 16 || size.width() <= width)
        return size;
    return QSizeF(width, size.height() * width / size.width());
}

bool NoteEditor::insertPictures(const QMimeData* source) {
    std::vector<rtf::Picture> pictures;
    if (source->hasImage()) {
        if (std::optional<rtf::Picture> picture = rtf::pictureFromImage(imageOf(source->imageData())))
            pictures.push_back(std::move(*picture));
    } else {
        const QStringList files = pictureFiles(source);
        for (const QString& path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            if (std::optional<rtf::Picture> picture = rtf::pictureFromFile(file.readAll()))
                pictures.push_back(std::move(*picture));
        }
    }
    if (pictures.empty())
        return false;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    for (rtf::Picture& picture : pictures) {
        picture.size = fittedSize(picture.size);
        rtf::insertPicture(cursor, picture);
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
    return true;
}

void NoteEditor::adoptPictures(int from, int to) {
    QTextDocument* doc = document();
    std::vector<std::pair<int, QTextImageFormat>> foreign;
    for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.isImageFormat() || rtf::pictureOf(format))
                continue;
            const QString text = fragment.text();
            for (int i = 0; i < text.size(); ++i) {
                const int at = fragment.position() + i;
                if (at >= from && at < to && text[i] == QChar::ObjectReplacementCharacter)
                    foreign.emplace_back(at, format.toImageFormat());
            }
        }
    }
    // From the back, so the places before stay where they were.
    for (auto it = foreign.rbegin(); it != foreign.rend(); ++it) {
        QTextCursor cursor(doc);
        cursor.setPosition(it->first);
        cursor.setPosition(it->first + 1, QTextCursor::KeepAnchor);
        const QImage image = imageOf(doc->resource(QTextDocument::ImageResource, QUrl(it->second.name())));
        cursor.removeSelectedText();
        std::optional<rtf::Picture> picture = rtf::pictureFromImage(image);
        if (!picture)
            continue; // an image the note cannot have (a web address): nothing shows a hole
        if (it->second.width() > 0 && it->second.height() > 0)
            picture->size = QSizeF(it->second.width(), it->second.height());
        picture->size = fittedSize(picture->size);
        rtf::insertPicture(cursor, *picture);
    }
}

bool NoteEditor::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasImage() || !pictureFiles(source).isEmpty() || source->hasFormat(kRtfMime) ||
           source->hasFormat(kRtfMimeAlt) || QTextEdit::canInsertFromMimeData(source);
}

void NoteEditor::insertFromMimeData(const QMimeData* source) {
    // RTF comes first where it holds more than the rich formats the editor reads itself (its own
    // format, HTML): a note's own (pictures, links), another program's with pictures, or any
    // from a program that offers nothing richer; it is read through the note's own RTF reader.
    const bool hasRtf = source->hasFormat(kRtfMime) || source->hasFormat(kRtfMimeAlt);
    const bool richer = source->hasHtml() || source->hasFormat(QStringLiteral("application/x-qrichtext"));
    const QByteArray rtfBytes = hasRtf ? rtfOf(source) : QByteArray();
    if (hasRtf && (!richer || source->hasFormat(kNoteMime) || rtfBytes.contains("\\pict"))) {
        QTextDocument fragment;
        rtf::read(rtfBytes, fragment);
        textCursor().insertFragment(QTextDocumentFragment(&fragment));
        rtf::restorePictures(*document()); // the fragment brought the pictures' formats, not their images
        ensureCursorVisible();
        return;
    }
    // An image (a copied picture, with perhaps its address as HTML beside it) or picture files.
    if (insertPictures(source))
        return;
    const int from = textCursor().selectionStart();
    QTextEdit::insertFromMimeData(source);
    adoptPictures(from, textCursor().position());
}

QMimeData* NoteEditor::createMimeDataFromSelection() const {
    QMimeData* mime = QTextEdit::createMimeDataFromSelection();
    const QTextCursor cursor = textCursor();
    if (mime && cursor.hasSelection()) {
        // The editor's clipboard data lists only its own formats until one of them is asked
        // for; asked now, it lists the ones added here too, so that other programs and the
        // notes see the RTF.
        (void)mime->data(QStringLiteral("text/plain"));
        QTextDocument fragment;
        QTextCursor(&fragment).insertFragment(cursor.selection());
        const QByteArray rtfBytes = rtf::write(fragment);
        mime->setData(kRtfMime, rtfBytes);
        mime->setData(kRtfMimeAlt, rtfBytes);
        mime->setData(kNoteMime, QByteArray());
        // A picture alone is also offered as an image, for programs that take no rich text.
        if (cursor.selectionEnd() - cursor.selectionStart() == 1) {
            QTextCursor one(document());
            one.setPosition(cursor.selectionEnd());
            if (std::optional<rtf::Picture> picture = rtf::pictureOf(one.charFormat());
                picture && picture->drawable)
                mime->setImageData(picture->shown);
        }
    }
    return mime;
}

// --- links --------------------------------------------------------------------------------

bool NoteEditor::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString address = anchorAt(help->pos());
        if (!address.isEmpty())
            QToolTip::showText(help->globalPos(), address, viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QTextEdit::viewportEvent(event);
}

void NoteEditor::notePressOnLink(const QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    pressedLink_ =
        event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier ? anchorAt(at) : QString();
    pressedAt_ = at;
}

void NoteEditor::mouseMoveEvent(QMouseEvent* event) {
    QTextEdit::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton)
        viewport()->setCursor(anchorAt(event->position().toPoint()).isEmpty() ? Qt::IBeamCursor
                                                                              : Qt::PointingHandCursor);
}

void NoteEditor::mouseReleaseEvent(QMouseEvent* event) {
    QTextEdit::mouseReleaseEvent(event);
    const QPoint at = event->position().toPoint();
    const QString link = std::exchange(pressedLink_, QString());
    // A click, not a drag or a selection, on the link it began on.
    if (event->button() == Qt::LeftButton && !link.isEmpty() && anchorAt(at) == link &&
        (at - pressedAt_).manhattanLength() < QApplication::startDragDistance() &&
        !textCursor().hasSelection())
        emit linkActivated(link);
}

} // namespace stikko
