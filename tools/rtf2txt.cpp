// rtf2txt FILE          prints the text a note body loads as, in UTF-8
// rtf2txt --html FILE   prints the loaded document as Qt's HTML, formatting included
// rtf2txt --rtf FILE    prints the RTF the program saves of the loaded document
#include "platform/rtf.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    bool html = false, rtf = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--html") == 0 && !html && !rtf)
            html = true;
        else if (std::strcmp(argv[i], "--rtf") == 0 && !html && !rtf)
            rtf = true;
        else if (!path)
            path = argv[i];
        else
            path = nullptr, i = argc; // more than one file: usage
    }
    if (!path) {
        std::fprintf(stderr, "usage: rtf2txt [--html | --rtf] FILE\n");
        return 2;
    }
    // Fonts and formats need a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    QGuiApplication app(appArgc, argv);

    QTextDocument document;
    if (!stikko::rtf::loadFile(QString::fromLocal8Bit(path), document)) {
        std::fprintf(stderr, "rtf2txt: cannot read %s\n", path);
        return 1;
    }
    const QByteArray out = rtf    ? stikko::rtf::write(document)
                           : html ? document.toHtml().toUtf8()
                                  : (document.toPlainText() + u'\n').toUtf8();
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return 0;
}
