#pragma once
// The defaults record the note window reads: the data module's when it exists, else the
// store's fallback record.

#include "store/subfunction.h"

namespace stikko {

const NoteRecord& noteDefaults();

} // namespace stikko
