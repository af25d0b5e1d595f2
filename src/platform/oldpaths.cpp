#include "platform/oldpaths.h"

#include <QDir>
#include <QFileInfo>

namespace stikko::oldpaths {

bool isWindowsPath(QStringView path) {
    const bool drive = path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 128;
    return drive || path.contains(u'\\');
}

QString existingFile(const QString& stored, const QString& folder) {
    if (stored.isEmpty())
        return {};
    if (QFileInfo(stored).isFile())
        return stored;
    if (!isWindowsPath(stored))
        return {};
    const QString name = stored.section(u'\\', -1).section(u'/', -1);
    if (name.isEmpty() || name == u"." || name == u"..")
        return {};
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(name)).isFile())
        return dir.filePath(name);
    // Compared one by one: a name filter would read '*', '?' and '[' in the name as wildcards.
    for (const QString& file : dir.entryList(QDir::Files | QDir::Readable)) {
        if (file.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    }
    return {};
}

QString firstExistingFile(const QStringList& stored, const QString& folder) {
    for (const QString& path : stored) {
        if (QString file = existingFile(path, folder); !file.isEmpty())
            return file;
    }
    return {};
}

} // namespace stikko::oldpaths
