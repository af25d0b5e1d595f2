#pragma once
// Paths written by the Windows program ("C:\Program Files\...\.\sound\alram.wav",
// "C:\WINDOWS\Media\ding.wav") name nothing here. Notes and defaults files brought over keep
// them as they are; only when a file is to be played or shown does such a path stand for the
// file of the same name in the program's own folder.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace stikko::oldpaths {

// True when `path` is written the Windows way: a drive letter and colon, or a backslash.
bool isWindowsPath(QStringView path);

// `stored` when it names a file. A Windows path that names nothing here stands for the file of
// the same name in `folder` (letter case aside, as on Windows). Otherwise empty.
QString existingFile(const QString& stored, const QString& folder);

// The first of `stored` that existingFile finds, else empty.
QString firstExistingFile(const QStringList& stored, const QString& folder);

} // namespace stikko::oldpaths
