#include "app/welcome_note.h"

#include "note/notedefaults.h"
#include "platform/appenv.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/rtf.h"
#include "store/notefiles.h"
#include "store/subfunction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>

namespace stikko {

namespace {

// Its size: the text is longer than a new note's, and should be read without scrolling.
constexpr int kWidth = 420;
constexpr int kHeight = 460;

// The second line, which a note takes for its title (the first is the date line).
const QString kTitle = QStringLiteral("Stikko에 오신 것을 환영합니다");

enum class Kind { Text, Heading, Item };

struct Paragraph {
    Kind kind;
    QString text;
};

QList<Paragraph> welcomeText(const QString& dataFolder) {
    return {
        {Kind::Heading, kTitle},
        {Kind::Text,
         QStringLiteral("처음 시작할 때 한 번만 나타나는 안내 메모입니다. 다른 메모처럼 고치거나 지울 수 "
                        "있고, 지우면 다시 나타나지 않습니다.")},
        {Kind::Text, {}},
        {Kind::Heading, QStringLiteral("새 메모 만들기")},
        {Kind::Item, QStringLiteral("알림 영역의 Stikko 아이콘을 클릭합니다.")},
        {Kind::Item, QStringLiteral("아이콘을 오른쪽 클릭한 메뉴에서 \"새 메모\"를 고릅니다.")},
        {Kind::Item, QStringLiteral("터미널이나 바로 가기 키에서 stikko --new 를 실행합니다.")},
        {Kind::Text, {}},
        {Kind::Heading, QStringLiteral("메모의 메뉴")},
        {Kind::Text,
         QStringLiteral("메모 제목 표시줄 왼쪽 끝의 작은 그림을 오른쪽 클릭하면 메모의 메뉴(환경설정, "
                        "알람, 숨기기, 삭제)가 열립니다. 글을 오른쪽 클릭하면 편집 메뉴가 열립니다.")},
        {Kind::Text, {}},
        {Kind::Heading, QStringLiteral("모든 메모 보기와 찾기")},
        {Kind::Item,
         QStringLiteral("아이콘 메뉴의 \"전체 메모장 상태 보기\"에서 모든 메모를 보고, 숨기거나 다시 "
                        "보이게 합니다.")},
        {Kind::Item,
         QStringLiteral("아이콘 메뉴의 \"메모 찾기...\"로 숨긴 메모까지 모든 메모의 글에서 찾습니다.")},
        {Kind::Text, {}},
        {Kind::Heading, QStringLiteral("메모가 저장되는 곳")},
        {Kind::Text, QStringLiteral("메모는 바뀌는 대로 이 폴더에 저장됩니다:")},
        {Kind::Text, dataFolder},
    };
}

// The note's body as a note window would write it: the date line, then the text.
QByteArray welcomeBody(const QString& dataFolder) {
    QTextDocument document;
    document.setDefaultFont(noteFont());
    QTextCursor cursor(&document);
    cursor.insertText(newNoteDateLine(env::now()));
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextList* list = nullptr;
    for (const Paragraph& paragraph : welcomeText(dataFolder)) {
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        if (paragraph.kind == Kind::Item) {
            if (list != nullptr) {
                list->add(cursor.block());
            } else {
                list = cursor.createList(QTextListFormat::ListDisc);
            }
        } else {
            list = nullptr;
        }
        cursor.insertText(paragraph.text, paragraph.kind == Kind::Heading ? bold : QTextCharFormat());
    }
    return rtf::write(document);
}

// True when the folder holds nothing at all, hidden files included.
bool isEmptyFolder(const QString& folder) {
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
        .isEmpty();
}

} // namespace

QString welcomeMarkerPath() {
    return env::storageFolder() + QLatin1String(kSystemFolder) + QStringLiteral("welcome_note_made");
}

WelcomeNote makeWelcomeNote(QString* error) {
    NoteFiles& files = noteFiles();
    const QString data = files.dataFolder();
    const QString marker = welcomeMarkerPath();
    if (QFileInfo::exists(marker) || !isEmptyFolder(data)) {
        return WelcomeNote::NotFirstStart;
    }
    const auto fail = [error](const QString& reason) {
        if (error != nullptr) {
            *error = reason;
        }
        return WelcomeNote::NotWritten;
    };
    if (!QFileInfo(data).isDir()) {
        return fail(QStringLiteral("no data folder %1").arg(data));
    }

    NoteRecord record{};
    InitNoteRecord(record, MakeNoteId(env::now()).constData());
    const QByteArray id(noteId(record).toByteArray());
    LoadNoteRecord(record, kDefaultsFile);
    const QSize area = env::workArea();
    record.scr_width = std::min(kWidth, area.width());
    record.scr_height = std::min(kHeight, area.height());
    record.scr_x = (area.width() - record.scr_width) / 2;
    record.scr_y = (area.height() - record.scr_height) / 2;
    record.isshow = 1;
    record.ismini = 0;
    cp949::copyToField(record.title, kTitle);

    // Remembered first: a note that could come back after the user deleted it is worse than
    // none. If the note cannot be written, the start is not remembered either.
    QString reason;
    const QByteArray said =
        QStringLiteral("The welcome note %1 was made for %2 on %3. While this file is here, "
                       "the program does not make it again.\n")
            .arg(QString::fromLatin1(id), QDir::cleanPath(data), env::now().toString(Qt::ISODate))
            .toUtf8();
    if (!writeFileAtomically(marker, said, &reason)) {
        return fail(reason);
    }
    const QString shownFolder = QDir::toNativeSeparators(QDir::cleanPath(data));
    if (!files.saveBody(id, welcomeBody(shownFolder), &reason) || !files.saveRecord(record, &reason)) {
        // Nothing half made stays: a body alone would keep the folder from counting as empty.
        files.remove(id);
        QFile::remove(marker);
        return fail(reason);
    }
    return WelcomeNote::Made;
}

} // namespace stikko
