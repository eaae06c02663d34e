// The checks before the SO PIN of a key is used, as the window makes them: the key must be initialised and
// its SO PIN not locked.
#pragma once

#include "key_directory.h"

namespace cli {

// A Failure with Init_Info or K_Dead when the SO PIN of `key` cannot be used.
void requireUsableSoPin(const FoundKey& key);

} // namespace cli
