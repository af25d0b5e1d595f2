// Watches a program folder's data/ as the program does and prints, one a line, what other
// programs do to the notes there:
//   added <id> | changed <id> record|body|record+body | removed <id> | conflict <file name>
// With --adopt, each conflict copy is made a note of its own at once:
//   adopted <file name> <new id>   (or "adopted <file name> -" when it added nothing)
// For trying a synchroniser by hand and for end-to-end tests. Runs until it is stopped.
//
//   datafolder_watch [--adopt] PROGRAM_FOLDER

#include "platform/appenv.h"
#include "platform/codepage.h"
#include "store/datafolderwatcher.h"
#include "store/notefiles.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

using namespace stikko;

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString text(const QByteArray& id) {
    return cp949::decode(id);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool adopt = args.removeAll(QStringLiteral("--adopt")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: datafolder_watch [--adopt] PROGRAM_FOLDER\n");
        return 2;
    }
    env::setProgramFolder(args.first());
    NoteFiles& files = noteFiles();
    DataFolderWatcher watcher(files);
    QObject::connect(&watcher, &DataFolderWatcher::noteAdded,
                     [](const QByteArray& id) { say(QStringLiteral("added ") + text(id)); });
    QObject::connect(&watcher, &DataFolderWatcher::noteChanged,
                     [](const QByteArray& id, bool record, bool body) {
                         say(QStringLiteral("changed %1 %2")
                                 .arg(text(id), record && body ? QStringLiteral("record+body")
                                                : record       ? QStringLiteral("record")
                                                               : QStringLiteral("body")));
                     });
    QObject::connect(&watcher, &DataFolderWatcher::noteRemoved,
                     [](const QByteArray& id) { say(QStringLiteral("removed ") + text(id)); });
    QObject::connect(&watcher, &DataFolderWatcher::conflictCopyFound, [&](const QString& name) {
        say(QStringLiteral("conflict ") + name);
        if (!adopt)
            return;
        QString error;
        const std::optional<QByteArray> id = files.adoptConflictCopy(name, &error);
        if (!id)
            say(QStringLiteral("adopt-failed %1 %2").arg(name, error));
        else
            say(QStringLiteral("adopted %1 %2").arg(name, id->isEmpty() ? QStringLiteral("-") : text(*id)));
    });
    QString error;
    if (!watcher.start(&error)) {
        std::fprintf(stderr, "datafolder_watch: %s\n", qPrintable(error));
        return 1;
    }
    say(QStringLiteral("watching ") + files.dataFolder());
    return app.exec();
}
