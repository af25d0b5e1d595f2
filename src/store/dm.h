#pragma once
// The data module: state that every note window shares at run time. It holds the defaults
// record, read from the defaults file, and the flag that keeps two alarm sounds from playing
// at once. Created once at start, before the main form; reached through `Dm`.

#include "store/subfunction.h"

namespace stikko {

class TDm {
  public:
    // Clears `defaults` and reads it from the defaults file; registers it as the store's
    // fallback record (SetDefaultsRecord).
    TDm();
    ~TDm();
    TDm(const TDm&) = delete;
    TDm& operator=(const TDm&) = delete;

    // Clears the defaults record and reads it again from the defaults file.
    void ReloadDefaults();

    NoteRecord defaults;
    bool isplaying = false;
};

// Null while no data module exists.
extern TDm* Dm;

} // namespace stikko
