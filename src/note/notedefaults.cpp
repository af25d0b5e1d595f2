#include "note/notedefaults.h"

#include "platform/codepage.h"
#include "store/dm.h"
#include "theme/fonts.h"

#include <QLocale>

namespace stikko {

const NoteRecord& noteDefaults() {
    return Dm ? Dm->defaults : DefaultsRecord();
}

QString homePageAddress() {
    const QByteArrayView address = cp949::fieldBytes(noteDefaults().left_homepage);
    return address.size() >= kMinAddressLength ? cp949::decode(address) : QString::fromLatin1(kMakerHomePage);
}

QString rightLinkAddress() {
    const QByteArrayView address = cp949::fieldBytes(noteDefaults().right_homepage);
    return address.size() >= kMinAddressLength ? cp949::decode(address) : QString();
}

QFont noteFont() {
    return fonts::fixedPitch(12);
}

QString newNoteDateLine(const QDateTime& moment) {
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    return QStringLiteral("작성일:") + korean.toString(moment, QStringLiteral("yy/MM/dd AP hh:mm:ss"));
}

} // namespace stikko
