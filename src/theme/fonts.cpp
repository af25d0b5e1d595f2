#include "theme/fonts.h"

namespace stikko::fonts {

void installSubstitutions() {
    static const bool done = [] {
        QFont::insertSubstitution(kFixedFace, QStringLiteral("NanumGothicCoding"));
        QFont::insertSubstitution(kPropFace, QStringLiteral("NanumGothic"));
        return true;
    }();
    (void)done;
}

QFont fixedPitch(int pixelSize) {
    installSubstitutions();
    QFont font(kFixedFace);
    font.setPixelSize(pixelSize);
    return font;
}

QFont proportional() {
    installSubstitutions();
    return QFont(kPropFace);
}

} // namespace stikko::fonts
