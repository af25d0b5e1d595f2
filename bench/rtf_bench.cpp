// Loading and saving a note body of about 1 MB of RTF: Korean text with the formatting a note
// carries (bold, italic, underline, fonts, sizes, colours, bullets), and the same size of
// almost unformatted ASCII lines; and a body holding a picture of 50 MB (PNG, which does not
// shrink noise), the largest a note is meant to take.

#include "platform/rtf.h"
#include "platform/rtfpicture.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr qsizetype kTargetBytes = 1 << 20;

bool savesToAtLeast1MB(const QTextDocument& document) {
    return stikko::rtf::write(document).size() >= kTargetBytes;
}

// Paragraphs are added until the document saves to at least 1 MB.
void buildKoreanBody(QTextDocument& document) {
    QFont font(QStringLiteral("굴림체"));
    font.setPixelSize(12);
    document.setDefaultFont(font);
    QTextCursor cursor(&document);
    const QString words[] = {u"회의"_qs,   u"결과를"_qs, u"정리하고"_qs, u"다음"_qs,  u"주까지"_qs,
                             u"보고서"_qs, u"초안을"_qs, u"작성한다"_qs, u"(2차)"_qs, u"메모:"_qs};
    QTextCharFormat plain, bold, red, big;
    bold.setFontWeight(QFont::Bold);
    red.setForeground(QColor(255, 0, 0));
    red.setFontUnderline(true);
    big.setFontFamilies({u"굴림"_qs});
    big.setFontPointSize(14);
    big.setFontItalic(true);
    const QTextCharFormat* formats[] = {&plain, &plain, &bold, &plain, &red, &plain, &big};
    int paragraph = 0;
    QTextList* list = nullptr;
    while (true) {
        if (paragraph % 50 == 0 && savesToAtLeast1MB(document))
            break;
        if (paragraph > 0)
            cursor.insertBlock(QTextBlockFormat());
        if (paragraph % 7 >= 4) {
            if (list)
                list->add(cursor.block());
            else
                list = cursor.createList(QTextListFormat::ListDisc);
        } else {
            list = nullptr;
        }
        for (int w = 0; w < 24; ++w)
            cursor.insertText(words[(paragraph + w) % 10] + u' ', *formats[(paragraph * 3 + w) % 7]);
        ++paragraph;
    }
}

void buildAsciiBody(QTextDocument& document) {
    QTextCursor cursor(&document);
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog; {braces} and \\ back.");
    int paragraph = 0;
    while (paragraph % 200 != 0 || !savesToAtLeast1MB(document)) {
        if (paragraph > 0)
            cursor.insertBlock();
        cursor.insertText(line);
        ++paragraph;
    }
}

// A line of text and a picture of noise whose PNG is about 50 MB.
void buildPictureBody(QTextDocument& document) {
    QImage noise(4096, 4096, QImage::Format_RGB32);
    QRandomGenerator rng(2024);
    for (int y = 0; y < noise.height(); ++y)
        rng.fillRange(reinterpret_cast<quint32*>(noise.scanLine(y)), noise.width());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "PNG", 100);
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("사진 "));
    if (std::optional<stikko::rtf::Picture> picture = stikko::rtf::pictureFromFile(png))
        stikko::rtf::insertPicture(cursor, *picture);
}

enum class Kind { Ascii, Korean, Picture };

struct Body {
    QTextDocument document;
    QByteArray bytes;
};

Body& body(Kind kind) {
    static Body bodies[3];
    Body& b = bodies[static_cast<int>(kind)];
    if (b.bytes.isEmpty()) {
        if (kind == Kind::Korean)
            buildKoreanBody(b.document);
        else if (kind == Kind::Ascii)
            buildAsciiBody(b.document);
        else
            buildPictureBody(b.document);
        b.bytes = stikko::rtf::write(b.document);
    }
    return b;
}

void BM_Load(benchmark::State& state, Kind kind) {
    const QByteArray& bytes = body(kind).bytes;
    QTextDocument document;
    for (auto _ : state)
        stikko::rtf::read(bytes, document);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["rtf_bytes"] = double(bytes.size());
    state.counters["characters"] = double(document.characterCount());
}

void BM_Save(benchmark::State& state, Kind kind) {
    const QTextDocument& document = body(kind).document;
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = stikko::rtf::write(document);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}

BENCHMARK_CAPTURE(BM_Load, korean_formatted_1MB, Kind::Korean)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, korean_formatted_1MB, Kind::Korean)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, ascii_lines_1MB, Kind::Ascii)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, ascii_lines_1MB, Kind::Ascii)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, picture_50MB, Kind::Picture)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, picture_50MB, Kind::Picture)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Formats and fonts need a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
