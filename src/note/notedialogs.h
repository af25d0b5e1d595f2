#pragma once
// The delete question, asked by the note window and the note manager alike.

#include <QString>

class QWidget;

namespace stikko {

inline const QString kDeleteCaption = QStringLiteral("확인");
inline const QString kDeleteQuestion =
    QStringLiteral("메모장이 완전 삭제됩니다. \n삭제된 자료는 복구 되지 않습니다. \n삭제하시겠습니까 ?");

// Asks it (through dialogs()); true when the user said Yes.
bool confirmDelete(QWidget* parent);

} // namespace stikko
