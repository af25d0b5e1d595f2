#include "store/dm.h"

#include <cstring>

namespace stikko {

TDm* Dm = nullptr;

TDm::TDm() {
    Dm = this;
    SetDefaultsRecord(&defaults);
    ReloadDefaults();
}

TDm::~TDm() {
    if (&DefaultsRecord() == &defaults)
        SetDefaultsRecord(nullptr);
    if (Dm == this)
        Dm = nullptr;
}

void TDm::ReloadDefaults() {
    // Cleared first, so a key the file lacks reads as zero or empty rather than a stale value.
    std::memset(&defaults, 0, sizeof defaults);
    LoadNoteRecord(defaults, kDefaultsFile);
}

} // namespace stikko
