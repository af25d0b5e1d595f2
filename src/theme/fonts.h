#pragma once
// The two faces the notes, dialogs and menus name, and the installed Korean fonts that stand in
// for them here (fonts-nanum and fonts-nanum-coding).

#include <QFont>
#include <QString>

namespace stikko::fonts {

// The fixed-pitch face and the proportional one.
inline const QString kFixedFace = QStringLiteral("굴림체");
inline const QString kPropFace = QStringLiteral("굴림");

// Registers NanumGothicCoding and NanumGothic as the stand-ins of the two faces; only the first
// call does anything.
void installSubstitutions();

// The fixed-pitch face at `pixelSize` pixels (the stand-ins registered).
QFont fixedPitch(int pixelSize = 12);
// The proportional face (the stand-ins registered); no size set.
QFont proportional();

} // namespace stikko::fonts
