// The RTF reader on arbitrary bytes: never crashes or hangs, and what it loads survives our
// writer: writing, reading and writing again gives the same bytes and the same text.
#include "platform/rtf.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

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
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument loaded;
    stikko::rtf::read(bytes, loaded);
    const QByteArray written = stikko::rtf::write(loaded);

    QTextDocument reloaded;
    stikko::rtf::read(written, reloaded);
    if (reloaded.toPlainText() != loaded.toPlainText())
        std::abort();
    if (stikko::rtf::write(reloaded) != written)
        std::abort();
    return 0;
}
