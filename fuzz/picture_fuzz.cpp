// The picture decoder on arbitrary bytes in each form the reader takes: never crashes or hangs,
// and a picture it keeps goes through the writer and the reader unchanged.
#include "platform/rtf.h"
#include "platform/rtfpicture.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>

#include <cstdint>
#include <cstdlib>
#include <iterator>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    (void)argc;
    // Formats and fonts need a GUI application, never a display. It lives as long as the process.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    new QGuiApplication(qtArgc, qtArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the form, as the \pict word would.
    static const char* const kinds[] = {"pngblip",    "jpegblip", "dibitmap0",
                                        "wmetafile8", "emfblip",  "wbitmap0"};
    stikko::rtf::PictureBlob blob;
    blob.kind = kinds[data[0] % std::size(kinds)];
    blob.data = QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    std::optional<stikko::rtf::Picture> picture = stikko::rtf::decodePicture(blob, {});
    if (!picture)
        return 0;
    if (picture->stored.data != blob.data || picture->size.isEmpty() || picture->shown.isNull())
        std::abort();

    QTextDocument document;
    QTextCursor cursor(&document);
    stikko::rtf::completePicture(*picture);
    stikko::rtf::insertPicture(cursor, *picture);
    const QByteArray written = stikko::rtf::write(document);
    QTextDocument again;
    stikko::rtf::read(written, again);
    QTextCursor at(&again);
    at.movePosition(QTextCursor::NextCharacter);
    const std::optional<stikko::rtf::Picture> read = stikko::rtf::pictureOf(at.charFormat());
    if (!read || read->stored.data != blob.data || read->stored.kind != blob.kind ||
        read->drawable != picture->drawable)
        std::abort();
    if (stikko::rtf::write(again) != written)
        std::abort();
    return 0;
}
