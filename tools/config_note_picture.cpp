// config_note_picture FOLDER   draws the note picture of the settings dialog's colour page and
// writes it as FOLDER/config_note.jpg (235 x 175) and FOLDER/config_note@2x.jpg (the same at
// twice the pixels, for screens at a pixel ratio of 2). The dialog shows the two JPEG files
// kept in resources/pictures/; this draws them again when the picture is to change.
//
// The picture: a note with its green title bar ("할 일"), six lines of body text and the tool
// bar below, with the numbered callouts 1 to 4 on the title bar's background, the title text,
// the body and the tool bar, where the dialog puts the colour buttons and swatches.

#include "platform/atomicfile.h"

#include <QBuffer>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

constexpr QSize kSize(235, 175);
const QColor kGreen(57, 111, 83);
const QColor kBody(237, 239, 188);
const QColor kBodyText(88, 88, 78);

QFont face(int pixels, bool bold) {
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting); // the same shapes at both ratios
    return font;
}

void callout(QPainter& p, QPointF centre, int number) {
    p.setPen(QPen(QColor(150, 90, 10), 1.0));
    p.setBrush(QColor(250, 190, 40));
    p.drawEllipse(centre, 7.0, 7.0);
    p.setPen(QColor(70, 40, 0));
    p.setFont(face(11, true));
    p.drawText(QRectF(centre.x() - 7, centre.y() - 7, 14, 14), Qt::AlignCenter, QString::number(number));
}

void draw(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(QRect(QPoint(0, 0), kSize), Qt::white);
    // A soft shadow right of and below the note.
    p.fillRect(QRectF(3, 3, 232, 172), QColor(222, 222, 222));
    p.fillRect(QRectF(2, 2, 232, 172), QColor(200, 200, 200));
    const QRectF note(0.5, 0.5, 232, 172);
    p.setPen(QPen(QColor(150, 150, 150), 1.0));
    p.setBrush(kBody);
    p.drawRect(note);

    const QRectF title(1, 1, 231, 27);
    const QRectF bar(1, 147, 231, 25);
    p.fillRect(title, kGreen);
    p.fillRect(bar, kGreen);

    p.setPen(Qt::white);
    p.setFont(face(14, true));
    p.drawText(QRectF(86, 1, 40, 27), Qt::AlignCenter, QStringLiteral("할 일"));
    callout(p, QPointF(77, 15), 1);
    callout(p, QPointF(204, 15), 2);

    p.setPen(kBodyText);
    p.setFont(face(12, false));
    const QString lines[] = {QStringLiteral("작성일: 04/05/23"), QStringLiteral("우유 사기"),
                             QStringLiteral("회의 자료 정리"),   QStringLiteral("3시 치과 예약"),
                             QStringLiteral("책 반납하기"),      QStringLiteral("전화: 김 대리")};
    qreal baseline = 45;
    for (const QString& line : lines) {
        p.drawText(QPointF(11, baseline), line);
        baseline += 17;
    }
    callout(p, QPointF(176, 85), 3);

    // The tool bar: six buttons and the grip.
    p.setPen(QPen(QColor(150, 190, 165), 1.0));
    p.setBrush(QColor(96, 142, 114));
    for (int i = 0; i < 6; ++i)
        p.drawRoundedRect(QRectF(100.5 + i * 18, 152.5, 15, 15), 3, 3);
    p.setPen(QPen(QColor(190, 215, 200), 1.0));
    for (int i = 0; i < 2; ++i)
        p.drawLine(QPointF(221 + i * 4, 169), QPointF(229, 161 + i * 4));
    callout(p, QPointF(78, 165), 4);
}

bool write(const QString& path, int ratio, QString* error) {
    QImage image(kSize * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter p(&image);
    draw(p);
    p.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPEG", 92)) {
        *error = QStringLiteral("cannot encode the picture");
        return false;
    }
    return stikko::writeFileAtomically(path, jpeg, error);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: config_note_picture FOLDER\n");
        return 2;
    }
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (int ratio : {1, 2}) {
        const QString path = folder.filePath(ratio == 1 ? QStringLiteral("config_note.jpg")
                                                        : QStringLiteral("config_note@2x.jpg"));
        QString error;
        if (!write(path, ratio, &error)) {
            std::fprintf(stderr, "config_note_picture: cannot write %s: %s\n", qPrintable(path),
                         qPrintable(error));
            return 1;
        }
    }
    return 0;
}
