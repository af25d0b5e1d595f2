#include "note/notedialogs.h"

#include "platform/userdialogs.h"

namespace stikko {

bool confirmDelete(QWidget* parent) {
    return dialogs().askYesNo(parent, kDeleteCaption, kDeleteQuestion);
}

} // namespace stikko
