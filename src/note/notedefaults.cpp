#include "note/notedefaults.h"

#include "platform/codepage.h"
#include "store/dm.h"

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

} // namespace stikko
